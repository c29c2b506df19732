#!/usr/bin/env bash
# The interactive road on a real X server: Xvfb, Debian's trayer as the XEmbed tray host, the
# real quillbrook in a temporary HOME, and xdotool clicking like a user. Checks that the icon
# docks, that a click opens the 320-wide panel below it, that a second click and a click outside
# close it, that "Preview" shows the "Would trash now:" line, that the autostart entry written at
# start is valid, and that without a tray host the panel comes up in its own window titled
# "Quillbrook" whose "Quit" ends the app. Screenshots and logs go into <output dir>.
#
# The panel's widgets are not X windows: UiStateProbe (preloaded, see there) reports where the
# "Preview" button is and what the preview line says.
#
# Usage: tray_e2e.sh <quillbrook> <ui-state probe library> <output dir>
# Exits 77 (skipped) when one of the X tools is not installed.
set -uo pipefail

app=${1:?usage: tray_e2e.sh <quillbrook> <probe library> <output dir>}
probe=${2:?usage: tray_e2e.sh <quillbrook> <probe library> <output dir>}
out=${3:?usage: tray_e2e.sh <quillbrook> <probe library> <output dir>}
app=$(realpath "$app")
probe=$(realpath "$probe")
mkdir -p "$out"
out=$(realpath "$out")

for tool in Xvfb trayer xdotool xwininfo import convert desktop-file-validate; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (packages xvfb trayer xdotool x11-utils imagemagick" \
            "desktop-file-utils)"
        exit 77
    fi
done

e2e_name=tray-e2e
# shellcheck source=xsession.sh
source "$(dirname "${BASH_SOURCE[0]}")/xsession.sh"
start_xvfb
step "Xvfb on $DISPLAY"
# Some xdotool commands need a mapped root-level window to talk to; a plain background will do.
xdotool mousemove 0 0 || fail "cannot talk to $DISPLAY"

# --- A temporary HOME: a Desktop with screenshots, and a zero-hour age limit so that files made
# a moment ago already count. Nothing here may reach the real home, session bus or scheduler.
home=$work/home
mkdir -p "$home/Desktop" "$home/.config/quillbrook" "$home/.local/share" "$home/.cache" \
    "$work/runtime"
chmod 700 "$work/runtime"
printf '[General]\nageValue=0\nageUnit=Hours\n' >"$home/.config/quillbrook/quillbrook.conf"
for name in "Screenshot 2026-11-30 at 09.12.44.png" "Screenshot 2026-12-01 at 17.03.10.png" \
    "Screen Shot 2026-12-02 at 08.00.00.jpg" "holiday.png" "notes.txt"; do
    printf 'x' >"$home/Desktop/$name"
done
sleep 1

# A sanitizer build links its runtime dynamically, and that runtime must load before any other
# library: put it ahead of the probe. The sanitizer options pass through the clean environment.
preload=$(ldd "$app" | awk '$1 ~ /^lib(asan|ubsan)\.so/ { printf "%s:", $3 }')$probe
sanitizer_env=()
# libxkbcommon-x11 hands strndup a buffer without a terminating NUL, which strndup allows but
# strict_string_checks reports; it happens on every X connection, outside this project's code.
[ -n "${ASAN_OPTIONS:-}" ] && sanitizer_env+=("ASAN_OPTIONS=$ASAN_OPTIONS:strict_string_checks=0")
[ -n "${UBSAN_OPTIONS:-}" ] && sanitizer_env+=("UBSAN_OPTIONS=$UBSAN_OPTIONS")

run_app() { # run_app <state file> <log file>
    env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/.config" \
        XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache" \
        XDG_RUNTIME_DIR="$work/runtime" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" \
        DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb LANG=C.UTF-8 \
        LD_PRELOAD="$preload" "${sanitizer_env[@]}" QUILLBROOK_UI_STATE="$1" \
        "$app" >"$2" 2>&1 &
    app_pid=$!
    pids+=($app_pid)
}

# widget <object name>: the probe's line for a visible widget ("" when not shown).
widget() { awk -F'\t' -v name="$1" '$3 == name { print; exit }' "$state" 2>/dev/null; }
shown() { [ -n "$(widget "$1")" ]; }
hidden() { [ -z "$(widget "$1")" ]; }
# click_widget <object name>: a real pointer click in the middle of the widget.
click_widget() {
    local line x y w h
    line=$(widget "$1")
    [ -n "$line" ] || fail "$1 is not shown"
    read -r x y w h <<<"$(awk -F'\t' '{ print $4, $5, $6, $7 }' <<<"$line")"
    xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
}

# geometry <window id>: "x y width height" on the screen.
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
        /^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {print x, y, w, h}'
}
# visible_windows: ids of the app's viewable windows.
visible_windows() { xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null; }
# window_of_width <width>: the app's viewable window of that width, if any.
window_of_width() {
    local id
    for id in $(visible_windows); do
        read -r _ _ w _ <<<"$(geometry "$id")"
        [ "$w" = "$1" ] && { echo "$id"; return 0; }
    done
    return 1
}
# A process that ended stays a zombie until it is waited for.
app_ended() {
    local stat
    stat=$(ps -o stat= -p "$app_pid" 2>/dev/null)
    [ -z "$stat" ] || [[ $stat == Z* ]]
}
popup_shown() { window_of_width 320 >/dev/null; }
popup_gone() { ! popup_shown && hidden contentView; }

# --- The tray host, docked at the top right like an ordinary panel.
trayer --edge top --align right --widthtype request --height 28 --SetDockType true \
    --SetPartialStrut true --transparent false --tint 0x303030 >"$out/tray-e2e-trayer.log" 2>&1 &
trayer_pid=$!
pids+=($trayer_pid)
wait_for 10 xdotool search --onlyvisible --name '^panel$' >/dev/null ||
    wait_for 5 xdotool search --onlyvisible --class trayer >/dev/null ||
    fail "trayer did not show its panel"
step "trayer is running"

state=$work/ui-state-tray
run_app "$state" "$out/tray-e2e-quillbrook.log"

# The docked icon: the app's small viewable window inside trayer.
icon_id=
find_icon() {
    local id
    for id in $(visible_windows); do
        read -r x y w h <<<"$(geometry "$id")"
        if [ "$w" -le 64 ] && [ "$h" -le 64 ]; then
            icon_id=$id
            icon_geometry="$x $y $w $h"
            return 0
        fi
    done
    return 1
}
wait_for 15 find_icon || fail "the tray icon did not dock in trayer"
read -r icon_x icon_y icon_w icon_h <<<"$icon_geometry"
step "icon docked: window $icon_id at $icon_x,$icon_y size ${icon_w}x$icon_h"
# The tray's first paint and the app's start-up work settle before the first click.
sleep 1

click_icon() { xdotool mousemove $((icon_x + icon_w / 2)) $((icon_y + icon_h / 2)) click 1; }

check_popup_placement() {
    local id x y w h centre
    id=$(window_of_width 320) || fail "no 320-wide panel window"
    read -r x y w h <<<"$(geometry "$id")"
    step "panel at $x,$y size ${w}x$h"
    [ "$w" -eq 320 ] || fail "panel is $w wide, not 320"
    [ "$y" -ge $((icon_y + icon_h - 1)) ] || fail "panel top $y is not below the icon (bottom $((icon_y + icon_h)))"
    [ "$y" -le $((icon_y + icon_h + 16)) ] || fail "panel top $y is far below the icon"
    centre=$((icon_x + icon_w / 2))
    [ "$x" -le "$centre" ] && [ $((x + w)) -ge "$centre" ] ||
        fail "panel $x..$((x + w)) is not under the icon at $centre"
    [ $((x + w)) -le 1024 ] && [ $((y + h)) -le 768 ] && [ "$x" -ge 0 ] ||
        fail "panel leaves the screen"
}

step "first click on the icon opens the panel"
click_icon
wait_for 5 popup_shown || fail "the panel did not open on a click on the icon"
wait_for 5 shown previewButton || fail "the probe does not see the panel"
check_popup_placement

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

step "\"Preview\" shows the \"Would trash now:\" line"
click_icon
wait_for 5 popup_shown || fail "the panel did not open for the preview"
wait_for 5 shown previewButton || fail "the probe does not see the panel"
hidden previewLine || fail "a fresh panel already shows a preview line"
click_widget previewButton
wait_for 5 shown previewValue || fail "no preview line after clicking Preview"
grep -qP '\tWould trash now:$' "$state" || fail "the preview line has no \"Would trash now:\" label"
preview=$(widget previewValue | cut -f8)
step "Would trash now: $preview"
[ "$preview" = "3 screenshots" ] || fail "preview says '$preview', expected '3 screenshots'"
[ "$(ls "$home/Desktop" | wc -l)" -eq 5 ] || fail "Preview moved files"
sleep 0.3
import -window root "$out/tray-e2e-panel.png" || fail "no screenshot of the screen"
# Cut from the screen: grabbing the popup's own window fights the popup's pointer grab.
popup_id=$(window_of_width 320) || fail "the panel closed on its own"
read -r x y w h <<<"$(geometry "$popup_id")"
convert "$out/tray-e2e-panel.png" -crop "${w}x$h+$x+$y" +repage "$out/tray-e2e-popup.png" ||
    fail "no picture of the panel"
step "screenshots: $out/tray-e2e-panel.png, $out/tray-e2e-popup.png"

# --- Start at login, registered at start because the store says nothing against it.
autostart=$home/.config/autostart/quillbrook.desktop
if grep -q '^launchAtLogin=false' "$home/.config/quillbrook/quillbrook.conf"; then
    fail "launchAtLogin was switched off behind the test's back"
fi
[ -f "$autostart" ] || fail "no autostart entry after start"
cp "$autostart" "$out/tray-e2e-autostart.desktop"
desktop-file-validate "$autostart" || fail "desktop-file-validate rejects the autostart entry"
grep -qx 'Name=Quillbrook' "$autostart" || fail "the autostart entry is not named Quillbrook"
grep -qx 'Icon=org.quillbrook.Quillbrook' "$autostart" ||
    fail "the autostart entry does not use the icon org.quillbrook.Quillbrook"

kill "$app_pid"
wait "$app_pid" 2>/dev/null
kill "$trayer_pid"
wait "$trayer_pid" 2>/dev/null
wait_for 5 bash -c '! xdotool search --onlyvisible --class trayer >/dev/null 2>&1' ||
    fail "trayer did not go away"

# --- No tray host: the panel must come up in its own window.
step "without a tray host the panel opens in a window titled Quillbrook"
state=$work/ui-state-window
run_app "$state" "$out/tray-e2e-quillbrook-notray.log"
find_fallback() { fallback_id=$(xdotool search --onlyvisible --name '^Quillbrook$' | head -n 1) &&
    [ -n "$fallback_id" ]; }
wait_for 15 find_fallback || fail "no window titled Quillbrook without a tray host"
wait_for 5 shown previewButton || fail "the window does not hold the panel"
read -r x y w h <<<"$(geometry "$fallback_id")"
step "window at $x,$y size ${w}x$h"
[ "$w" -eq 320 ] || fail "the window is $w wide, not 320"
sleep 0.3
import -window root "$out/tray-e2e-window.png" || fail "no screenshot of the screen"

step "\"Quit\" in the window ends the app"
click_widget quitButton
wait_for 5 app_ended || fail "Quit did not end the app"
wait "$app_pid"
status=$?
[ "$status" -eq 0 ] || fail "the app ended with status $status after Quit"

echo "tray end-to-end: all checks passed; screenshots in $out"
