#!/usr/bin/env bash
# Sets up a Debian 12 machine for Quillbrook, builds it, then starts the app ("run") or runs
# every test ("test"). Installs only what is missing; uses sudo when not root.
set -euo pipefail

mode=${1:-}
case "$mode" in
run | test) ;;
*)
    echo "usage: $0 run|test" >&2
    exit 2
    ;;
esac

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"

# What building and running needs, then what only the tests need.
packages=(g++ cmake ninja-build qt6-base-dev libqt6svg6 qt6-svg-dev qt6-qpa-plugins
    fonts-dejavu-core)
if [ "$mode" = test ]; then
    packages+=(trash-cli python3 systemd desktop-file-utils appstream dpkg-dev file xvfb trayer
        xdotool x11-utils imagemagick dbus-daemon libglib2.0-bin clang-14 libclang-rt-14-dev)
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

cmake -G Ninja -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j2

if [ "$mode" = run ]; then
    exec "$build/quillbrook"
fi

ctest --test-dir "$build" --output-on-failure -j2

# The tests again, built with AddressSanitizer and UndefinedBehaviorSanitizer, then each fuzz
# target for a bounded time (both defined in CMakePresets.json, each in a build folder of its own).
cd "$root"
cmake --preset asan
cmake --build --preset asan
ctest --preset asan
cmake --preset fuzz
cmake --build --preset fuzz
ctest --preset fuzz
