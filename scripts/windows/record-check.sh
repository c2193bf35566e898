#!/usr/bin/env bash
# Recorded writes under Wine: runs cordelo-cli.exe write --record many times against the module
# on COM$CORDELO_TEST_COM, into an SQLite file and into the PostgreSQL database of
# with-postgres.sh, and fails on a run that Wine reports crashed, that does not end in time or
# that ends with another status than its own (0, or 7 for a record it cannot open); the Linux
# cordelo-cli then finds every row in the record. One more write goes to the database that takes
# SSL only. Run it inside with-postgres.sh and with-virtual-module.sh:
#   scripts/windows/record-check.sh [CORDELO-CLI.EXE] [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-env.sh"
cli=${1:-'C:\Program Files\Cordelo Setup\bin\cordelo-cli.exe'}
runs=${2:-20}
host_cli=${CORDELO_HOST_CLI:-$here/../../build/default/bin/cordelo-cli}
port=COM$CORDELO_TEST_COM
# A recorded write takes about a second under Wine.
bound=30s

scratch=$(mktemp -d -t cordelo-wine-record.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
failures=0

# Runs one write into TARGET and checks how it ended; "7" as EXPECTED for a refused record.
write_once() {
  local target=$1 expected=$2 status=0
  timeout "$bound" "$WINE" "$cli" write --port "$port" --set 'name=Rec-{unit}' \
    --record "$target" --bench wine >"$scratch/out" 2>"$scratch/err" || status=$?
  local fault=
  if grep -q 'Unhandled' "$scratch/out" "$scratch/err"; then
    fault="crashed (status $status)"
  elif [ "$status" = 124 ]; then
    fault="did not end within $bound"
    "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w
    start_wineserver
  elif [ "$status" != "$expected" ]; then
    fault="ended with status $status, not $expected"
  fi
  if [ -n "$fault" ]; then
    failures=$((failures + 1))
    echo "FAILED: a write recorded in $target $fault:" >&2
    tr -d '\r' <"$scratch/out" | head -n 5 >&2
    tr -d '\r' <"$scratch/err" | head -n 40 >&2
  fi
}

# RUNS writes into TARGET, every fifth with the record made unusable by SPOILED, then the rows
# that the Linux cordelo-cli finds in the record, named HOST_TARGET there.
check_record() {
  local target=$1 spoiled=$2 host_target=$3 kept=0 run ran=0
  for run in $(seq "$runs"); do
    if [ $((run % 5)) = 0 ]; then
      write_once "$spoiled" 7
    else
      write_once "$target" 0
      kept=$((kept + 1))
    fi
    ran=$run
    [ "$failures" -ge 3 ] && break
  done
  local rows
  rows=$("$host_cli" record "$host_target" --csv --result ok | tail -n +2 | grep -c . || true)
  if [ "$failures" = 0 ] && [ "$rows" != "$kept" ]; then
    echo "FAILED: the record $target holds $rows rows of ok writes, not $kept." >&2
    failures=$((failures + 1))
  fi
  echo "$target: $ran recorded writes, $failures failed, $rows rows in the record"
}

sqlite=$scratch/record.sqlite
echo "-- $runs recorded writes with $(basename "${cli//\\//}") into an SQLite file"
started=$(date +%s%N)
check_record "$(winepath_of "$sqlite")" "$(winepath_of "$scratch/no-such-folder/record.sqlite")" \
  "$sqlite"
echo "   $(( ($(date +%s%N) - started) / 1000000 / runs )) ms a write"
[ "$failures" = 0 ] || exit 1

echo "-- $runs recorded writes into PostgreSQL on 127.0.0.1"
check_record "$CORDELO_TEST_POSTGRES_URL" "${CORDELO_TEST_POSTGRES_URL%/*}/no_such_database" \
  "$CORDELO_TEST_POSTGRES_URL"
[ "$failures" = 0 ] || exit 1

# libpq's parameters ride in the URL, as on Linux.
echo "-- a recorded write into a database that takes SSL only"
write_once "$CORDELO_TEST_POSTGRES_SSL_URL?sslmode=require" 0
[ "$failures" = 0 ] || exit 1
rows=$("$host_cli" record "$CORDELO_TEST_POSTGRES_SSL_URL" --csv | tail -n +2 | grep -c . || true)
if [ "$rows" != 1 ]; then
  echo "FAILED: the SSL-only record holds $rows rows, not 1." >&2
  exit 1
fi
echo "-- every recorded write ended cleanly with its own status"
