#!/usr/bin/env bash
# Builds the Debian package in one step: installs what is missing, builds the default preset
# and runs cpack. The package lands in build/default, e.g. cordelo-setup_2.0.0_amd64.deb.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
(cd build/default && cpack -G DEB)
