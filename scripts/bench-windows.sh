#!/usr/bin/env bash
# Connect in the window and `cordelo-cli read` through the real serial port, on Linux and under
# Wine, against the same Linux virtual module at 9600-baud pacing: the cost of Wine's serial
# layer. Needs the default and the windows builds (scripts/test.sh makes both).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-9}
linux=build/default/bin
windows=build/windows/bin

# The median of `seconds` (port open to closed, in the program) over the runs, in ms.
cli_median() {
  for _ in $(seq "$runs"); do
    "$@" read --json --port "COM$port" | sed -n 's/.*"seconds":\([0-9.]*\).*/\1/p'
  done | sort -n | awk '{ v[NR] = $1 } END { printf "%.1f", v[int((NR + 1) / 2)] * 1000 }'
}

echo "== Linux: COM1 mapped to the virtual module's pseudo-terminal"
config=$(mktemp -d)
export XDG_CONFIG_HOME=$config
"$linux/cordelo-virtual-module" --com 1 >"$config/module.log" 2>&1 &
module=$!
trap 'kill "$module" 2>/dev/null; rm -rf "$config"' EXIT
for _ in $(seq 100); do grep -q ready "$config/module.log" && break; sleep 0.05; done
port=1
QT_QPA_PLATFORM=offscreen "$linux/cordelo-bench-connect" 1 "$runs"
echo "cordelo-cli read, port open to closed: median $(cli_median "$linux/cordelo-cli") ms of $runs runs"
kill "$module"
wait "$module" 2>/dev/null || true

echo "== Wine: COM5 pointed at the virtual module's pseudo-terminal"
# xvfb-run is a POSIX shell script, which does not pass bash functions on.
export runs
xvfb-run -a -s "-screen 0 1280x1024x24" scripts/windows/with-virtual-module.sh 5 bash -c '
  port=5
  '"$(declare -f cli_median)"'
  run=scripts/windows/wine-run.sh
  "$run" build/windows/bin/cordelo-bench-connect.exe 5 "$runs" | tr -d "\r"
  echo "cordelo-cli.exe read, port open to closed: median $(cli_median "$run" build/windows/bin/cordelo-cli.exe) ms of $runs runs"
  start=$(date +%s%N)
  "$run" build/windows/bin/cordelo-cli.exe read --port COM5 >/dev/null
  echo "cordelo-cli.exe read, one whole process under Wine: $(( ($(date +%s%N) - start) / 1000000 )) ms"
'
