#!/usr/bin/env bash
# Sets up a Debian 12 machine for Quillbrook, then
#   run       builds the app and starts it;
#   test      builds one tree and runs every test in it;
#   sanitize  builds the tests with AddressSanitizer and UndefinedBehaviorSanitizer and runs them,
#             then builds the fuzz targets and runs each for a bounded time.
# Installs only what is missing, through sudo when not root.
set -euo pipefail

mode=${1:-}
case "$mode" in
run | test | sanitize) ;;
*)
    echo "usage: $0 run|test|sanitize" >&2
    exit 2
    ;;
esac

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"

# What building and running needs (Qt's Wayland plugin too: many desktops are Wayland only; Qt's
# translation tools and its own catalogues for the user's language).
packages=(g++ cmake ninja-build qt6-base-dev libqt6svg6 qt6-svg-dev qt6-qpa-plugins qt6-wayland
    qt6-tools-dev qt6-l10n-tools qt6-translations-l10n fonts-dejavu-core)
# What the tests drive: the Trash and scheduler tools, the freedesktop.org and Debian checkers,
# an X server with a tray, a Wayland compositor with a bar, GNOME Shell with its AppIndicator
# extension, KDE Plasma, screenshot and input tools, and the accessibility bus with its Python
# client.
if [ "$mode" != run ]; then
    packages+=(trash-cli python3 systemd desktop-file-utils appstream dpkg-dev file lintian
        man-db xvfb trayer xdotool x11-utils imagemagick dbus-daemon libglib2.0-bin
        sway waybar wtype grim jq pkg-config libwayland-dev wayland-protocols util-linux
        gnome-shell gnome-shell-extension-appindicator kwin-wayland plasma-workspace plasma-desktop
        kactivitymanagerd kded5 qtwayland5 libkf5service-bin plasma-wayland-protocols python3-gi
        at-spi2-core python3-pyatspi dbus-bin)
fi
if [ "$mode" = sanitize ]; then
    packages+=(clang-14 libclang-rt-14-dev)
fi

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi

if [ "$mode" = sanitize ]; then
    # Both defined in CMakePresets.json, each in a build folder of its own.
    cd "$root"
    cmake --preset asan
    cmake --build --preset asan
    ctest --preset asan
    cmake --preset fuzz
    cmake --build --preset fuzz
    ctest --preset fuzz
    exit 0
fi

# Installed under /usr, as the Debian package is: the programs' fallback path comes from it.
# Optimised lightly and without debug information: that compiles about a quarter faster than
# RelWithDebInfo, and the sanitize command's Debug build is there for debugging.
cmake -G Ninja -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -DNDEBUG" \
    -DCMAKE_INSTALL_PREFIX=/usr
cmake --build "$build" -j2

if [ "$mode" = run ]; then
    exec "$build/quillbrook"
fi

ctest --test-dir "$build" --output-on-failure -j2
