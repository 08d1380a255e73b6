#!/usr/bin/env bash
# Installs what is missing, builds, starts the panel simulator and the
# program against it. The simulator's password is 1234.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

link="${TMPDIR:-/tmp}/kv4810g-demo-panel"
build/bin/kv4810g-panelsim --link "$link" --password 1234 >/dev/null &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$link" ] && break; sleep 0.1; done

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: the program runs offscreen (nothing to see). Stop it with Ctrl+C."
  export QT_QPA_PLATFORM=offscreen
fi
echo "Panel simulator on $link; type the password 1234 in the \"Operation test\" dialog."
KV4810G_PORTS="$link" build/bin/kv4810g
