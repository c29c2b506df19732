#!/usr/bin/env bash
# The app on a real Wayland compositor: sway on a headless output, waybar's tray as the
# StatusNotifierItem host, and the seat's cursor clicking like a user. A click on the icon opens
# the panel as a floating, focused window, which is in the accessibility tree; a click on the
# desktop closes it, a click inside it not.
# Usage: wayland_e2e.sh <quillbrook> <output dir> <input client>
# Exits 77 (skipped) when a tool is missing or sway cannot run here.
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
pointer=${3:-}
[ -x "$pointer" ] || skip "no input client (needs libwayland-dev and plasma-wayland-protocols when configuring)"
needs "sway waybar grim jq libglib2.0-bin dbus-daemon" sway swaymsg waybar grim jq gdbus dbus-run-session
compgen -G '/usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so' >/dev/null ||
    skip "Qt's Wayland platform plugin is not installed (package qt6-wayland)"
user_session "$@"
make_home
cat >"$work/sway.conf" <<CONF
output HEADLESS-1 resolution 1024x768 position 0 0
focus_follows_mouse no
CONF
# Sway's runtime folder, the app's too, in the work folder.
export XDG_RUNTIME_DIR=$work/runtime SWAYSOCK WAYLAND_DISPLAY
WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=1 WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    HOME="$home" sway --config "$work/sway.conf" >"$out/wayland-e2e-sway.log" 2>&1 &
pids+=($!)
wait_for 10 eval 'SWAYSOCK=$(compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock") &&
    WAYLAND_DISPLAY=$(cd "$XDG_RUNTIME_DIR" && compgen -G "wayland-[0-9]") &&
    swaymsg -t get_version >/dev/null 2>&1' ||
    skip "sway cannot run here: $(tail -n 3 "$out/wayland-e2e-sway.log")"
step "sway on $WAYLAND_DISPLAY"

"$pointer" hold >"$out/wayland-e2e-pointer.log" 2>&1 &
pids+=($!)
wait_for 5 grep -q READY "$out/wayland-e2e-pointer.log" || fail "no virtual pointer"

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

start_screen_reader_bus || skip "no accessibility bus or pyatspi (at-spi2-core, python3-pyatspi)"

step "the icon reaches waybar's tray"
run_app "$out/wayland-e2e-quillbrook.log" WAYLAND_DISPLAY="$WAYLAND_DISPLAY" \
    QT_QPA_PLATFORM=wayland DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS"
wait_for 15 eval 'watcher RegisteredStatusNotifierItems | grep -q Item' ||
    fail "no item registered with waybar's tray"
sleep 1
screenshot "$out/wayland-e2e-tray.png"
panel_gone || fail "a window opened although a tray host is there"

step "a click on the icon opens the panel: floating, focused, on the output"
click 10 13
opened "a click on the icon"
[ "$(panel | jq -r .type)" = floating_con ] && [ "$w" -eq 320 ] ||
    fail "the panel is not a floating 320-wide window"
sleep 0.3
screenshot "$out/wayland-e2e-panel.png"
step "the panel and every control are in the accessibility tree"
walk en window

# The icon's second click and Escape are checked on KDE, whose tray sends the same Activate.
step "a click inside the panel leaves it open; a click on the desktop closes it"
click $((x + w / 2)) $((y + 20))
sleep 0.7
[ -n "$(panel)" ] || fail "a click inside the panel closed it"
click 1000 740
wait_for 5 panel_gone || fail "a click on the desktop did not close the panel"

echo "Wayland end-to-end: all checks passed; screenshots in $out"
