#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test suite offscreen.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
export QT_QPA_PLATFORM=offscreen
exec ctest --test-dir build --output-on-failure -j2
