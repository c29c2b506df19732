#!/usr/bin/env bash
# Installs a built tree into a temporary prefix, as `cmake --install build --prefix ~/.local`
# would, and checks that a desktop finds everything under the one reverse-DNS name: programs,
# desktop entry, icons and AppStream metadata, each valid for the freedesktop.org tools.
# Usage: install_tree.sh <build dir>
set -euo pipefail

build=${1:?usage: install_tree.sh <build dir>}
id=org.quillbrook.Quillbrook
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix" >/dev/null

for path in \
    bin/quillbrook \
    bin/quillbrook-agentctl \
    share/applications/$id.desktop \
    share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/scalable/apps/$id.svg \
    share/icons/hicolor/scalable/apps/$id-symbolic.svg \
    share/doc/quillbrook/copyright; do
    [ -e "$prefix/$path" ] || fail "missing $path"
done
[ -x "$prefix/bin/quillbrook" ] || fail "bin/quillbrook is not executable"
[ -x "$prefix/bin/quillbrook-agentctl" ] || fail "bin/quillbrook-agentctl is not executable"

desktop=$prefix/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
grep -qx "Icon=$id" "$desktop" || fail "the desktop entry does not name the icon $id"
grep -qx "Name=Quillbrook" "$desktop" || fail "the desktop entry is not named Quillbrook"

metainfo=$prefix/share/metainfo/$id.metainfo.xml
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metadata does not launch $id.desktop"
# The whole tree as a software centre reads it: metadata, its desktop entry and the icon.
appstreamcli validate-tree --no-net "$prefix" || fail "appstreamcli rejects the installed tree"

for svg in "$prefix"/share/icons/hicolor/scalable/apps/*.svg; do
    head -c 512 "$svg" | grep -q '<svg' || fail "$svg is not an SVG image"
done

echo "install tree under $prefix: all files present and valid"
