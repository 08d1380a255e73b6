#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite offscreen,
# with a throwaway PostgreSQL server for the shared record store; beside
# that, the same suites built with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/.
#
# The sanitized build and its suites run beside the plain build and its
# suites, each starting as soon as its build is done. The suites wait on
# lines and timers, not on the processor, so each run takes four times as
# many at a time as there are cores.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh packages
export QT_QPA_PLATFORM=offscreen
jobs=$(( $(nproc) * 4 ))
pgdir=
sanitized=
asan_build_log=$(mktemp /tmp/kv4810g-asan-build.XXXXXX)
asan_test_log=$(mktemp /tmp/kv4810g-asan-test.XXXXXX)
cleanup() {
  if [ -n "$sanitized" ]; then # still running: the script failed early
    pkill -P $sanitized 2>/dev/null || true
    kill $sanitized 2>/dev/null || true
  fi
  [ -z "$pgdir" ] || stop_server
  rm -f "$asan_build_log" "$asan_test_log"
}
trap cleanup EXIT

# The server runs as the postgres user (initdb refuses root) in a temporary
# folder, listening on a Unix socket there and on a free loopback TCP port
# (IPv4 and IPv6, TLS offered); it is stopped and removed
# however the tests end.
pgbin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)
pgdir=$(mktemp -d /tmp/kv4810g-pg.XXXXXX)
as_postgres=()
if [ "$(id -u)" -eq 0 ]; then
  chown postgres: "$pgdir"
  as_postgres=(runuser -u postgres --)
fi
stop_server() {
  "${as_postgres[@]}" "$pgbin/pg_ctl" -D "$pgdir/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$pgdir"
}
"${as_postgres[@]}" "$pgbin/initdb" -D "$pgdir/data" -U postgres -A trust --no-sync >/dev/null
# TLS with a certificate made here, valid for the loopback names; the role
# kvtls logs in only over TLS, kvpassword only with its password.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost \
  -addext "subjectAltName=DNS:localhost,IP:127.0.0.1,IP:::1" \
  -keyout "$pgdir/server.key" -out "$pgdir/server.crt" >/dev/null 2>&1
chmod 600 "$pgdir/server.key"
[ ${#as_postgres[@]} -eq 0 ] || chown postgres: "$pgdir/server.key" "$pgdir/server.crt"
cat >"$pgdir/data/pg_hba.conf" <<'HBA'
local all kvpassword scram-sha-256
local all all trust
hostssl all kvtls 127.0.0.1/32 trust
hostssl all kvtls ::1/128 trust
hostnossl all kvtls all reject
host all all 127.0.0.1/32 trust
host all all ::1/128 trust
HBA
# A free TCP port on the loopback addresses, beside the socket.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
listen="127.0.0.1"
ip -6 addr show dev lo 2>/dev/null | grep -q '::1' && listen="127.0.0.1,::1"
"${as_postgres[@]}" "$pgbin/pg_ctl" -D "$pgdir/data" -l "$pgdir/server.log" -w -s \
  -o "-k $pgdir -p $port -c listen_addresses='$listen' -c fsync=off -c max_connections=50 -c ssl=on \
      -c ssl_cert_file=$pgdir/server.crt -c ssl_key_file=$pgdir/server.key" start
export KV4810G_TEST_POSTGRES="postgresql://postgres@${pgdir//\//%2F}:$port"
export KV4810G_TEST_POSTGRES_CERT="$pgdir/server.crt"
[ "$listen" = "127.0.0.1" ] || export KV4810G_TEST_POSTGRES_IPV6=1

# The sanitized run; its status 100: its build failed.
( { cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV4810G_SANITIZE=ON -DKV4810G_BUILD_BENCH=OFF &&
    cmake --build build-asan -j2 -- --no-print-directory; } >"$asan_build_log" 2>&1 || exit 100
  ctest --test-dir build-asan --output-on-failure -j"$jobs" >"$asan_test_log" 2>&1 ) &
sanitized=$!

scripts/setup.sh
status=0
ctest --test-dir build --output-on-failure -j"$jobs" || status=$?

sanitized_status=0
wait $sanitized || sanitized_status=$?
sanitized=
if [ $sanitized_status -eq 100 ]; then
  grep -E 'error|Error' "$asan_build_log" | head -40 >&2
  echo "the sanitized build failed (build-asan/)" >&2
  exit 1
fi
echo "The suites built with the sanitizers (build-asan/):"
cat "$asan_test_log"
[ $sanitized_status -eq 0 ] || status=$sanitized_status
exit $status
