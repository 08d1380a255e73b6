#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite offscreen,
# with a throwaway PostgreSQL server for the shared record store; then the
# same suites built with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export QT_QPA_PLATFORM=offscreen

# The server runs as the postgres user (initdb refuses root) in a temporary
# folder, listening only on a Unix socket there; it is stopped and removed
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
trap stop_server EXIT
"${as_postgres[@]}" "$pgbin/initdb" -D "$pgdir/data" -U postgres -A trust --no-sync >/dev/null
# One role logs in only with its password, for the refused-login test.
printf 'local all kvpassword scram-sha-256\nlocal all all trust\n' >"$pgdir/data/pg_hba.conf"
"${as_postgres[@]}" "$pgbin/pg_ctl" -D "$pgdir/data" -l "$pgdir/server.log" -w -s \
  -o "-k $pgdir -c listen_addresses='' -c fsync=off -c max_connections=50" start
export KV4810G_TEST_POSTGRES="postgresql://postgres@${pgdir//\//%2F}:5432"

status=0
ctest --test-dir build --output-on-failure -j2 || status=$?

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV4810G_SANITIZE=ON \
      -DKV4810G_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j2 -- --no-print-directory >/dev/null
ctest --test-dir build-asan --output-on-failure -j2 || status=$?
exit $status
