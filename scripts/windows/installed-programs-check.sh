#!/usr/bin/env bash
# Run by installer-check.sh with the virtual module on COM$CORDELO_TEST_COM: starts the installed
# "Cordelo Setup.exe", clicks Connect and waits for the module's settings in its trace, finds the
# saved port in the registry, then has the installed cordelo-cli.exe write and verify a name and
# read the simulated module.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"
unset WINEPATH QT_PLUGIN_PATH
bin='C:\Program Files\Cordelo Setup\bin'
port=COM$CORDELO_TEST_COM
trace=$(mktemp -t cordelo-wine-trace.XXXXXX)

fail() {
  echo "$1" >&2
  [ -s "$trace" ] && { echo "The tool's trace:" >&2; cat "$trace" >&2; }
  exit 1
}

echo "-- the installed Cordelo Setup.exe connects on $port"
"$WINE" "$bin\\Cordelo Setup.exe" --trace "$(winepath_of "$trace")" &
tool=$!
window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Cordelo Setup v1.1$' | head -n 1) ||
  fail "The installed tool showed no window."
# The middle of the Connect button at 96 dpi (the design's twips over 15) in the 567 x 311
# client area, which Wine draws its own frame and caption around when no window manager runs.
eval "$(xdotool getwindowgeometry --shell "$window")"
border=$(( (WIDTH - 567) / 2 ))
caption=$(( HEIGHT - 311 - 2 * border ))
xdotool mousemove --window "$window" $(( border + 64 )) $(( border + caption + 104 )) click 1
for _ in $(seq 100); do
  grep -q 'QUERY' "$trace" && grep -q 'v2.0\]' "$trace" && break
  sleep 0.1
done
grep -q '<QUERY>' "$trace" || fail "Connect did not query the module."
# The query reply is read 400 ms after it was asked for; the saved port is written before.
saved=$("$WINE" reg query 'HKCU\Software\VB and VBA Program Settings\Cordelo Setup\Properties' \
  /v CommPort 2>/dev/null | tr -d '\r' | awk '$1 == "CommPort" { print $3 }')
[ "$saved" = "$CORDELO_TEST_COM" ] || fail "CommPort in the registry is '$saved', not $CORDELO_TEST_COM."
kill "$tool" 2>/dev/null || true
"$WINESERVER" -k 2>/dev/null || true
wait "$tool" 2>/dev/null || true
"$WINESERVER" -w
start_wineserver

echo "-- the installed cordelo-cli.exe writes and verifies on $port"
"$WINE" "$bin\\cordelo-cli.exe" write --port "$port" --set name=Wine-Bench-1 ||
  fail "cordelo-cli.exe write failed."
"$WINE" "$bin\\cordelo-cli.exe" read --port "$port" | tr -d '\r' | grep -qx 'name=Wine-Bench-1' ||
  fail "cordelo-cli.exe read does not show the name written."

echo "-- no adapter: the installed programs on the simulated module"
"$WINE" "$bin\\cordelo-cli.exe" read --virtual-module --port COM1 | tr -d '\r' | tee /dev/stderr |
  grep -q '^name=' || fail "cordelo-cli.exe --virtual-module read printed no profile."
