#!/usr/bin/env bash
# The Windows stage of the test suite: cross-builds the Windows programs and tests with MinGW-w64
# and the MinGW Qt, runs the tests under Wine, makes the ZIP and the NSIS installer, and tries
# the installer and the installed programs in a fresh Wine prefix, with recorded writes into
# SQLite and into a private PostgreSQL server. It needs the default build (its virtual module is
# the Windows tests' module, its cordelo-cli reads the records back) and never skips: what is
# missing fails it.
#   scripts/test-windows.sh [build|check]
# With no argument it does both; `build` makes the Qt and the build ready (scripts/test.sh runs it
# beside the sanitizer tests), `check` does the rest.
set -euo pipefail
cd "$(dirname "$0")/.."
steps=${1:-all}
started=$(date +%s)

# since SECONDS-SINCE-EPOCH: how long ago that was, in seconds.
since() {
  echo "$(($(date +%s) - $1)) s"
}

missing=()
for tool in /usr/lib/wine/wine64 x86_64-w64-mingw32-g++-posix makensis xvfb-run xdotool \
  /usr/lib/postgresql/15/bin/initdb openssl; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "The Windows stage cannot run; missing: ${missing[*]} (scripts/install-deps.sh installs them)." >&2
  exit 1
fi

build() {
  bash scripts/windows/qt.sh
  bash scripts/windows/zint.sh
  echo "== the MinGW Qt in place: $(since "$started")"
  echo "== Windows build (MinGW-w64)"
  local built
  built=$(date +%s)
  cmake --preset windows >/dev/null
  cmake --build --preset windows -j "$(nproc)"
  echo "== Windows build: $(since "$built")"
}

check() {
  if [ ! -x build/default/bin/cordelo-virtual-module ] || [ ! -x build/default/bin/cordelo-cli ]; then
    echo "The Windows stage needs the default build's virtual module and cordelo-cli; build the default preset first." >&2
    exit 1
  fi
  local logs
  logs=$(mktemp -d -t cordelo-windows.XXXXXX)
  # One X display for every Wine program of the stage; the Windows Qt draws on it. The tests
  # mostly wait on Wine and the module's pace, so the installer is packed and the fresh prefix
  # made beside them.
  LOGS=$logs xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    set -euo pipefail
    since() { echo "$(($(date +%s) - $1)) s"; }
    begun=$(date +%s)
    (cd build/windows && cpack -G "ZIP;NSIS" >"$LOGS/cpack.log" 2>&1; echo "$(since "$begun")" >"$LOGS/cpack.time") &
    packing=$!
    fresh=$(mktemp -d -t cordelo-wine-install.XXXXXX)
    # On a display of its own, so that the new prefix'"'"'s desktop takes no focus from the tests;
    # its server is ended, so that the installer check starts one on the display of the stage.
    xvfb-run -a bash -c "export WINEPREFIX=$fresh/prefix && source scripts/windows/wine-env.sh &&
      { \"\$WINESERVER\" -k || true; } && \"\$WINESERVER\" -w" >"$LOGS/prefix.log" 2>&1 &
    booting=$!

    echo "== Windows tests under Wine"
    ctest --preset windows -j "$(( $(nproc) * 2 ))"
    echo "== Windows tests under Wine: $(since "$begun")"

    status=0
    wait "$packing" || status=$?
    cat "$LOGS/cpack.log"
    [ "$status" = 0 ] || { echo "cpack failed" >&2; exit 1; }
    echo "== Windows ZIP and installer, beside the tests: $(cat "$LOGS/cpack.time")"
    ls build/windows/*.zip build/windows/*.exe
    wait "$booting" || { cat "$LOGS/prefix.log"; echo "the fresh Wine prefix could not be made" >&2; exit 1; }

    echo "== the installer and the installed programs in a fresh Wine prefix"
    begun=$(date +%s)
    CORDELO_INSTALL_SCRATCH=$fresh bash scripts/windows/installer-check.sh \
      build/windows/"Cordelo Setup-"*-win64.exe
    echo "== the installer in a fresh Wine prefix: $(since "$begun")"
  '
  rm -rf "$logs"
}

case $steps in
build) build ;;
check) check ;;
all) build && check ;;
*)
  echo "usage: scripts/test-windows.sh [build|check]" >&2
  exit 1
  ;;
esac
echo "== Windows stage ($steps) took $(since "$started")"
