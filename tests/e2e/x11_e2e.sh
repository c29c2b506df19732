#!/usr/bin/env bash
# The interactive road on a real X server: Xvfb, Debian's trayer as the XEmbed tray host, the
# real quillbrook in a temporary HOME, and xdotool clicking like a user. Checks that the icon
# docks, that a click opens the 320-wide panel below it, without a close button and with the
# desktop entry's class, that a second click and a click outside close it, that a right click
# shows the tray menu, that "Preview" shows the "Would trash now:" line, that the autostart entry
# is written at start, and that without a tray host the panel comes up in its own window titled
# "Quillbrook" whose "Quit" ends the app. Screenshots and logs go into <output dir>.
# The panel's widgets are not X windows: UiStateProbe (preloaded) reports where they are.
# Usage: x11_e2e.sh <quillbrook> <ui-state probe library> <output dir>
# Exits 77 (skipped) when one of the X tools is not installed.
set -uo pipefail

usage="usage: x11_e2e.sh <quillbrook> <probe library> <output dir>"
app=$(realpath "${1:?$usage}") probe=$(realpath "${2:?$usage}") out=${3:?$usage}
mkdir -p "$out" && out=$(realpath "$out")

for tool in Xvfb trayer xdotool xwininfo xprop import; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (packages xvfb" \
        "trayer xdotool x11-utils imagemagick)"; exit 77; }
done

e2e_name=x11-e2e
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
start_xvfb
xdotool mousemove 0 0 || fail "cannot talk to $DISPLAY"

make_home
sleep 1
preload=$(ldd "$app" | awk '$1 ~ /^lib(asan|ubsan)\.so/ { printf "%s:", $3 }')$probe
start_app() { # start_app <state file> <log file>
    run_app "$2" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" DISPLAY="$DISPLAY" \
        QT_QPA_PLATFORM=xcb LD_PRELOAD="$preload" QUILLBROOK_UI_STATE="$1"
}

# widget <object name>: the probe's line for a visible widget ("" when not shown).
widget() { awk -F'\t' -v name="$1" '$3 == name { print; exit }' "$state" 2>/dev/null; }
shown() { [ -n "$(widget "$1")" ]; }
hidden() { [ -z "$(widget "$1")" ]; }
# click_widget <object name>: a real pointer click in the middle of the widget.
click_widget() {
    local x y w h
    read -r x y w h < <(widget "$1" | cut -f4-7 --output-delimiter=' ')
    [ -n "$h" ] || fail "$1 is not shown"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
}

window_of_width() { # the app's viewable window of that width, if any
    local id
    for id in $(visible_windows); do
        read -r _ _ w _ <<<"$(geometry "$id")"
        [ "$w" = "$1" ] && { echo "$id"; return 0; }
    done
    return 1
}
popup_shown() { window_of_width 320 >/dev/null; }
popup_gone() { ! popup_shown && hidden contentView; }

# --- The tray host.
start_trayer

state=$work/ui-state-tray
start_app "$state" "$out/x11-e2e-quillbrook.log"

wait_for 15 find_icon || fail "the tray icon did not dock in trayer"
step "icon docked at $icon_x,$icon_y size ${icon_w}x$icon_h"
sleep 1 # the tray's first paint and the app's start-up settle before the first click

step "first click on the icon opens the panel, 320 wide, under the icon, on the screen"
click_icon
wait_for 5 popup_shown || fail "the panel did not open on a click on the icon"
wait_for 5 shown previewButton || fail "the probe does not see the panel"
hidden closeButton || fail "the popup, which any click outside closes, shows a close button"
popup_id=$(window_of_width 320)
read -r x y w h <<<"$(geometry "$popup_id")"
step "panel at $x,$y size ${w}x$h"
# Desktops tie X11 windows to their entry by the class.
class=$(xprop -id "$popup_id" WM_CLASS | sed -E 's/.*, "(.*)"$/\1/')
grep -qx "StartupWMClass=$class" "$(dirname "${BASH_SOURCE[0]}")/../../data/org.quillbrook.Quillbrook.desktop" ||
    fail "the desktop entry does not name the window's class $class"
centre=$((icon_x + icon_w / 2))
[ "$y" -ge $((icon_y + icon_h - 1)) ] && [ "$y" -le $((icon_y + icon_h + 16)) ] ||
    fail "panel top $y is not just below the icon (bottom $((icon_y + icon_h)))"
[ "$x" -le "$centre" ] && [ $((x + w)) -ge "$centre" ] || fail "the panel is not under the icon"
[ "$x" -ge 0 ] && [ $((x + w)) -le 1024 ] && [ $((y + h)) -le 768 ] || fail "panel leaves the screen"

step "second click on the icon closes it"
sleep 0.6
click_icon
wait_for 5 popup_gone || fail "a second click on the icon did not close the panel"
sleep 1
popup_gone || fail "the panel reopened after the second click"

step "a click opens it again, a click outside closes it"
click_icon
wait_for 5 popup_shown || fail "the panel did not reopen"
sleep 0.6
xdotool mousemove 150 600 click 1
wait_for 5 popup_gone || fail "a click outside did not close the panel"
sleep 0.6

step "a right click on the icon shows the tray menu, Escape closes it"
xdotool mousemove $((icon_x + icon_w / 2)) $((icon_y + icon_h / 2)) click 3
wait_for 5 shown trayMenu || fail "a right click on the icon showed no menu"
xdotool key Escape
wait_for 5 hidden trayMenu || fail "Escape did not close the menu"

step "\"Preview\" shows the \"Would trash now:\" line"
click_icon
wait_for 5 popup_shown || fail "the panel did not open for the preview"
wait_for 5 shown previewButton || fail "the probe does not see the panel"
hidden previewLine || fail "a fresh panel already shows a preview line"
click_widget previewButton
wait_for 5 shown previewValue || fail "no preview line after clicking Preview"
grep -qP '\tWould trash now:$' "$state" || fail "the preview line has no \"Would trash now:\" label"
preview=$(widget previewValue | cut -f8)
[ "$preview" = "3 screenshots" ] || fail "preview says '$preview', expected '3 screenshots'"
sleep 0.3
screenshot "$out/x11-e2e-panel.png"
# Registered at start, because the store says nothing against it.
[ -f "$home/.config/autostart/quillbrook.desktop" ] || fail "no autostart entry after start"

kill "$app_pid" "$trayer_pid"
wait "$app_pid" "$trayer_pid"

# --- No tray host: the panel must come up in its own window.
step "without a tray host the panel opens in a window titled Quillbrook"
state=$work/ui-state-window
start_app "$state" "$out/x11-e2e-quillbrook-notray.log"
wait_for 15 eval 'fallback_id=$(xdotool search --onlyvisible --name "^Quillbrook$" | head -n 1) &&
    [ -n "$fallback_id" ]' || fail "no window titled Quillbrook without a tray host"
wait_for 5 shown previewButton || fail "the window does not hold the panel"
read -r x y w h <<<"$(geometry "$fallback_id")"
step "window at $x,$y size ${w}x$h"
[ "$w" -eq 320 ] || fail "the window is $w wide, not 320"
screenshot "$out/x11-e2e-window.png"

step "\"Quit\" in the window ends the app"
click_widget quitButton
quits Quit

echo "X11 end-to-end: all checks passed; screenshots in $out"
