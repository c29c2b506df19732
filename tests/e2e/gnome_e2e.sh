#!/usr/bin/env bash
# The tray app on GNOME Shell 43 with the AppIndicator extension, headless, installed with its
# desktop entry, driven by the shell's own virtual devices (a test-only extension): the icon, its
# menu, the panel opened three ways and closed three ways, "Run Now" and "Quit" from the menu.
# Usage: gnome_e2e.sh <quillbrook> <output dir>; exits 77 (skipped) when the shell cannot run.
set -uo pipefail

usage="usage: gnome_e2e.sh <quillbrook> <output dir>"
app=$(realpath "${1:?$usage}") out=${2:?$usage}
mkdir -p "$out" && out=$(realpath "$out")
e2e_name=gnome-e2e
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"

command -v gnome-shell >/dev/null && [ -d /usr/share/gnome-shell/extensions/ubuntu-appindicators@ubuntu.com ] ||
    skip "needs packages gnome-shell and gnome-shell-extension-appindicator"
# The shell reads its extensions from the settings store; the key file backend needs no service.
GSETTINGS_BACKEND=keyfile user_session "$0" "$app" "$out"

desktop_session GNOME
mkdir -p "$XDG_CONFIG_HOME/glib-2.0/settings" "$XDG_DATA_HOME/gnome-shell/extensions"
cp -r "$(dirname "${BASH_SOURCE[0]}")/gnome-shell-extension" \
    "$XDG_DATA_HOME/gnome-shell/extensions/quillbrook-e2e@local"
cat >"$XDG_CONFIG_HOME/glib-2.0/settings/keyfile" <<'KEYS'
[org/gnome/shell]
enabled-extensions=['ubuntu-appindicators@ubuntu.com', 'quillbrook-e2e@local']
disable-user-extensions=false
welcome-dialog-last-shown-version='999'
[org/gnome/desktop/interface]
enable-animations=false
[org/gnome/desktop/notifications]
show-banners=false
KEYS
# The shell asks the system bus for logind, and gives up without any system bus.
dbus-daemon --config-file=/usr/share/dbus-1/session.conf --address="unix:path=$work/runtime/system-bus" \
    --fork --print-pid >"$work/system-bus.pid" || skip "cannot start a system bus"
pids+=("$(cat "$work/system-bus.pid")")
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/runtime/system-bus WAYLAND_DISPLAY=gnome-e2e
gnome-shell --headless --wayland --no-x11 --virtual-monitor 1280x800 --wayland-display=gnome-e2e \
    >"$out/gnome-e2e-shell.log" 2>&1 &
shell_pid=$!
pids+=($shell_pid)
screen=(1280 800) entry=org.quillbrook.Quillbrook.desktop
# shell <javascript>: its value as JSON, from the shell's Eval, which the extension opens.
shell() {
    local reply
    reply=$(call org.gnome.Shell /org/gnome/Shell org.gnome.Shell.Eval "$1") &&
        [[ $reply == "(true, '"* ]] || return 1
    reply=${reply#"(true, '"}
    echo "${reply%"')"}"
}
screenshot() {
    call org.gnome.Shell.Screenshot /org/gnome/Shell/Screenshot org.gnome.Shell.Screenshot.Screenshot \
        false false "$1" >/dev/null
}
windows() { shell 'global.e2e.windows()' | jq -c '.[]'; }
menu_open() { [ "$(shell 'global.e2e.item().menu.isOpen')" = true ]; }
# open_menu [<items>]: a click on the icon opens its menu, showing these items.
open_menu() {
    shell 'global.e2e.clickIcon()' >/dev/null
    wait_for 5 menu_open || fail "a click on the icon did not open its menu"
    local items
    items=$(shell 'global.e2e.menu()')
    [ -z "${1:-}" ] || [ "$items" = "$1" ] || fail "the menu shows $items, not $1"
}
choose() { shell "global.e2e.choose('$1')" >/dev/null || fail "the menu has no \"$1\""; }

# It starts in the overview: up once that is hidden and the extension is in.
ready() { [ "$(shell 'Main.overview.hide(); !Main.layoutManager._startingUp &&
    !Main.overview.visible && !Main.overview.animationInProgress && "e2e" in global')" = true ]; }
wait_for 30 ready || { ended $shell_pid && skip "GNOME Shell cannot run here: $(tail -n 3 "$out/gnome-e2e-shell.log")"; fail "GNOME Shell did not come up"; }
step "$(gnome-shell --version) is up"

step "the icon reaches the top bar"
run_session_app
wait_for 15 eval '[ "$(shell "global.e2e.item() !== null")" = true ]' || fail "no icon in the top bar"
sleep 0.5
screenshot "$out/gnome-e2e-tray.png"

step "a click on the icon opens its menu, whose \"Open Quillbrook\" opens the panel"
open_menu '["Open Quillbrook","Run Now","(Put Back Last Run)","()","Enabled","()","Quit"]'
screenshot "$out/gnome-e2e-menu.png"
choose "Open Quillbrook"
opened "Open Quillbrook"
screenshot "$out/gnome-e2e-panel.png"

step "a click on the icon closes it: its menu takes the keyboard"
shell 'global.e2e.clickIcon()' >/dev/null
wait_for 5 panel_gone || fail "a click on the icon did not close the panel"
shell 'global.e2e.key(0xff1b)' >/dev/null # Escape leaves the menu
wait_for 5 eval '! menu_open' || fail "Escape did not close the menu"

step "a double click opens it, Escape closes it"
sleep 0.5 # past the guard against a click reopening the panel it has just closed
shell 'global.e2e.clickIcon(1, 2)' >/dev/null
opened "a double click"
shell 'global.e2e.key(0xff1b)' >/dev/null
wait_for 5 panel_gone || fail "Escape did not close the panel"

step "opened a third time, its close button closes it"
open_menu
choose "Open Quillbrook"
opened "Open Quillbrook, again,"
shell "global.e2e.click([$((x + w - 22)), $((y + 24))])" >/dev/null # the header's right end
wait_for 5 panel_gone || fail "the close button did not close the panel"

step "\"Run Now\" in the menu moves the old screenshots into the Trash"
open_menu
choose "Run Now"
wait_for 5 trashed || fail "Run Now did not move the screenshots into the Trash: $(ls "$home/Desktop")"

step "the menu now offers \"Put Back Last Run\"; its \"Quit\" ends the app"
open_menu '["Open Quillbrook","Run Now","Put Back Last Run","()","Enabled","()","Quit"]'
screenshot "$out/gnome-e2e-menu-after-run.png"
choose Quit
quits Quit

echo "GNOME end-to-end: all checks passed; screenshots in $out"
