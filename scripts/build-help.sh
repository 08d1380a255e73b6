#!/usr/bin/env bash
# Builds help/HELP.doc (Word 97) from help/HELP.html with LibreOffice Writer,
# headless. Installs LibreOffice Writer first when soffice is missing.
# Usage: scripts/build-help.sh      (from any directory)
set -euo pipefail

cd "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")/.."

SRC=help/HELP.html
OUT=help/HELP.doc

find_soffice() {
    command -v soffice || command -v libreoffice || true
}

SOFFICE=$(find_soffice)
if [ -z "$SOFFICE" ]; then
    SUDO=""
    if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
    echo "build-help: installing LibreOffice Writer" >&2
    export DEBIAN_FRONTEND=noninteractive
    $SUDO apt-get update -q >/dev/null
    # Debian 12 calls the headless package -nogui; older releases -nox.
    for pkg in libreoffice-writer-nogui libreoffice-writer-nox libreoffice-writer; do
        if $SUDO apt-get install -y -q --no-install-recommends "$pkg" >/dev/null; then
            break
        fi
    done
    SOFFICE=$(find_soffice)
    if [ -z "$SOFFICE" ]; then
        echo "build-help: could not install LibreOffice Writer" >&2
        exit 1
    fi
fi

TMP=$(mktemp -d /tmp/kv4810g-help.XXXXXX)
trap 'rm -rf "$TMP"' EXIT

# A private profile, so a running LibreOffice or a user's settings do not interfere.
PROFILE="file://$TMP/profile"

# The HTML is read as a Writer text document (not Writer/Web) and saved as Word 97.
"$SOFFICE" -env:UserInstallation="$PROFILE" --headless --norestore \
    --infilter="HTML (StarWriter)" \
    --convert-to 'doc:MS Word 97' --outdir "$TMP/out" "$SRC" >"$TMP/soffice.log" 2>&1 || {
    cat "$TMP/soffice.log" >&2
    exit 1
}

if [ ! -s "$TMP/out/HELP.doc" ]; then
    echo "build-help: conversion produced no HELP.doc" >&2
    cat "$TMP/soffice.log" >&2
    exit 1
fi

mv -f "$TMP/out/HELP.doc" "$OUT"
echo "build-help: wrote $OUT"
