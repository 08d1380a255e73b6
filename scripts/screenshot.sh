#!/usr/bin/env bash
# Takes the README's screenshot of the main window (help/main-window.png) on
# a virtual X display, as a technician's desktop shows it. Installs Xvfb and
# ImageMagick when missing. The window opens without a panel: the search
# finds only a silent simulator, on port 16.
# Usage: scripts/screenshot.sh [output.png]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-help/main-window.png}
scripts/setup.sh

scripts/install-packages.sh xvfb imagemagick x11-utils

tmp=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; rm -rf "$tmp"; }
trap cleanup EXIT

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x700x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
build/bin/kv4810g-panelsim --silent --link "$tmp/panel" >/dev/null &
pids+=($!)
for _ in $(seq 50); do [ -e "$tmp/panel" ] && break; sleep 0.1; done

# Ports 1 to 15 have no device; port 16 opens and stays silent.
ports=$(printf ':%.0s' $(seq 15))"$tmp/panel"
DISPLAY=$display QT_QPA_PLATFORM=xcb KV4810G_PORTS=$ports KV4810G_RECORDS="$tmp/4810G.mdb" \
  build/bin/kv4810g >/dev/null 2>&1 &
pids+=($!)

title="KV-4810G programming software"
for _ in $(seq 100); do
  DISPLAY=$display xwininfo -name "$title" >/dev/null 2>&1 && break
  sleep 0.1
done
sleep 1
DISPLAY=$display import -window "$title" "$out"
echo "screenshot: $out"
