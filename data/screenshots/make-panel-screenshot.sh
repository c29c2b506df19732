#!/usr/bin/env bash
# Makes panel.png, the screenshot the AppStream metadata shows, from the real app: Xvfb with
# trayer in the top right corner, the panel opened from the tray icon with a preview on show,
# cut to the corner of the screen. Needs what the tray test needs (xvfb trayer xdotool x11-utils
# imagemagick) and a built tree.
# Usage: make-panel-screenshot.sh <build dir> [<output png>]
set -euo pipefail

build=$(realpath "${1:?usage: make-panel-screenshot.sh <build dir> [<output png>]}")
target=${2:-$(dirname "$(realpath "$0")")/panel.png}
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"' EXIT

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n 1 "$work/display")

# A calm desktop background, so the picture is not a black void.
convert -size 1280x800 gradient:'#5b7fa3-#2d4660' "$work/background.png"
# It sets the background and then reports failure for want of a window manager.
display -window root "$work/background.png" || true

home=$work/home
mkdir -p "$home/Desktop" "$home/.config/quillbrook" "$work/runtime"
chmod 700 "$work/runtime"
conf=$home/.config/quillbrook/quillbrook.conf
# A zero-hour limit lets "Preview" count files made a moment ago; the limit shown afterwards is
# an everyday one, and a changed limit leaves a shown preview alone.
# A run recorded on the hour before this one, as a scheduled run would leave it.
last_run=$(($(date +%s) / 3600 * 3600 - 3600))
printf '[General]\nenabled=true\nfrequency=Daily\nhourOfDay=9\nageValue=0\nageUnit=Hours\n' >"$conf"
printf 'lastRunDate=%s\nlastRunCount=12\n' "$last_run" >>"$conf"
for i in 1 2 3 4 5 6 7; do
    printf 'x' >"$home/Desktop/Screenshot 2026-11-2$i at 10.0$i.00.png"
done
printf 'x' >"$home/Desktop/holiday.jpg"
sleep 1

trayer --edge top --align right --widthtype request --height 28 --SetDockType true \
    --transparent true --alpha 40 --tint 0x202830 >/dev/null 2>&1 &
pids+=($!)
sleep 1

state=$work/state
env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/.config" \
    XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$work/runtime" \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb \
    LANG=en_US.UTF-8 LD_PRELOAD="$build/tests/libquillbrook_ui_probe.so" QUILLBROOK_UI_STATE="$state" \
    "$build/quillbrook" >"$work/app.log" 2>&1 &
app=$!
pids+=($app)

widget() { awk -F'\t' -v name="$1" '$3 == name { print; exit }' "$state" 2>/dev/null; }
# Fields 4 to 7 of a probe line are x, y, width and height; empty fields are kept apart.
rect_of() { awk -F'\t' '{ print $4, $5, $6, $7 }' <<<"$1"; }
centre_of() {
    local x y w h
    read -r x y w h <<<"$(rect_of "$1")"
    echo $((x + w / 2)) $((y + h / 2))
}
wait_widget() { for _ in $(seq 100); do [ -n "$(widget "$1")" ] && return 0; sleep 0.1; done; return 1; }

for _ in $(seq 100); do
    icon=$(widget QSystemTrayIconSys) && [ -n "$icon" ] && break
    sleep 0.1
done
[ -n "$icon" ] || { echo "the tray icon did not dock" >&2; exit 1; }
# Let trayer settle the icon's place before clicking it.
sleep 1
# shellcheck disable=SC2046
xdotool mousemove $(centre_of "$icon") click 1
wait_widget previewButton || { echo "the panel did not open" >&2; exit 1; }
# shellcheck disable=SC2046
xdotool mousemove $(centre_of "$(widget previewButton)") click 1
wait_widget previewValue || { echo "no preview" >&2; exit 1; }

# Now the everyday limit; the panel reads the settings again when it is next shown.
sed -i 's/^ageValue=0$/ageValue=2/; s/^ageUnit=Hours$/ageUnit=Days/' "$conf"
xdotool mousemove 200 600 click 1
sleep 0.6
# shellcheck disable=SC2046
xdotool mousemove $(centre_of "$icon") click 1
wait_widget previewValue || { echo "the panel did not reopen" >&2; exit 1; }
# Pointer away from the panel, so no hover highlight shows.
xdotool mousemove 700 700
sleep 0.5

panel=$(awk -F'\t' '$1 == "popup" { print; exit }' "$state")
read -r px py pw ph <<<"$(rect_of "$panel")"
import -window root "$work/screen.png"
# The top right corner: tray icon, panel and a margin of desktop around them.
width=$((pw + 160))
height=$((py + ph + 40))
convert "$work/screen.png" -crop "${width}x$height+$((1280 - width))+0" +repage "$target"
echo "wrote $target (${width}x$height)"
