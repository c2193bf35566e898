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
zint_bin=$(winepath_of "${CORDELO_WINDOWS_ZINT:-$HOME/.cache/zint-mingw}/bin")
export WINEPATH="$qt_bin;$zint_bin;$(winepath_of "$MINGW_RUNTIME_DIR");$(winepath_of "$MINGW_PTHREAD_DIR")"
export QT_PLUGIN_PATH=$(winepath_of "$CORDELO_WINDOWS_QT/plugins")
# The test programs run worker threads too (see platform/thread_safe_patterns.h).
export QT_ENABLE_REGEXP_JIT=0

# Under Wine a Qt Test program's standard output is lost; its results file is not. It is
# followed as it grows, so a test that CTest stops at its timeout still shows how far it got.
case "$(basename "$1")" in
tst_*.exe)
  results=$(mktemp -t cordelo-wine-results.XXXXXX)
  trap 'rm -f "$results"' EXIT
  "$WINE" "$@" -o "$(winepath_of "$results"),txt" &
  program=$!
  tail -n +1 -s 0.2 -f --pid="$program" "$results" &
  follower=$!
  status=0
  wait "$program" || status=$?
  wait "$follower" || true
  exit "$status"
  ;;
esac
exec "$WINE" "$@"
