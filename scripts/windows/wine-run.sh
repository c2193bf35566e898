#!/usr/bin/env bash
# Runs a Windows program of the build under Wine, finding the MinGW Qt and runtime without
# deploying them: the emulator of the windows preset, and the way to start a build by hand.
#   scripts/windows/wine-run.sh build/windows/bin/cordelo-cli.exe ports
# A window needs an X display: without $DISPLAY the program runs on a private Xvfb.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"

if [ -z "${DISPLAY:-}" ] && [ -z "${CORDELO_WINE_XVFB:-}" ]; then
  export CORDELO_WINE_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

qt_bin=$(winepath_of "$CORDELO_WINDOWS_QT/bin")
export WINEPATH="$qt_bin;$(winepath_of "$MINGW_RUNTIME_DIR");$(winepath_of "$MINGW_PTHREAD_DIR")"
export QT_PLUGIN_PATH=$(winepath_of "$CORDELO_WINDOWS_QT/plugins")
exec "$WINE" "$@"
