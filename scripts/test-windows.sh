#!/usr/bin/env bash
# The Windows stage of the test suite: cross-builds the Windows programs and tests with MinGW-w64
# and the MinGW Qt, runs the tests under Wine, makes the ZIP and the NSIS installer, and tries
# the installer and the installed programs in a fresh Wine prefix, with recorded writes into
# SQLite and into a private PostgreSQL server. It needs the default build (its virtual module is
# the Windows tests' module, its cordelo-cli reads the records back) and never skips: what is
# missing fails it.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)

missing=()
for tool in /usr/lib/wine/wine64 x86_64-w64-mingw32-g++-posix makensis xvfb-run xdotool \
  /usr/lib/postgresql/15/bin/initdb openssl; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "The Windows stage cannot run; missing: ${missing[*]} (scripts/install-deps.sh installs them)." >&2
  exit 1
fi
if [ ! -x build/default/bin/cordelo-virtual-module ] || [ ! -x build/default/bin/cordelo-cli ]; then
  echo "The Windows stage needs the default build's virtual module and cordelo-cli; build the default preset first." >&2
  exit 1
fi
bash scripts/windows/qt.sh
echo "== the MinGW Qt in place: $(( $(date +%s) - started )) s"

echo "== Windows build (MinGW-w64)"
built=$(date +%s)
cmake --preset windows >/dev/null
cmake --build --preset windows -j "$(nproc)"
echo "== Windows build: $(( $(date +%s) - built )) s"

# One X display for every Wine program of the stage; the Windows Qt draws on it.
xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
  set -euo pipefail
  echo "== Windows tests under Wine"
  begun=$(date +%s)
  ctest --preset windows -j "$(nproc)"
  echo "== Windows tests under Wine: $(( $(date +%s) - begun )) s"
  echo "== Windows ZIP and installer"
  begun=$(date +%s)
  (cd build/windows && cpack -G "ZIP;NSIS" >/dev/null)
  ls build/windows/*.zip build/windows/*.exe
  echo "== Windows ZIP and installer: $(( $(date +%s) - begun )) s"
  echo "== the installer and the installed programs in a fresh Wine prefix"
  begun=$(date +%s)
  bash scripts/windows/installer-check.sh build/windows/"Cordelo Setup-"*-win64.exe
  echo "== the installer in a fresh Wine prefix: $(( $(date +%s) - begun )) s"
'
echo "== Windows stage took $(( $(date +%s) - started )) s"
