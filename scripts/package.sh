#!/usr/bin/env bash
# Builds the Debian package (build/package/kv4810g_<version>_<arch>.deb) from
# the build in build/, then shows what it declares and holds and checks it.
# Install it with:  sudo apt install ./build/package/kv4810g_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

# dpkg-shlibdeps (dpkg-dev) computes the dependencies; CPack needs `file`.
scripts/install-packages.sh dpkg-dev file

rm -rf build/package
cpack --config build/CPackConfig.cmake -B build/package >/dev/null
deb=$(ls build/package/kv4810g_*.deb)

dpkg-deb --info "$deb"
contents=$(dpkg-deb --contents "$deb")
echo "$contents"

fail=0
for f in ./usr/bin/kv4810g ./usr/bin/kv4810g-panelsim ./usr/bin/kv4810g-program ./usr/bin/kv4810g-copy-records \
         ./usr/share/man/man1/kv4810g.1.gz ./usr/share/man/man1/kv4810g-program.1.gz \
         ./usr/share/man/man1/kv4810g-panelsim.1.gz ./usr/share/man/man1/kv4810g-copy-records.1.gz \
         ./usr/share/doc/kv4810g/copyright ./usr/share/doc/kv4810g/changelog.gz ./usr/share/kv4810g/HELP.doc \
         ./usr/share/applications/kv4810g.desktop \
         ./usr/share/icons/hicolor/32x32/apps/kv4810g.png \
         ./usr/share/icons/hicolor/scalable/apps/kv4810g.svg; do
  grep -q " $f\$" <<<"$contents" || { echo "package: $f is missing" >&2; fail=1; }
done
depends=$(dpkg-deb --field "$deb" Depends)
for d in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6sql6 \
         libqt6sql6-sqlite qt6-qpa-plugins fonts-liberation2; do
  grep -qE "(^|, )$d( |,|\$)" <<<"$depends" || { echo "package: no dependency on $d" >&2; fail=1; }
done
if command -v desktop-file-validate >/dev/null; then
  tmp=$(mktemp -d)
  dpkg-deb -x "$deb" "$tmp"
  desktop-file-validate "$tmp/usr/share/applications/kv4810g.desktop" || fail=1
  rm -rf "$tmp"
fi
# Debian's own check of the package, when it is installed.
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$deb" || fail=1
fi
[ $fail -eq 0 ] || exit 1
echo "package: $deb"
