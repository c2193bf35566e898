#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, finding the MinGW Qt and runtime without
# deploying them: the emulator of the windows preset, and the way to start a build by hand.
#   scripts/windows/wine-run.sh build/windows/bin/cordelo-cli.exe ports
# A window needs an X display: run the tests under one (xvfb-run -a ctest --preset windows), so
# that every program in the prefix shares it.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"

qt_bin=$(winepath_of "$CORDELO_WINDOWS_QT/bin")
zint_dir=${CORDELO_WINDOWS_ZINT:-$HOME/.cache/zint-mingw}
zint_bin=$(winepath_of "$zint_dir/bin")
export WINEPATH="$qt_bin;$zint_bin;$(winepath_of "$MINGW_RUNTIME_DIR");$(winepath_of "$MINGW_PTHREAD_DIR")"
export QT_PLUGIN_PATH=$(winepath_of "$CORDELO_WINDOWS_QT/plugins")
# The test programs run worker threads too (see platform/thread_safe_patterns.h).
export QT_ENABLE_REGEXP_JIT=0

# Names the frames of a winedbg backtrace on stdin from the symbols of PROGRAM's folder, Qt's
# and its plugins', and zint's.
name_frames() {
  bash "$here/name-frames.sh" "$(dirname "$1")" "$CORDELO_WINDOWS_QT/bin" \
    "$CORDELO_WINDOWS_QT"/plugins/* "$zint_dir/bin"
}

# Prints where every thread of the Windows program PROGRAM, running as PID, waits:
# a test that hangs is stopped by CTest without a word of where it was.
print_stuck_threads() {
  local pid=$1 program=$2 exe
  exe=$(basename "$program")
  echo "== $exe is still running after ${stuck_after} s; where its threads are:"
  ps -L -o lwp,stat,wchan:32 -p "$pid" || true
  printf 'bt all\nquit\n' | timeout 60 "$WINE" winedbg 2>&1 | tr -d '\r' |
    EXE="\\$exe)" awk '/^Backtracing for thread/ { keep = index($0, ENVIRON["EXE"]) > 0 } keep' |
    name_frames "$program" || true
}

# Under Wine a Qt Test program's standard output is lost; its results file is not. It is
# followed as it grows, so a test that CTest stops at its timeout still shows how far it got.
# One that runs far longer than any test does is taken for stuck: its threads' stacks are shown
# and it is stopped, before CTest's timeout would stop it with none.
stuck_after=${CORDELO_WINE_STUCK_AFTER:-200}
case "$(basename "$1")" in
tst_*.exe)
  results=$(mktemp -t cordelo-wine-results.XXXXXX)
  output=$(mktemp -t cordelo-wine-output.XXXXXX)
  trap 'rm -f "$results" "$output"' EXIT
  # Qt Test's own crash handler prints from the crashed thread, which under Wine can wait for
  # ever on the output's lock; without it, Wine's debugger prints the crash's backtrace to the
  # program's output.
  "$WINE" "$1" -nocrashhandler "${@:2}" -o "$(winepath_of "$results"),txt" >"$output" 2>&1 &
  program=$!
  tail -n +1 -s 0.2 -f --pid="$program" "$results" &
  follower=$!
  tail -n +1 -s 0.2 -f --pid="$program" "$output" >&2 &
  output_follower=$!
  (
    # Its sleep holds none of the test's output open, and ends with it.
    sleep "$stuck_after" >/dev/null 2>&1 &
    sleeper=$!
    trap 'kill "$sleeper" 2>/dev/null; exit 0' TERM
    wait "$sleeper"
    if kill -0 "$program" 2>/dev/null; then
      print_stuck_threads "$program" "$1" >&2
      kill "$program" 2>/dev/null || true
    fi
  ) &
  watchdog=$!
  status=0
  wait "$program" || status=$?
  kill "$watchdog" 2>/dev/null || true
  wait "$follower" "$output_follower" || true
  if grep -q '^Backtrace:' "$output"; then
    echo "== the crash's frames, named:" >&2
    tr -d '\r' <"$output" | sed -n '/^Backtrace:/,/^Modules:/p' |
      name_frames "$1" >&2
  fi
  exit "$status"
  ;;
esac
exec "$WINE" "$@"
