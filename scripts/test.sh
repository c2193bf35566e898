#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite: once as a
# normal build and once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

for preset in default sanitize; do
  echo "== $preset build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  ctest --preset "$preset" -j "$jobs"
done

echo "== fuzzing the token reader for 60 s"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "$jobs"
work=build/fuzz/corpus
mkdir -p "$work" build/fuzz/findings
cp tests/fuzz/corpus/* "$work"/
# A finding is written to build/fuzz/findings; add it to tests/fuzz/corpus so the
# regular suite replays it from then on.
build/fuzz/bin/fuzz_token_reader -max_total_time=60 -max_len=4000 -print_final_stats=1 \
  -artifact_prefix=build/fuzz/findings/ "$work" 2>&1 | tail -n 12
