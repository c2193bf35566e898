#!/usr/bin/env bash
# Makes sure the zint for 64-bit Windows that the windows preset links the label printing with is
# in ~/.cache/zint-mingw, unpacked from the shared archive beside the checkout; a copy unpacked
# from another archive than the shared one now is replaced.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=${CORDELO_WINDOWS_ZINT:-$HOME/.cache/zint-mingw}
shared=${CORDELO_SHARED_WINDOWS:-$here/../../../shared/windows}
archive=$shared/zint-2.11.1-mingw-w64.tar.xz
source "$here/unpack-archive.sh"

if [ ! -f "$archive" ]; then
  if [ -f "$prefix/include/zint.h" ]; then
    exit 0
  fi
  echo "No zint for MinGW at $archive (its recipe is build-zint-mingw.sh beside it)." >&2
  exit 1
fi
if archive_unpacked "$archive" "$prefix" && [ -f "$prefix/bin/libzint.dll" ]; then
  exit 0
fi
unpack_archive "$archive" "$prefix" zint-mingw
