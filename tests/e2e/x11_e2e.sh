#!/usr/bin/env bash
# The app on a real X server, as a user and a screen reader meet it: Xvfb, trayer as the XEmbed
# tray, a session bus with its accessibility bus on. A click on the icon opens the popup just
# under it, with the desktop entry's window class; atspi_walk.py reads and drives the panel, in
# English from the tray, and in German without a tray host, where the panel has a window.
# Usage: x11_e2e.sh <quillbrook> <output dir>; exits 77 (skipped) when a tool is missing.
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
needs "xvfb trayer xdotool x11-utils imagemagick dbus-daemon dbus-bin" \
    Xvfb trayer xdotool xprop import dbus-run-session dbus-send
user_session "$@"

# An X server on a display number it picks itself. -noreset: otherwise it resets each time its
# last client leaves, and a client that connects during the reset is refused.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
    >"$out/x11-e2e-xvfb.log" 2>&1 &
pids+=($!)
wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=:$(head -n 1 "$work/display")
start_screen_reader_bus || skip "no accessibility bus or pyatspi (at-spi2-core, python3-pyatspi)"

make_home
# More old screenshots than the preview list shows at once, so that it has to scroll.
for i in $(seq 10 22); do touch "$home/Desktop/Screenshot 2026-12-03 at 10.00.$i.png"; done
cp "$home/.config/quillbrook/quillbrook.conf" "$work/settings"
start_app() { # <log name> <LANG>: the app, with the settings a walk before may have changed reset
    cp "$work/settings" "$home/.config/quillbrook/quillbrook.conf"
    run_app "$out/x11-e2e-$1.log" LANG="$2" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb \
        DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS"
}
# app_window <arithmetic test of WIDTH and HEIGHT>: "id x y w h" on the screen of the app's first
# viewable window that passes.
app_window() {
    local id X Y WIDTH HEIGHT SCREEN WINDOW
    for id in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$id")"
        ((${1})) && echo "$id $X $Y $WIDTH $HEIGHT" && return 0
    done
    return 1
}
trayer --edge top --align right --widthtype request --height 28 --SetDockType true \
    --SetPartialStrut true --transparent false --tint 0x303030 >"$out/x11-e2e-trayer.log" 2>&1 &
trayer_pid=$!
pids+=($trayer_pid)
wait_for 10 xdotool search --onlyvisible --class trayer >/dev/null || fail "trayer did not start"

step "English: a click on the icon opens the popup just under it, with the entry's window class"
start_app en C.UTF-8
wait_for 15 eval 'found=$(app_window "WIDTH <= 64 && HEIGHT <= 64")' || fail "the tray icon did not dock in trayer"
read -r _ x y w h <<<"$found"
icon=($((x + w / 2)) $((y + h / 2)) $((y + h))) # its centre, and its bottom
sleep 1 # the tray's first paint and the app's start-up settle before the first click
xdotool mousemove "${icon[0]}" "${icon[1]}" click 1
wait_for 5 eval 'popup=$(app_window "WIDTH == 320")' || fail "a click on the icon did not open the panel"
read -r id x y w h <<<"$popup"
step "panel at $x,$y size ${w}x$h"
[ "$y" -ge $((icon[2] - 1)) ] && [ "$y" -le $((icon[2] + 16)) ] && [ "$x" -le "${icon[0]}" ] &&
    [ $((x + w)) -ge "${icon[0]}" ] || fail "the panel is not just under the icon"
[ "$x" -ge 0 ] && [ $((x + w)) -le 1024 ] && [ $((y + h)) -le 768 ] || fail "panel leaves the screen"
class=$(xprop -id "$id" WM_CLASS | sed -E 's/.*, "(.*)"$/\1/')
grep -qx "StartupWMClass=$class" "$(dirname "${BASH_SOURCE[0]}")/../../data/org.quillbrook.Quillbrook.desktop" ||
    fail "the desktop entry does not name the window's class $class"
walk en popup "${icon[@]:0:2}"
kill "$app_pid" "$trayer_pid" && wait "$app_pid" "$trayer_pid"

step "German: without a tray host the panel opens in a window titled Quillbrook, whose Quit ends the app"
start_app alone de_DE.UTF-8
walk de alone
quits Quit

echo "X11 end-to-end: all checks passed; screenshots in $out"
