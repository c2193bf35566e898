#!/usr/bin/env bash
# Starts the Linux virtual module on a pseudo-terminal, points Wine's COM<N> at it through the
# prefix's registry, and runs the command with CORDELO_TEST_COM=<N>; the module stops after it.
#   scripts/windows/with-virtual-module.sh N COMMAND... [-- module options]
# Restarts the prefix's Wine server, so nothing else may run in that prefix meanwhile.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"

number=$1
shift
command=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
  command+=("$1")
  shift
done
[ $# -gt 0 ] && shift

module=${CORDELO_HOST_VIRTUAL_MODULE:-$here/../../build/default/bin/cordelo-virtual-module}
if [ ! -x "$module" ]; then
  echo "The Linux virtual module is missing: $module (build the default preset first)." >&2
  exit 1
fi

log=$(mktemp -t cordelo-wine-module.XXXXXX)
"$module" --no-map "$@" >"$log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -f "$log"' EXIT
device=
for _ in $(seq 100); do
  device=$(sed -n 's/^.*device \(\/dev\/pts\/[0-9]*\)$/\1/p' "$log")
  [ -n "$device" ] && grep -q ready "$log" && break
  sleep 0.05
done
if [ -z "$device" ]; then
  echo "The virtual module did not start:" >&2
  cat "$log" >&2
  exit 1
fi

# Wine makes its COM ports from this key whenever its server starts.
"$WINE" reg add 'HKLM\Software\Wine\Ports' /v "COM$number" /d "$device" /f >/dev/null
"$WINESERVER" -k 2>/dev/null || true
"$WINESERVER" -w
start_wineserver
CORDELO_TEST_COM=$number "${command[@]}"
