#!/usr/bin/env bash
# Installs the package built by scripts/package.sh on a fresh Debian 12
# (debootstrap into build/fresh-debian, run as root) without recommended
# packages, then, as a normal user on a virtual display, starts the program
# by its menu entry's command, saves a record with File > Save and chooses
# Help > About. Prints where the record file went and what the desktop was
# asked to open. Needs network access; takes a few minutes the first time.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD/build/fresh-debian
deb=$(ls build/package/kv4810g_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { echo "check-fresh-install: run scripts/package.sh first" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "check-fresh-install: run as root" >&2; exit 1; }

command -v debootstrap >/dev/null || DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
[ -x "$root/usr/bin/apt-get" ] || debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >/dev/null

mounted=()
cleanup() {
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[i]}" || true; done
}
trap cleanup EXIT
for m in proc dev dev/pts; do
  if [ $m = proc ]; then mount -t proc proc "$root/proc"; else mount --bind "/$m" "$root/$m"; fi
  mounted+=("$root/$m")
done

cp "$deb" "$root/tmp/kv4810g.deb"
chroot "$root" bash -c 'export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  apt-get install -y -qq --no-install-recommends /tmp/kv4810g.deb >/dev/null
  apt-get install -y -qq --no-install-recommends xvfb xauth xdotool >/dev/null
  id tech >/dev/null 2>&1 || useradd -m -s /bin/bash tech'

cat > "$root/tmp/as-user.sh" <<'USER'
#!/bin/bash
set -u
cd ~
rm -rf ~/.local/share/7158K ~/opened.log
# Stands in for the desktop's opener, to see what About asks it to open.
mkdir -p ~/fakebin
printf '#!/bin/sh\necho "$*" >> "$HOME/opened.log"\n' > ~/fakebin/xdg-open
chmod +x ~/fakebin/xdg-open
export DISPLAY=:58
Xvfb :58 -screen 0 1024x700x24 -nolisten tcp >/dev/null 2>&1 & X=$!
sleep 1
kv4810g-panelsim --link ~/panel --silent >/dev/null & S=$!
sleep 0.5
command=$(sed -n 's/^Exec=//p' /usr/share/applications/kv4810g.desktop)
PATH=~/fakebin:$PATH KV4810G_AUTO_ANSWER=1 KV4810G_PORTS=":::::::::::::::$HOME/panel" \
  $command > ~/program.out 2>&1 & P=$!
for _ in $(seq 50); do xdotool search --name "KV-4810G programming software" >/dev/null 2>&1 && break; sleep 0.2; done
W=$(xdotool search --name "KV-4810G programming software" | head -1)
xdotool mousemove --window "$W" 400 27 click 1 type "17"; sleep 0.5
xdotool mousemove --window "$W" 18 8 click 1; sleep 0.5; xdotool key s; sleep 1
xdotool mousemove --window "$W" 101 8 click 1; sleep 0.5; xdotool key Down Return; sleep 1.5
kill $P $S $X; wait 2>/dev/null
echo "messages:  $(grep -v QStandardPaths ~/program.out | tr '\n' ' ')"
echo "opened:    $(cat ~/opened.log 2>/dev/null)"
echo "records:   $(ls ~/.local/share/7158K/4810G.mdb 2>/dev/null)"
[ -s ~/.local/share/7158K/4810G.mdb ] && grep -q /usr/share/kv4810g/HELP.doc ~/opened.log
USER
chmod 755 "$root/tmp/as-user.sh"
chroot "$root" su - tech -c /tmp/as-user.sh
echo "check-fresh-install: the package works on a fresh Debian 12"
