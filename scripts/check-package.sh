#!/usr/bin/env bash
# Builds the desk's Debian package from a build folder and checks it: its files and metadata
# (dpkg-deb), lintian's verdict (no error or warning tag), and where an install from source puts the autostart
# entry. Usage: scripts/check-package.sh BUILD-DIR
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "package: $*" >&2; status=1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log" >&2; exit 1; }
deb=$(ls "$work"/out/orvane_*_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { echo "package: no orvane_<version>_<arch>.deb" >&2; exit 1; }

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for file in ./usr/bin/orvane ./usr/bin/orvane-send ./usr/bin/orvane-desk ./usr/bin/orvane-browser-host \
    ./usr/bin/orvane-browser-setup ./usr/bin/vfddisp ./usr/bin/orvane-display \
    ./usr/share/applications/orvane.desktop ./etc/xdg/autostart/orvane.desktop \
    ./usr/share/orvane/extension/manifest.json ./usr/share/orvane/extension/background.js \
    ./usr/share/orvane/extension/managed-schema.json ./usr/share/orvane/extension/result.js \
    ./usr/share/orvane/web/orvane.js ./usr/share/orvane/web/test.html \
    ./usr/share/orvane/firefox/user.js ./usr/share/orvane/firefox/orvane.js \
    ./usr/share/doc/orvane/README.md ./usr/share/doc/orvane/copyright ./usr/share/doc/orvane/changelog.gz \
    ./usr/share/man/man1/orvane.1.gz ./usr/share/man/man1/orvane-browser-setup.1.gz ./usr/share/man/man1/vfddisp.1.gz; do
    grep -qxF "$file" <<<"$contents" || fail "$file is missing"
done
grep -vE '^\./(usr|etc)/' <<<"$contents" | grep -q . && fail "files outside /usr and /etc: $(grep -vE '^\./(usr|etc)/' <<<"$contents" | head -n 3)"
depends=$(dpkg-deb -f "$deb" Depends)
for package in fonts-ipafont-gothic xdg-utils zip libqt6core6 libqt6sql6-sqlite libcups2 libssl3; do
    grep -q "$package" <<<"$depends" || fail "Depends lacks $package: $depends"
done
[ "$(dpkg-deb -f "$deb" Recommends)" = cups ] || fail "cups is not recommended"
dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles | grep -qx /etc/xdg/autostart/orvane.desktop ||
    fail "the autostart entry is not a conffile"
if file -L "$build/src/orvane" >/dev/null && dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/bin/orvane > "$work/orvane" &&
    file "$work/orvane" | grep -q "not stripped"; then
    fail "binaries are not stripped"
fi
errors=$(lintian --allow-root "$deb" 2>/dev/null | grep -E '^(E|W):' || true)
[ -z "$errors" ] || fail "lintian: $errors"

# An install from source: a private prefix keeps every file inside; the system prefixes put the
# autostart entry where sessions read it (under DESTDIR here).
cmake --install "$build" --prefix "$work/private" >/dev/null
outside=$(grep -v "^$work/private/" "$build/install_manifest.txt" || true)
[ -z "$outside" ] || fail "cmake --install --prefix wrote outside the prefix: $outside"
[ -f "$work/private/etc/xdg/autostart/orvane.desktop" ] || fail "no autostart entry inside the private prefix"
DESTDIR="$work/root" cmake --install "$build" --prefix /usr/local >/dev/null
[ -f "$work/root/etc/xdg/autostart/orvane.desktop" ] || fail "prefix /usr/local: the autostart entry is not in /etc/xdg/autostart"
[ -x "$work/root/usr/local/bin/orvane-desk" ] || fail "prefix /usr/local: orvane-desk is not in /usr/local/bin"

[ "$status" -eq 0 ] && echo "package: $(basename "$deb") holds every program, its metadata and conffile; lintian reports no error and no warning"
exit "$status"
