#!/usr/bin/env bash
# Builds the Debian package from a built tree with cpack and checks its dependencies and
# contents; lintian, appstreamcli and desktop-file-validate find nothing to report in it, and its
# manual pages read whole at 80 columns. The tree must be configured with
# -DCMAKE_INSTALL_PREFIX=/usr. (The desktop shells' end-to-end tests install the build as
# `cmake --install --prefix ~/.local` does; tst_headless runs the program.)
# Usage: deb_package.sh <quillbrook in the build dir> <output dir>
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
set -e
build=$(dirname "$app")

# The programs fall back to the configured bin folder; in the package that is /usr/bin.
prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
[ "$prefix" = /usr ] || fail "configured for $prefix: a package needs -DCMAKE_INSTALL_PREFIX=/usr"

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" >"$out/deb-package-cpack.log" 2>&1 ||
    fail "cpack -G DEB failed"
deb=$(compgen -G "$work/out/quillbrook_*.deb") || fail "cpack made no quillbrook_*.deb"
step "package: $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
step "Depends: $depends"
# Taken from the linked libraries by dpkg-shlibdeps, not written by hand, plus Qt's plugins.
for library in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 qt6-wayland; do
    [[ ", $depends" == *", $library "* || ", $depends" == *", $library," ]] ||
        fail "Depends lacks $library"
done

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for path in ./usr/bin/quillbrook ./usr/bin/quillbrook-agentctl \
    ./usr/share/applications/org.quillbrook.Quillbrook.desktop \
    ./usr/share/metainfo/org.quillbrook.Quillbrook.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/org.quillbrook.Quillbrook.svg \
    ./usr/share/icons/hicolor/scalable/apps/org.quillbrook.Quillbrook-symbolic.svg \
    ./usr/share/doc/quillbrook/copyright ./usr/share/doc/quillbrook/changelog.gz \
    ./usr/share/man/man1/quillbrook.1.gz ./usr/share/man/man1/quillbrook-agentctl.1.gz; do
    grep -qxF "$path" <<<"$contents" || fail "the package lacks $path"
done
# Debian's own checker, as a reviewer would run it: no error and no warning.
lintian --fail-on error,warning "$deb" >"$out/deb-package-lintian.log" 2>&1 ||
    fail "lintian finds errors or warnings"
# The metadata, its desktop entry and the icon as a software centre reads them.
dpkg-deb -x "$deb" "$work/root"
desktop-file-validate "$work/root/usr/share/applications/org.quillbrook.Quillbrook.desktop" ||
    fail "desktop-file-validate rejects the desktop entry"
appstreamcli validate-tree --no-net "$work/root" >"$out/deb-package-appstream.log" 2>&1 ||
    fail "appstreamcli rejects the package's tree"
# Paths, unit names and options must come out whole for copy and paste: no word broken by a hyphen.
for page in "$work"/root/usr/share/man/man1/*.1.gz; do
    rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page") || fail "man cannot render $page"
    # In UTF-8 whatever the caller's locale: elsewhere grep refuses the pattern, which is no pass.
    found=0
    LC_ALL=C.UTF-8 grep -nP '[[:alnum:]][\x{2010}-]$' <<<"$rendered" || found=$?
    case $found in
    0) fail "$(basename "$page"): a word broken at the end of a line" ;;
    1) ;;
    *) fail "grep cannot search $(basename "$page")" ;;
    esac
done

echo "the package is valid"
