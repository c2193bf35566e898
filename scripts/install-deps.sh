#!/usr/bin/env bash
# Installs, with apt-get, only the Debian packages this project still lacks.
# Works as root and through sudo.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-serialport-dev libgl-dev
  libzint-dev zbar-tools dmtx-utils poppler-utils cups-daemon cups-client
  libqt6sql6-sqlite libqt6sql6-psql postgresql
  fonts-dejavu-core
  clang libclang-rt-14-dev
  xvfb xauth
  valgrind
  dpkg-dev file desktop-file-utils appstream xdotool lintian
  gcc-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  g++-mingw-w64-x86-64-posix wine64 nsis xz-utils
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "Missing packages: ${missing[*]}" >&2
  echo "Run this script as root or install sudo." >&2
  exit 1
fi

echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
