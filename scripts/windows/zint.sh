#!/usr/bin/env bash
# Makes sure the zint for 64-bit Windows that the windows preset links the label printing with is
# in ~/.cache/zint-mingw, unpacked from the shared archive beside the checkout; a copy unpacked
# from another archive than the shared one now is replaced.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=${CORDELO_WINDOWS_ZINT:-$HOME/.cache/zint-mingw}
shared=${CORDELO_SHARED_WINDOWS:-$here/../../../shared/windows}
archive=$shared/zint-2.11.1-mingw-w64.tar.xz
stamp=$prefix/.cordelo-archive.sha256

if [ ! -f "$archive" ]; then
  if [ -f "$prefix/include/zint.h" ]; then
    exit 0
  fi
  echo "No zint for MinGW at $archive (its recipe is build-zint-mingw.sh beside it)." >&2
  exit 1
fi
checksum=$(sha256sum "$archive" | cut -d' ' -f1)
if [ "$(cat "$stamp" 2>/dev/null)" = "$checksum" ] && [ -f "$prefix/bin/libzint.dll" ]; then
  exit 0
fi
echo "Unpacking the MinGW zint from $shared into $prefix"
mkdir -p "$(dirname "$prefix")"
work=$(mktemp -d "$(dirname "$prefix")/zint-unpack.XXXXXX")
tar -xJf "$archive" -C "$work"
echo "$checksum" >"$work/zint-mingw/.cordelo-archive.sha256"
rm -rf "$prefix"
mv "$work/zint-mingw" "$prefix"
rmdir "$work"
