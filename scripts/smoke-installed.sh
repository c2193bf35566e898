#!/usr/bin/env bash
# Installs the Debian package from build/default on this machine, then starts the installed
# tool on a virtual X display, clicks Connect and checks that it talks to the installed
# virtual module and turns its lamp green. It changes the system, so it runs only as root or
# in CI and skips otherwise; scripts/package.sh must have built the package.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif [ "${CI:-}" = true ] && command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "Skipping the installed-package smoke test: it installs cordelo-setup system-wide," \
    "so it runs only as root or in CI (sudo scripts/smoke-installed.sh)."
  exit 0
fi

shopt -s nullglob
packages=(build/default/cordelo-setup_*.deb)
if [ ${#packages[@]} -ne 1 ]; then
  echo "Expected one package build/default/cordelo-setup_*.deb; run scripts/package.sh." >&2
  exit 1
fi
smoke=build/default/bin/tst_installed_tool
if [ ! -x "$smoke" ]; then
  echo "$smoke is missing; build the default preset first." >&2
  exit 1
fi

echo "Installing ${packages[0]}"
# apt-get pulls in the dependencies the package names; it wants a path, not a bare file name.
# --reinstall: an earlier build of the same version may be installed already.
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -qq --reinstall \
  --no-install-recommends "./${packages[0]}" >/dev/null

# 24-bit colour, so that the lamp's pixel reads back as the colour it was drawn with.
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x768x24" "$smoke"
