#!/usr/bin/env bash
# The tray as KDE Plasma, XFCE's status tray and GNOME's AppIndicator extension show it: a
# StatusNotifierItem on the session bus rather than an XEmbed window. On a private session bus
# with SniWatcher standing in for the desktop's watcher, the real quillbrook must register its
# item titled "Quillbrook" and open no fallback window; the host's Activate (what a click on the
# icon sends) opens the 320-wide panel at the pointer, since such hosts do not say where the icon
# is; Activate again closes it; a click on the icon (outside the panel) followed by its Activate
# leaves it closed. Screenshot and logs go into <output dir>.
#
# Usage: sni_e2e.sh <quillbrook> <ui-state probe library> <SniWatcher> <output dir>
# Exits 77 (skipped) when one of the tools is not installed.
set -uo pipefail

if [ "${1:-}" != --inside-bus ]; then
    for tool in dbus-run-session gdbus Xvfb xdotool xwininfo import; do
        if ! command -v "$tool" >/dev/null; then
            echo "SKIP: $tool is not installed (packages dbus-daemon libglib2.0-bin xvfb xdotool" \
                "x11-utils imagemagick)"
            exit 77
        fi
    done
    # A private session bus that ends with this script; the desktop's own bus is never touched.
    exec dbus-run-session -- bash "$0" --inside-bus "$@"
fi
shift

app=$(realpath "${1:?usage: sni_e2e.sh <quillbrook> <probe library> <SniWatcher> <output dir>}")
probe=$(realpath "${2:?}")
watcher=$(realpath "${3:?}")
out=${4:?}
mkdir -p "$out"
out=$(realpath "$out")

e2e_name=sni-e2e
# shellcheck source=xsession.sh
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_xvfb
step "Xvfb on $DISPLAY, session bus $DBUS_SESSION_BUS_ADDRESS"

"$watcher" >"$out/sni-e2e-watcher.log" 2>&1 &
pids+=($!)
wait_for 10 grep -qs '^READY$' "$out/sni-e2e-watcher.log" || fail "the watcher did not start"

home=$work/home
mkdir -p "$home/Desktop" "$home/.config/quillbrook" "$work/runtime"
chmod 700 "$work/runtime"
# A sanitizer build links its runtime dynamically, and that runtime must load before any other
# library: put it ahead of the probe. The sanitizer options pass through the clean environment.
preload=$(ldd "$app" | awk '$1 ~ /^lib(asan|ubsan)\.so/ { printf "%s:", $3 }')$probe
sanitizer_env=()
# libxkbcommon-x11 hands strndup a buffer without a terminating NUL, which strndup allows but
# strict_string_checks reports; it happens on every X connection, outside this project's code.
[ -n "${ASAN_OPTIONS:-}" ] && sanitizer_env+=("ASAN_OPTIONS=$ASAN_OPTIONS:strict_string_checks=0")
[ -n "${UBSAN_OPTIONS:-}" ] && sanitizer_env+=("UBSAN_OPTIONS=$UBSAN_OPTIONS")

state=$work/ui-state
env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/.config" \
    XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache" \
    XDG_RUNTIME_DIR="$work/runtime" DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" \
    DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 \
    LD_PRELOAD="$preload" "${sanitizer_env[@]}" QUILLBROOK_UI_STATE="$state" \
    "$app" >"$out/sni-e2e-quillbrook.log" 2>&1 &
app_pid=$!
pids+=($app_pid)

item_registered() { item=$(awk '/^ITEM / { print $2; exit }' "$out/sni-e2e-watcher.log") && [ -n "$item" ]; }
wait_for 15 item_registered || fail "the app registered no StatusNotifierItem"
step "item registered as $item"

property() {
    gdbus call --session --dest "$item" --object-path /StatusNotifierItem \
        --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$1"
}
title=$(property Title) || fail "cannot read the item's Title"
[ "$title" = "(<'Quillbrook'>,)" ] || fail "the item's Title is $title"
activate() {
    gdbus call --session --dest "$item" --object-path /StatusNotifierItem \
        --method org.kde.StatusNotifierItem.Activate "$1" "$2" >/dev/null
}

geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
        /^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {print x, y, w, h}'
}
window_of_width() {
    local id w
    for id in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
        read -r _ _ w _ <<<"$(geometry "$id")"
        [ "$w" = "$1" ] && { echo "$id"; return 0; }
    done
    return 1
}
popup_shown() { window_of_width 320 >/dev/null; }
popup_gone() { ! popup_shown; }

sleep 1
popup_gone || fail "a window opened although a tray host is there"
xdotool search --onlyvisible --name '^Quillbrook$' >/dev/null 2>&1 &&
    fail "the fallback window opened although a tray host is there"

# The host's icon sits in a panel at the top edge; a click there leaves the pointer on it.
icon_x=700
icon_y=5
xdotool mousemove $icon_x $icon_y

step "Activate opens the panel at the pointer"
activate $icon_x $icon_y || fail "Activate failed"
wait_for 5 popup_shown || fail "Activate did not open the panel"
read -r x y w h <<<"$(geometry "$(window_of_width 320)")"
step "panel at $x,$y size ${w}x$h"
[ "$x" -le $icon_x ] && [ $((x + w)) -ge $icon_x ] || fail "the panel is not under the pointer"
[ "$y" -ge $icon_y ] && [ "$y" -le $((icon_y + 40)) ] || fail "the panel top $y is not just below the pointer"
[ $((x + w)) -le 1024 ] && [ $((y + h)) -le 768 ] || fail "the panel leaves the screen"
import -window root "$out/sni-e2e-panel.png" || fail "no screenshot"

step "Activate again closes it"
sleep 0.6
activate $icon_x $icon_y
wait_for 5 popup_gone || fail "a second Activate did not close the panel"

step "a click on the icon, then its Activate, leaves it closed"
sleep 0.6
activate $icon_x $icon_y
wait_for 5 popup_shown || fail "the panel did not reopen"
sleep 0.6
xdotool click 1
activate $icon_x $icon_y
sleep 1
popup_gone || fail "the click on the icon closed the panel and its Activate reopened it"

echo "status notifier end-to-end: all checks passed; screenshot in $out"
