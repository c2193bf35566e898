#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite: once as a
# normal build, whose Debian package is installed and smoke-tested (as root or in CI
# only), once under AddressSanitizer and UndefinedBehaviorSanitizer, the fuzzers for a
# minute each, and last the Windows stage: the MinGW build, its tests under Wine, and
# its installer tried in a fresh Wine prefix.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

build_and_test() {
  echo "== $1 build"
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs"
  ctest --preset "$1" -j "$jobs"
}

build_and_test default

echo "== Debian package, installed and run against the virtual module"
bash scripts/package.sh
bash scripts/smoke-installed.sh

build_and_test sanitize

echo "== building the fuzzers"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
mkdir -p build/fuzz/findings
# A finding is written to build/fuzz/findings; add it to the fuzzer's corpus in tests/fuzz
# so the regular suite replays it from then on.
for fuzzer in token_reader:corpus profile:profile_corpus; do
  name=${fuzzer%%:*}
  corpus=${fuzzer#*:}
  echo "== fuzzing the ${name/_/ } for 60 s"
  work=build/fuzz/$corpus
  mkdir -p "$work"
  cp tests/fuzz/$corpus/* "$work"/
  build/fuzz/bin/fuzz_$name -max_total_time=60 -max_len=4000 -print_final_stats=1 \
    -artifact_prefix=build/fuzz/findings/ "$work" 2>&1 | tail -n 12
done

bash scripts/test-windows.sh
