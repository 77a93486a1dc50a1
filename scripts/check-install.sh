#!/usr/bin/env bash
# Installs a build into a fresh temporary prefix, as `cmake --install` would onto a system, and
# checks the result: every file in its freedesktop place, the desktop entry and the AppStream
# metainfo valid, and the installed programs running.
#   scripts/check-install.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: check-install.sh BUILD_DIR}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null

status=0
fail() { echo "check-install: $*" >&2; status=1; }
for file in bin/voxilo bin/voxilo-cli share/voxilo/Vx_lo.hlp \
            share/applications/voxilo.desktop share/metainfo/com.quorvel.Voxilo.metainfo.xml \
            share/icons/hicolor/scalable/apps/voxilo.svg share/man/man1/voxilo-cli.1.gz \
            share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/voxilo.png; do
    [ -s "$prefix/$file" ] || fail "$file is not installed"
done

desktop-file-validate "$prefix/share/applications/voxilo.desktop" || fail "the desktop entry is not valid"
appstreamcli validate --no-net --explain "$prefix/share/metainfo/com.quorvel.Voxilo.metainfo.xml" ||
    fail "the metainfo is not valid"
zcat "$prefix/share/man/man1/voxilo-cli.1.gz" | grep -q '^\.TH VOXILO-CLI 1' || fail "the man page is not one"

for program in voxilo voxilo-cli; do
    version=$("$prefix/bin/$program" --version) || fail "$program --version failed"
    [ "$version" = "$program $(cat "$build/version.txt")" ] || fail "$program --version says '$version'"
done
[ $status -eq 0 ] && echo "check-install: the installed layout is complete and valid"
exit $status
