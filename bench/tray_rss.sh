#!/usr/bin/env bash
# Prints the resident set size (KiB) of an idle tray process after its panel has been opened
# once and closed again: Xvfb with trayer as the system tray, the icon clicked with xdotool.
# Usage: tray_rss.sh <path to quillbrook>
set -euo pipefail

app_binary=$(realpath "${1:?usage: tray_rss.sh <path to quillbrook>}")
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null; rm -rf "$work"' EXIT

Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n 1 "$work/display")

trayer --edge top --align right --widthtype request --height 28 --SetDockType true >/dev/null 2>&1 &
pids+=($!)
sleep 1

home=$work/home
mkdir -p "$home/Desktop" "$home/.config/quillbrook" "$work/runtime"
chmod 700 "$work/runtime"
# launchAtLogin=false: the measurement must not write an autostart entry, even a temporary one.
printf '[General]\nlaunchAtLogin=false\n' >"$home/.config/quillbrook/quillbrook.conf"
env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/.config" \
    XDG_DATA_HOME="$home/.local/share" XDG_RUNTIME_DIR="$work/runtime" \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus" DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb \
    LANG=C.UTF-8 "$app_binary" >"$work/app.log" 2>&1 &
app=$!
pids+=($app)
sleep 3

# trayer sits in the top right corner with our icon as its only one.
visible() { xdotool search --onlyvisible --pid "$app" 2>/dev/null | wc -l; }
before=$(visible)
xdotool mousemove 1266 14 click 1
for _ in $(seq 50); do [ "$(visible)" -gt "$before" ] && break; sleep 0.1; done
if [ "$(visible)" -le "$before" ]; then
    echo "the panel did not open" >&2
    exit 1
fi
echo "panel opened: $before visible windows before the click, $(visible) after" >&2
sleep 1
# An outside click closes the popup; then the process idles.
xdotool mousemove 400 600 click 1
sleep 3
echo "visible windows after closing: $(visible)" >&2
awk '/^VmRSS:/ { print $2 }' "/proc/$app/status"
