#!/usr/bin/env bash
# Starts a private PostgreSQL 15 server on 127.0.0.1 and a free port (Wine's libpq reaches it
# over TCP only), with a password in a PGPASSFILE and SSL, and runs the command with
#   CORDELO_TEST_POSTGRES_URL      postgresql://cordelo@127.0.0.1:PORT/record
#   CORDELO_TEST_POSTGRES_SSL_URL  the same server's database record_ssl, which takes SSL only
# and PGPASSFILE set; the server and its files go after it.
#   scripts/windows/with-postgres.sh COMMAND...
set -euo pipefail
bin=/usr/lib/postgresql/15/bin
if [ ! -x "$bin/initdb" ]; then
  echo "PostgreSQL 15 is missing: $bin/initdb (scripts/install-deps.sh installs it)." >&2
  exit 1
fi

scratch=$(mktemp -d -t cordelo-postgres.XXXXXX)
chmod 755 "$scratch"
as_server=()
# initdb and the server refuse to run as root.
if [ "$(id -u)" = 0 ]; then
  chown postgres: "$scratch"
  as_server=(runuser -u postgres --)
fi
running=
cleanup() {
  [ -n "$running" ] && "${as_server[@]}" "$bin/pg_ctl" -D "$scratch/data" -m immediate -w stop >/dev/null 2>&1
  rm -rf "$scratch"
}
trap cleanup EXIT

password=$(head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n')
"${as_server[@]}" sh -c "umask 077 && echo '$password' >'$scratch/password'"
"${as_server[@]}" "$bin/initdb" -D "$scratch/data" -U cordelo --pwfile="$scratch/password" \
  --auth-local=trust --auth-host=scram-sha-256 -E UTF8 --no-sync >"$scratch/initdb.log" 2>&1 || {
  cat "$scratch/initdb.log" >&2
  exit 1
}
"${as_server[@]}" sh -c "cd '$scratch/data' && umask 077 && openssl req -new -x509 -days 2 -nodes \
  -subj /CN=127.0.0.1 -keyout server.key -out server.crt" >/dev/null 2>&1
cat >"$scratch/hba" <<'EOF'
local all all trust
hostssl record_ssl cordelo 127.0.0.1/32 scram-sha-256
host record cordelo 127.0.0.1/32 scram-sha-256
EOF
"${as_server[@]}" cp "$scratch/hba" "$scratch/data/pg_hba.conf"

# A port another program takes between the choice and the start makes the start fail: try
# another one.
for _ in 1 2 3 4 5; do
  port=$(( 20000 + RANDOM % 40000 ))
  if "${as_server[@]}" "$bin/pg_ctl" -D "$scratch/data" -l "$scratch/server.log" -w -t 60 \
    -o "-p $port -c listen_addresses=127.0.0.1 -k $scratch -c ssl=on -c fsync=off" \
    start >/dev/null 2>&1; then
    running=yes
    break
  fi
done
if [ -z "$running" ]; then
  echo "The PostgreSQL server did not start:" >&2
  cat "$scratch/server.log" >&2
  exit 1
fi
for database in record record_ssl; do
  "${as_server[@]}" "$bin/createdb" -h "$scratch" -p "$port" -U cordelo "$database"
done

# The password file stays the caller's own: a Windows libpq reads it through Z:.
passfile=$(mktemp -t cordelo-pgpass.XXXXXX)
trap 'cleanup; rm -f "$passfile"' EXIT
echo "127.0.0.1:$port:*:cordelo:$password" >"$passfile"
export PGPASSFILE=$passfile
export CORDELO_TEST_POSTGRES_URL=postgresql://cordelo@127.0.0.1:$port/record
export CORDELO_TEST_POSTGRES_SSL_URL=postgresql://cordelo@127.0.0.1:$port/record_ssl
"$@"
