#!/usr/bin/env bash
# Run by installer-check.sh with the virtual module on COM$CORDELO_TEST_COM: starts the installed
# "Cordelo Setup.exe", clicks Connect and waits for the module's settings in its trace, finds the
# saved port in the registry, has the installed cordelo-cli.exe write and verify a name, and then
# connects the window and the command line to the simulated module (--virtual-module), and has the
# installed cordelo-station.exe provision a simulated module and end when closed.
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

# Starts the installed tool with the given options, clicks Connect and waits until its trace
# shows the module's settings arriving, then ends it.
connect_window() {
  : >"$trace"
  "$WINE" "$bin\\Cordelo Setup.exe" --trace "$(winepath_of "$trace")" "$@" &
  local tool=$!
  local window
  window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Cordelo Setup v1.1$' | head -n 1) ||
    fail "The installed tool showed no window."
  # The middle of the Connect button at 96 dpi (the design's twips over 15) in the 567 x 311
  # client area, which Wine draws its own frame and caption around when no window manager runs.
  eval "$(xdotool getwindowgeometry --shell "$window")"
  local border=$(( (WIDTH - 567) / 2 ))
  local caption=$(( HEIGHT - 311 - 2 * border ))
  xdotool mousemove --window "$window" $(( border + 64 )) $(( border + caption + 104 )) click 1
  # The firmware comes twice: as the answer to "<VERS>" and as the last field of the query.
  for _ in $(seq 100); do
    [ "$(grep -o 'v2\.0\]' "$trace" | wc -l)" -ge 2 ] && break
    sleep 0.1
  done
  [ "$(grep -o 'v2\.0\]' "$trace" | wc -l)" -ge 2 ] || fail "Connect did not read the module's settings."
  kill "$tool" 2>/dev/null || true
  "$WINESERVER" -k 2>/dev/null || true
  wait "$tool" 2>/dev/null || true
  "$WINESERVER" -w
  start_wineserver
}

echo "-- the installed Cordelo Setup.exe connects on $port"
connect_window
# The port is saved as soon as it opens.
saved=$("$WINE" reg query 'HKCU\Software\VB and VBA Program Settings\Cordelo Setup\Properties' \
  /v CommPort 2>/dev/null | tr -d '\r' | awk '$1 == "CommPort" { print $3 }')
[ "$saved" = "$CORDELO_TEST_COM" ] || fail "CommPort in the registry is '$saved', not $CORDELO_TEST_COM."
echo "-- the installed cordelo-cli.exe writes and verifies on $port"
"$WINE" "$bin\\cordelo-cli.exe" write --port "$port" --set name=Wine-Bench-1 ||
  fail "cordelo-cli.exe write failed."
"$WINE" "$bin\\cordelo-cli.exe" read --port "$port" | tr -d '\r' | grep -qx 'name=Wine-Bench-1' ||
  fail "cordelo-cli.exe read does not show the name written."

echo "-- no adapter: the installed programs on the simulated module"
connect_window --virtual-module
profile=$("$WINE" "$bin\\cordelo-cli.exe" read --virtual-module --port COM1 | tr -d '\r')
echo "$profile"
grep -q '^name=' <<<"$profile" || fail "cordelo-cli.exe --virtual-module read printed no profile."

echo "-- the installed cordelo-station.exe provisions a simulated module"
log=$(mktemp -u -t cordelo-wine-station.XXXXXX)
"$WINE" "$bin\\cordelo-station.exe" --virtual-module --port COM1 --set name=Station-1 \
  --log "$(winepath_of "$log")" &
station=$!
logged() { grep -q ',COM1,.*,ok,0,.*,Station-1,' "$log" 2>/dev/null; }
for _ in $(seq 300); do
  logged && break
  sleep 0.1
done
logged || fail "The installed station logged no module that passed on COM1."
# taskkill without /F closes the window as a user does; the station ends within 5 s.
"$WINE" taskkill /IM cordelo-station.exe >/dev/null 2>&1 || true
for _ in $(seq 50); do
  kill -0 "$station" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$station" 2>/dev/null && fail "The installed station did not end within 5 s of closing."
rm -f "$log"
