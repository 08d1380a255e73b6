#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite offscreen;
# then the same suites built with AddressSanitizer and UndefinedBehaviorSanitizer
# in build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
status=0
ctest --test-dir build --output-on-failure -j2 || status=$?

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV4810G_SANITIZE=ON \
      -DKV4810G_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j2 -- --no-print-directory >/dev/null
ctest --test-dir build-asan --output-on-failure -j2 || status=$?
exit $status
