#!/usr/bin/env bash
# The NSIS installer as a Windows user meets it, under Wine: installs it silently into a fresh
# prefix, checks what it put in Program Files, runs the installed programs against the virtual
# module (installed-programs-check.sh) and recorded writes into SQLite and PostgreSQL
# (record-check.sh), uninstalls and checks the program's files are gone.
#   scripts/windows/installer-check.sh INSTALLER.exe
# CORDELO_INSTALL_SCRATCH may name a scratch folder whose prefix/ was made just before (as
# scripts/test-windows.sh does while the tests run); the folder goes when the check ends.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
installer=$(realpath "$1")

scratch=${CORDELO_INSTALL_SCRATCH:-$(mktemp -d -t cordelo-wine-install.XXXXXX)}
export WINEPREFIX=$scratch/prefix
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
source "$here/wine-env.sh"
# Nothing may come from the build: the installed tree has to carry all it loads.
unset WINEPATH QT_PLUGIN_PATH

echo "-- installing $(basename "$installer") silently"
"$WINE" "$installer" /S
installed="$WINEPREFIX/drive_c/Program Files/Cordelo Setup"
for file in "bin/Cordelo Setup.exe" bin/cordelo-cli.exe bin/cordelo-station.exe bin/Qt6Core.dll \
  bin/Qt6Widgets.dll bin/Qt6SerialPort.dll bin/platforms/qwindows.dll bin/libstdc++-6.dll bin/libgcc_s_seh-1.dll \
  bin/libwinpthread-1.dll bin/sqldrivers/qsqlite.dll bin/sqldrivers/qsqlpsql.dll bin/libpq.dll \
  bin/libssl-3-x64.dll bin/libcrypto-3-x64.dll bin/libzint.dll share/cordelo-setup/labels/default.label Uninstall.exe; do
  if [ ! -f "$installed/$file" ]; then
    echo "The installer did not install $file" >&2
    exit 1
  fi
done

"$here/with-virtual-module.sh" 1 bash "$here/installed-programs-check.sh"
"$here/with-postgres.sh" "$here/with-virtual-module.sh" 1 bash "$here/record-check.sh"

echo "-- uninstalling silently"
# The uninstaller runs on from a copy of itself and its own exit status tells nothing; the
# files tell, once it has had the time to remove them.
"$WINE" 'C:\Program Files\Cordelo Setup\Uninstall.exe' /S || true
left=
for _ in $(seq 100); do
  left=
  [ -d "$installed" ] && left=$(find "$installed" -type f | head -n 5)
  [ -z "$left" ] && break
  sleep 0.2
done
if [ -n "$left" ]; then
  echo "The uninstaller left files behind:" >&2
  echo "$left" >&2
  exit 1
fi
echo "-- the installer installs, runs and uninstalls cleanly"
