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

env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/.config" \
    XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$work/runtime" \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb \
    LANG=en_US.UTF-8 "$build/quillbrook" >"$work/app.log" 2>&1 &
app=$!
pids+=($app)

# window <arithmetic test of w and h>: "x y w h" of the app's first viewable window that passes.
window() {
    local id x y w h
    for _ in $(seq 100); do
        for id in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
            read -r x y w h <<<"$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$4}
                /Absolute upper-left Y/ {y=$4} /^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {print x, y, w, h}')"
            (($1)) && echo "$x $y $w $h" && return 0
        done
        sleep 0.1
    done
    return 1
}
centre_of() { read -r x y w h <<<"$1" && echo $((x + w / 2)) $((y + h / 2)); }

icon=$(window "w <= 64 && h <= 64") || { echo "the tray icon did not dock" >&2; exit 1; }
# Let trayer settle the icon's place before clicking it.
sleep 1
# shellcheck disable=SC2046
xdotool mousemove $(centre_of "$icon") click 1
window "w == 320" >/dev/null || { echo "the panel did not open" >&2; exit 1; }
# The keyboard starts on "Enabled"; "Preview" is the ninth control.
sleep 0.5
xdotool key --delay 100 Tab Tab Tab Tab Tab Tab Tab Tab Return
sleep 1

# Now the everyday limit; the panel reads the settings again when it is next shown.
sed -i 's/^ageValue=0$/ageValue=2/; s/^ageUnit=Hours$/ageUnit=Days/' "$conf"
xdotool mousemove 200 600 click 1
sleep 0.6
# shellcheck disable=SC2046
xdotool mousemove $(centre_of "$icon") click 1
panel=$(window "w == 320") || { echo "the panel did not reopen" >&2; exit 1; }
# Pointer away from the panel, so no hover highlight shows.
xdotool mousemove 700 700
sleep 0.5

read -r px py pw ph <<<"$panel"
import -window root "$work/screen.png"
# The top right corner: tray icon, panel and a margin of desktop around them.
width=$((pw + 160))
height=$((py + ph + 40))
convert "$work/screen.png" -crop "${width}x$height+$((1280 - width))+0" +repage "$target"
echo "wrote $target (${width}x$height)"
