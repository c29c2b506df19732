#!/usr/bin/env bash
# The app on a real Wayland compositor: sway on a headless output, waybar's tray as the
# StatusNotifierItem host, and the seat's cursor clicking like a user. A click on the icon opens
# the panel as a floating, focused window, which is in the accessibility tree (where pyatspi is
# installed); a second click, a click on the desktop and Escape close it, a click inside it or
# Escape in an open drop-down not.
# Usage: wayland_e2e.sh <quillbrook> <output dir> <input client>
# Exits 77 (skipped) when a tool is missing or sway cannot run here.
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
pointer=${3:-}
[ -x "$pointer" ] || skip "no input client (needs libwayland-dev and plasma-wayland-protocols when configuring)"
needs "sway waybar wtype grim jq libglib2.0-bin dbus-daemon" sway swaymsg waybar wtype grim jq gdbus dbus-run-session
compgen -G '/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so' >/dev/null ||
    skip "Qt's Wayland platform plugin is not installed (package qt6-wayland)"
user_session "$@"
make_home
cat >"$work/sway.conf" <<CONF
output HEADLESS-1 resolution 1024x768 position 0 0
focus_follows_mouse no
CONF
start_sway "$work/sway.conf" || skip "sway cannot run here: $(tail -n 3 "$out/wayland-e2e-sway.log")"
step "sway on $WAYLAND_DISPLAY"

"$pointer" hold >"$out/wayland-e2e-pointer.log" 2>&1 &
pids+=($!)
wait_for 5 grep -q READY "$out/wayland-e2e-pointer.log" || fail "no virtual pointer"
# Each wtype adds a keyboard and removes it when it ends; this one stays, so that removing a
# short-lived one never leaves the seat without a keyboard (and the panel without the focus).
wtype -s 600000 >/dev/null 2>&1 &
pids+=($!)

echo '{"position": "top", "height": 26, "modules-left": ["tray"], "tray": {"icon-size": 20}}' >"$work/waybar.json"
echo '* { margin: 0; padding: 0; min-height: 0; } window#waybar { background: #303040; }' >"$work/waybar.css"
HOME=$home waybar -c "$work/waybar.json" -s "$work/waybar.css" >"$out/wayland-e2e-waybar.log" 2>&1 &
pids+=($!)
wait_for 15 eval 'watcher IsStatusNotifierHostRegistered | grep -q true' || fail "waybar's tray did not come up"

# windows: the app's mapped windows in sway's tree.
windows() {
    swaymsg -t get_tree | jq -c --argjson pid "$app_pid" 'recurse(.nodes[]?, .floating_nodes[]?) |
        select(.pid == $pid and .visible) | {title: .name, x: .rect.x, y: .rect.y, w: .rect.width,
        h: .rect.height, focus: .focused, app: .app_id, type}'
}
click() { swaymsg -q "seat seat0 cursor set $1 $2; seat - cursor press button1; seat - cursor release button1"; }
screen=(1024 768) entry=org.quillbrook.Quillbrook

start_screen_reader_bus && atspi=true || atspi=false

step "the icon reaches waybar's tray"
run_app "$out/wayland-e2e-quillbrook.log" WAYLAND_DISPLAY="$WAYLAND_DISPLAY" \
    QT_QPA_PLATFORM=wayland DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS"
wait_for 15 eval 'watcher RegisteredStatusNotifierItems | grep -q Item' ||
    fail "no item registered with waybar's tray"
sleep 1
screenshot "$out/wayland-e2e-tray.png"
panel_gone || fail "a window opened although a tray host is there"
click_icon() { click 10 13 || fail "cannot click"; }
# reopen: after the panel closed, a click on the icon, past the guard against close-and-reopen.
reopen() { sleep 0.5 && click_icon && wait_for 5 panel_shown || fail "the panel did not reopen"; }

step "a click on the icon opens the panel: floating, focused, on the output"
click_icon
opened "a click on the icon"
[ "$(panel | jq -r .type)" = floating_con ] && [ "$w" -eq 320 ] ||
    fail "the panel is not a floating 320-wide window"
sleep 0.3
screenshot "$out/wayland-e2e-panel.png"
if $atspi; then
    step "the panel and every control are in the accessibility tree"
    walk en window
fi

step "a second click on the icon closes it"
click_icon
wait_for 5 panel_gone || fail "a second click on the icon did not close the panel"
sleep 1
panel_gone || fail "the panel reopened after the second click"

step "a click inside the panel leaves it open; a click on the desktop closes it"
reopen
click $((x + w / 2)) $((y + 20))
sleep 0.7
panel_shown || fail "a click inside the panel closed it"
click 1000 740
wait_for 5 panel_gone || fail "a click on the desktop did not close the panel"

step "Escape in an open drop-down closes only the drop-down; Escape again closes the panel"
reopen
sleep 0.3
wtype -k Tab -M alt -k Down -m alt -s 500 -k Escape
sleep 0.7
panel_shown || fail "Escape in the drop-down closed the panel"
wtype -k Escape
wait_for 5 panel_gone || fail "Escape did not close the panel"

echo "Wayland end-to-end: all checks passed; screenshots in $out"
