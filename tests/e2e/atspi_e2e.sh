#!/usr/bin/env bash
# The panel as a screen reader and a keyboard user meet it: Xvfb, trayer as the XEmbed tray, a
# session bus whose accessibility bus (at-spi2-core) is switched on as a screen reader does, and
# the real quillbrook in a temporary HOME. A real click on the icon opens the panel; then
# atspi_walk.py reads its tree through pyatspi and drives it with xdotool keys. Runs in English,
# in German (LANG=de_DE.UTF-8), and without a tray host, where the panel opens in a window.
# Screenshots of the panel as it opens and of the German panel go into <output dir>.
# Usage: atspi_e2e.sh <quillbrook> <output dir>
# Exits 77 (skipped) when a tool or the accessibility bus is missing.
set -uo pipefail

usage="usage: atspi_e2e.sh <quillbrook> <output dir>"
app=$(realpath "${1:?$usage}") out=${2:?$usage}
skip() { echo "SKIP: $*"; exit 77; }
for tool in Xvfb trayer xdotool xwininfo import dbus-daemon dbus-send; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (packages xvfb trayer" \
        "xdotool x11-utils imagemagick dbus-daemon dbus-bin)"
done
mkdir -p "$out" && out=$(realpath "$out")

e2e_name=atspi-e2e
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
start_xvfb
make_home
# More old screenshots than the preview list shows at once, so that it has to scroll.
for i in $(seq 10 22); do touch "$home/Desktop/Screenshot 2026-12-03 at 10.00.$i.png"; done
settings=$home/.config/quillbrook/quillbrook.conf
cp "$settings" "$work/settings"

dbus-daemon --session --address="unix:path=$work/bus" --nofork >"$out/atspi-e2e-bus.log" 2>&1 &
pids+=($!)
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/bus
wait_for 5 test -S "$work/bus" || fail "the session bus did not start"
start_screen_reader_bus || skip "no accessibility bus or pyatspi (at-spi2-core, python3-pyatspi)"

walk() { # <language> <tray|window>: the app in that language, and the walk of its panel
    step "$1, panel in the ${2/tray/popup}"
    cp "$work/settings" "$settings" # as a walk before may have left them
    run_app "$out/atspi-e2e-$1-$2.log" LANG="$3" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb \
        DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS"
    local icon=()
    if [ "$2" = tray ]; then
        wait_for 15 find_icon || fail "the tray icon did not dock in trayer"
        sleep 1 # the tray's first paint and the app's start-up settle before the click
        click_icon
        icon=($((icon_x + icon_w / 2)) $((icon_y + icon_h / 2)))
    fi
    /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/atspi_walk.py" "$1" "$2" \
        "$settings" "$out/atspi-e2e-$1" "${icon[@]}" ||
        fail "the walk in $1, panel in the ${2/tray/popup}"
    kill "$app_pid" && wait "$app_pid"
}

start_trayer
walk en tray C.UTF-8
walk de tray de_DE.UTF-8
kill "$trayer_pid" && wait "$trayer_pid"
walk en window C.UTF-8
echo "AT-SPI end-to-end: all checks passed; screenshots in $out"
