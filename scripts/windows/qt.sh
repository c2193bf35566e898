#!/usr/bin/env bash
# Makes sure the Qt for 64-bit Windows that the windows preset builds with is in
# ~/.cache/qt6-mingw: unpacked from the shared archive beside the checkout when there is one,
# otherwise built once from Debian's Qt source with qt-recipe/ (about an hour on two cores).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=${CORDELO_WINDOWS_QT:-$HOME/.cache/qt6-mingw}
shared=${CORDELO_SHARED_WINDOWS:-$here/../../../shared/windows}

if [ -f "$prefix/lib/cmake/Qt6SerialPort/Qt6SerialPortConfig.cmake" ]; then
  exit 0
fi
mkdir -p "$(dirname "$prefix")"
if [ -f "$shared/qt6.4.2-mingw-w64.tar.xz" ]; then
  echo "Unpacking the MinGW Qt from $shared into $prefix"
  work=$(mktemp -d "$(dirname "$prefix")/qt-unpack.XXXXXX")
  tar -xJf "$shared/qt6.4.2-mingw-w64.tar.xz" -C "$work"
  rm -rf "$prefix"
  mv "$work/qt6-mingw" "$prefix"
  rmdir "$work"
else
  echo "No shared MinGW Qt at $shared: building it into $prefix (about an hour)"
  WORK=$HOME/.cache/qt-mingw-work bash "$here/qt-recipe/build-qt-mingw.sh" "$prefix"
fi
if [ ! -f "$prefix/lib/cmake/Qt6SerialPort/Qt6SerialPortConfig.cmake" ]; then
  echo "The MinGW Qt in $prefix is incomplete: Qt Serial Port is missing." >&2
  exit 1
fi
