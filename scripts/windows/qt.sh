#!/usr/bin/env bash
# Makes sure the Qt for 64-bit Windows that the windows preset builds with is in
# ~/.cache/qt6-mingw: unpacked from the shared archive beside the checkout when there is one,
# otherwise built once from Debian's Qt source with qt-recipe/ (about 25 minutes on two cores).
# A copy unpacked from another archive than the shared one now, or without a part the stage
# needs, is replaced.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=${CORDELO_WINDOWS_QT:-$HOME/.cache/qt6-mingw}
shared=${CORDELO_SHARED_WINDOWS:-$here/../../../shared/windows}
archive=$shared/qt6.4.2-mingw-w64.tar.xz
source "$here/unpack-archive.sh"

# What the stage uses and an older Qt of the recipe did not have: the PostgreSQL driver, the
# client library it loads and the SSL libraries that library loads.
needed=(lib/cmake/Qt6SerialPort/Qt6SerialPortConfig.cmake plugins/sqldrivers/qsqlite.dll
  plugins/sqldrivers/qsqlpsql.dll bin/libpq.dll bin/libssl-3-x64.dll bin/libcrypto-3-x64.dll)
missing_parts() {
  local part
  for part in "${needed[@]}"; do
    [ -f "$prefix/$part" ] || echo "$part"
  done
}

if [ -f "$archive" ]; then
  if archive_unpacked "$archive" "$prefix" && [ -z "$(missing_parts)" ]; then
    exit 0
  fi
  unpack_archive "$archive" "$prefix" qt6-mingw
elif [ -n "$(missing_parts)" ]; then
  echo "No shared MinGW Qt at $shared: building it into $prefix (about 25 minutes)"
  mkdir -p "$(dirname "$prefix")"
  rm -rf "$prefix"
  work=$HOME/.cache/qt-mingw-work
  # The recipe fetches the PostgreSQL and OpenSSL sources with Qt's, so a work folder of the
  # older recipe, with Qt's source only, would never get them.
  if [ -d "$work/qtbase" ] && ! compgen -G "$work/postgresql-15_*.orig.tar.*" >/dev/null; then
    rm -rf "$work"
  fi
  WORK=$work bash "$here/qt-recipe/build-qt-mingw.sh" "$prefix"
fi
if [ -n "$(missing_parts)" ]; then
  echo "The MinGW Qt in $prefix is incomplete; missing:" $(missing_parts) >&2
  exit 1
fi
