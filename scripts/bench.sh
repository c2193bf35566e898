#!/usr/bin/env bash
# Installs what is missing, builds, and prints the benchmark table (about 90 s).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"
QT_QPA_PLATFORM=offscreen build/default/bin/cordelo-bench
