#!/usr/bin/env bash
# Builds the Debian package in one step: installs what is missing, builds the default preset,
# runs cpack and checks the package with lintian. The package lands in build/default, e.g.
# cordelo-setup_2.0.0_amd64.deb.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
(cd build/default && cpack -G DEB)
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' build/default/CPackConfig.cmake)
lintian --fail-on error "build/default/cordelo-setup_${version}_$(dpkg --print-architecture).deb"
