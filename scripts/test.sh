#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite: once as a normal
# build, whose Debian package is installed and smoke-tested (as root or in CI only), once
# under AddressSanitizer and UndefinedBehaviorSanitizer in a build that also makes the two
# fuzzers, which then run for a minute each, and last the Windows stage: the MinGW build,
# its tests under Wine, and its installer tried in a fresh Wine prefix. Each build after the
# first runs beside the tests of the one before. Each stage's time is printed as it ends, and
# all of them at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

started=$SECONDS
stage_times=()
beside_pid=
print_stage_times() {
  # A stage that failed leaves no build running beside it.
  [ -z "$beside_pid" ] || kill_tree "$beside_pid"
  echo "== stage times"
  printf '%s\n' "${stage_times[@]}"
  echo "total: $((SECONDS - started)) s"
}
kill_tree() {
  local child
  for child in $(pgrep -P "$1"); do
    kill_tree "$child"
  done
  kill "$1" 2>/dev/null || true
}
trap print_stage_times EXIT

# stage NAME COMMAND...: runs the command as one timed stage.
stage() {
  local name=$1
  shift
  echo "== $name"
  local begun=$SECONDS
  "$@"
  record_stage_time "$name" $((SECONDS - begun))
}
record_stage_time() {
  stage_times+=("$(printf '%5d s  %s' "$2" "$1")")
  echo "== $1: $2 s"
}

# begin_beside NAME COMMAND...: starts a stage that runs beside the next ones, its output kept
# until end_beside shows it. Only builds run so, at the lowest priority, since the stages in the
# foreground are tests that mostly wait on the module's pace and must not starve.
beside_name=
beside_log=
begin_beside() {
  beside_name=$1
  shift
  beside_log=$(mktemp -t cordelo-stage.XXXXXX)
  echo "== $beside_name, beside the next stages"
  (
    begun=$SECONDS
    renice -n 19 -p "$BASHPID" >/dev/null
    "$@"
    echo "$((SECONDS - begun))" >"$beside_log.time"
  ) >"$beside_log" 2>&1 &
  beside_pid=$!
}
end_beside() {
  local status=0
  wait "$beside_pid" || status=$?
  echo "== $beside_name (ran beside)"
  cat "$beside_log"
  if [ "$status" != 0 ]; then
    echo "== $beside_name failed" >&2
    exit "$status"
  fi
  beside_pid=
  record_stage_time "$beside_name (beside)" "$(cat "$beside_log.time")"
  rm -f "$beside_log" "$beside_log.time"
}

stage "installing what is missing" bash scripts/install-deps.sh

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
# Most tests wait on the module's 9600-baud pace rather than on a core.
test_jobs=$((jobs * 2))

configure_and_build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$jobs"
}

fuzz_side_by_side() {
  mkdir -p build/sanitize/findings
  # A finding is written to build/sanitize/findings; add it to the fuzzer's corpus in
  # tests/fuzz so the regular suite replays it from then on.
  local pids=()
  for fuzzer in token_reader:corpus profile:profile_corpus; do
    local name=${fuzzer%%:*}
    local corpus=${fuzzer#*:}
    local work=build/sanitize/$corpus
    mkdir -p "$work"
    cp tests/fuzz/$corpus/* "$work"/
    ASAN_OPTIONS=detect_leaks=0 build/sanitize/bin/fuzz_$name -max_total_time=60 -max_len=4000 \
      -print_final_stats=1 -artifact_prefix=build/sanitize/findings/ "$work" \
      >"build/sanitize/fuzz_$name.log" 2>&1 &
    pids+=($!)
  done
  local status=0
  for pid in "${pids[@]}"; do
    wait "$pid" || status=1
  done
  for name in token_reader profile; do
    echo "-- fuzzing the ${name/_/ }"
    tail -n 12 "build/sanitize/fuzz_$name.log"
  done
  return $status
}

stage "default build" configure_and_build default
begin_beside "sanitizer build, with the fuzzers" configure_and_build sanitize
stage "default tests" ctest --preset default -j "$test_jobs"
stage "Debian package, installed and run against the virtual module" \
  bash -c 'bash scripts/package.sh && bash scripts/smoke-installed.sh'
end_beside
begin_beside "Windows build, MinGW-w64" bash scripts/test-windows.sh build
stage "sanitizer tests" ctest --preset sanitize -j "$test_jobs"
stage "the two fuzzers, 60 s each, side by side" fuzz_side_by_side
end_beside
stage "Windows tests under Wine, installer, fresh prefix" bash scripts/test-windows.sh check
