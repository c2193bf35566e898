#!/usr/bin/env bash
# Installs what is missing, builds, starts the virtual module on COM1 and then the
# tool. Stopping the tool stops the virtual module.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display is available to show the window." >&2
  echo "Run it under a virtual display instead:  xvfb-run -a scripts/run.sh" >&2
  exit 1
fi

bin=build/default/bin
trace=$(mktemp -t cordelo-virtual-module.XXXXXX.log)
"$bin/cordelo-virtual-module" --com 1 >"$trace" 2>&1 &
module=$!
trap 'kill "$module" 2>/dev/null; wait "$module" 2>/dev/null; echo "Virtual module trace: $trace"' EXIT

# The module maps COM1 to its pseudo-terminal before it says it is ready.
for _ in $(seq 50); do
  grep -q "ready" "$trace" && break
  sleep 0.1
done
echo "Virtual module on COM1 (trace: $trace)"

"$bin/cordelo-setup"
