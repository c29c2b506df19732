#!/usr/bin/env bash
# The tray app on GNOME Shell 43 with the AppIndicator extension, headless, installed with its
# desktop entry, driven by the shell's own virtual devices (a test-only extension): shell_rounds,
# with the panel opened from the menu's "Open Quillbrook" and by a double click.
# Usage: gnome_e2e.sh <quillbrook> <output dir>; exits 77 (skipped) when the shell cannot run.
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
command -v gnome-shell >/dev/null && [ -d /usr/share/gnome-shell/extensions/ubuntu-appindicators@ubuntu.com ] ||
    skip "needs packages gnome-shell and gnome-shell-extension-appindicator"
install_app
# The shell reads its extensions from the settings store; the key file backend needs no service.
GSETTINGS_BACKEND=keyfile user_session "$@"

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
click_icon() { shell "global.e2e.clickIcon(${2:-1}, ${1:-1})" >/dev/null; }
click_at() { shell "global.e2e.click([$1, $2])" >/dev/null; }
press_escape() { shell 'global.e2e.key(0xff1b)' >/dev/null; }
# open_menu [button]: a click on the icon, a right one unless told, opens its menu, which offers
# put back once a run's screenshots are in the Trash (items that cannot be chosen in parentheses).
open_menu() {
    click_icon 1 "${1:-3}"
    wait_for 5 menu_open || fail "a click with button ${1:-3} on the icon did not open its menu"
    local put_back='(Put Back Last Run)'
    trashed && put_back='Put Back Last Run'
    # The shell hears of a change of the items over D-Bus, a moment after it was made.
    wait_for 3 menu_is "[\"Open Quillbrook\",\"Run Now\",\"$put_back\",\"()\",\"Enabled\",\"()\",\"Quit\"]" ||
        fail "the menu shows $(shell 'global.e2e.menu()')"
}
menu_is() { [ "$(shell 'global.e2e.menu()')" = "$1" ]; }
choose() { shell "global.e2e.choose('$1')" >/dev/null || fail "the menu has no \"$1\""; }
open_panel() {
    if [ "$1" = 2 ]; then
        how="a double click"
        press_escape # leaves the menu that the click closing the panel opened
        wait_for 5 eval '! menu_open' || fail "Escape did not close the menu"
        sleep 0.5 # past the guard against a click reopening the panel it has just closed
        click_icon 2
    else
        how="the menu's \"Open Quillbrook\""
        open_menu 1
        choose "Open Quillbrook"
    fi
}

# It starts in the overview: up once that is hidden and the extension is in.
ready() { [ "$(shell 'Main.overview.hide(); !Main.layoutManager._startingUp &&
    !Main.overview.visible && !Main.overview.animationInProgress && "e2e" in global')" = true ]; }
wait_for 30 ready || { ended $shell_pid && skip "GNOME Shell cannot run here: $(tail -n 3 "$out/gnome-e2e-shell.log")"; fail "GNOME Shell did not come up"; }
step "$(gnome-shell --version) is up"

step "the icon reaches the top bar"
run_session_app
wait_for 15 eval '[ "$(shell "global.e2e.item() !== null")" = true ]' || fail "no icon in the top bar"
sleep 0.5
shell_rounds
