#!/usr/bin/env bash
# The tray app on KDE Plasma 5 (Wayland): KWin on a virtual output with plasmashell, the app
# installed with its desktop entry, driven by KWin's fake input: shell_rounds, with the panel
# opened by a click on the icon and the menu by a right click.
# Usage: kde_e2e.sh <quillbrook> <output dir> <input client>; exits 77 (skipped) when a part
# of Plasma is missing or cannot run.
source "$(dirname "${BASH_SOURCE[0]}")/session.sh"
fake_input=${3:-}
[ -x "$fake_input" ] || skip "no input client (needs libwayland-dev and plasma-wayland-protocols when configuring)"
activities=$(compgen -G '/usr/lib/*/libexec/kactivitymanagerd' | head -n 1)
needs "kwin-wayland plasma-workspace plasma-desktop kactivitymanagerd kded5 libkf5service-bin" \
    kwin_wayland plasmashell kded5 kbuildsycoca5 "$activities"
/usr/bin/python3 -c 'import gi' 2>/dev/null || skip "needs package python3-gi"
install_app
user_session "$@"

desktop_session KDE
export KDE_FULL_SESSION=true KDE_SESSION_VERSION=5 WAYLAND_DISPLAY=kde-e2e
printf '[KDE]\nAnimationDurationFactor=0\n' >"$XDG_CONFIG_HOME/kdeglobals"
# Screenshots through KWin's older call, which says where it saved them, aloud unless told not to.
printf '[Event/notification]\nAction=\n' >"$XDG_CONFIG_HOME/plasma_workspace.notifyrc"
# KWin offers its fake input only to a program a desktop entry names by exact path.
mkdir -p "$XDG_DATA_HOME/applications"
printf '[Desktop Entry]\nType=Application\nName=Input\nExec=%s\nNoDisplay=true\n%s\n' "$fake_input" \
    X-KDE-Wayland-Interfaces=org_kde_kwin_fake_input >"$XDG_DATA_HOME/applications/e2e-input.desktop"
kbuildsycoca5 >"$out/kde-e2e-sycoca.log" 2>&1
# A copy, without the file capability that a container refuses to run.
cp "$(command -v kwin_wayland)" "$work/kwin_wayland"
KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 "$work/kwin_wayland" --virtual --width 1280 --height 800 \
    --no-lockscreen --socket kde-e2e >"$out/kde-e2e-kwin.log" 2>&1 &
kwin_pid=$!
pids+=($kwin_pid)
wait_for 15 test -S "$XDG_RUNTIME_DIR/kde-e2e" ||
    { ended $kwin_pid && skip "KWin cannot run here: $(tail -n 3 "$out/kde-e2e-kwin.log")"; fail "KWin did not start"; }
# KWin and Plasma greet the splash screen; without this stand-in the bus would start a waiter for
# it that outlives the test.
/usr/bin/python3 -c 'from gi.repository import Gio, GLib
Gio.bus_own_name(Gio.BusType.SESSION, "org.kde.KSplash", 0, None, None, None)
GLib.MainLoop().run()' &
pids+=($!)
for part in "$activities" kded5 plasmashell; do
    QT_QPA_PLATFORM=wayland "$part" >"$out/kde-e2e-$(basename "$part").log" 2>&1 &
    pids+=($!)
done
screen=(1280 800) entry=org.quillbrook.Quillbrook

# tray: the system tray in the panel at the bottom, "x y height" on the output.
tray() {
    call org.kde.plasmashell /PlasmaShell org.kde.PlasmaShell.evaluateScript 'const p = panels()[0],
        t = p && p.widgets("org.kde.plasma.systemtray")[0], g = t && t.geometry;
        if (g && g.width > 0) print([g.x, 800 - p.height + g.y, g.height].map(Math.round).join(" "))'
}
screenshot() {
    local shot
    shot=$(call org.kde.KWin /Screenshot org.kde.kwin.Screenshot.screenshotFullscreen false) &&
        mv "$shot" "$1"
}
# windows: the windows and popups, from a KWin script that prints them into KWin's log.
windows() {
    local log=$out/kde-e2e-kwin.log seen id
    seen=$(grep -c '^js: E2E ' "$log")
    id=$(call org.kde.KWin /Scripting org.kde.kwin.Scripting.loadScript \
        "$(dirname "${BASH_SOURCE[0]}")/kde-windows.js" e2e | tr -dc 0-9)
    call org.kde.KWin "/$id" org.kde.kwin.Script.run >/dev/null
    wait_for 3 eval '[ "$(grep -c "^js: E2E " "$log")" -gt "$seen" ]' || return 1
    call org.kde.KWin /Scripting org.kde.kwin.Scripting.unloadScript e2e >/dev/null
    grep '^js: E2E ' "$log" | tail -n 1 | cut -d' ' -f3- | jq -c '.[]'
}
menu_shown() { windows | grep -q '"popup":true'; }
# menu_items: the labels of the menu the item exports over D-Bus, the one Plasma shows.
menu_items() {
    local item menu
    item=$(watcher RegisteredStatusNotifierItems | grep -o "[^'\"]*/StatusNotifierItem" | head -n 1)
    menu=$(call "${item%%/*}" "/${item#*/}" org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierItem Menu | grep -o "'/[^']*'" | tr -d "'")
    call "${item%%/*}" "$menu" com.canonical.dbusmenu.GetLayout 0 1 '@as []' |
        grep -o "'label': <'[^']*'>" | cut -d"'" -f4 | paste -sd,
}
input() { "$fake_input" "$@" || fail "no fake input"; }
click_icon() { input click "${icon[@]}" "${1:-left}"; }
click_at() { input click "$1" "$2" left; }
press_escape() { input key 1; }
open_panel() {
    [ "$1" = 1 ] || sleep 0.5 # past the guard against a click reopening the panel it has just closed
    how="a click on the icon at ${icon[0]},${icon[1]}"
    click_icon
}
open_menu() {
    click_icon right
    wait_for 5 menu_shown || fail "a right click on the icon showed no menu"
    [ "$(menu_items)" = "Open Quillbrook,Run Now,Put Back Last Run,Enabled,Quit" ] ||
        fail "the menu holds $(menu_items)"
    sleep 0.3
}
# Keys in the menu: 108 down, 103 up (from the top to the last item), 28 Enter.
choose() { if [ "$1" = Quit ]; then input key 103 key 28; else input key 108 key 108 key 28; fi; }

wait_for 40 eval 'watcher IsStatusNotifierHostRegistered | grep -q true && [ -n "$(tray)" ]' ||
    fail "Plasma's panel and tray did not come up"
step "Plasma $(plasmashell --version 2>/dev/null | cut -d' ' -f2) is up"

step "the icon reaches the tray"
run_session_app
wait_for 15 eval 'watcher RegisteredStatusNotifierItems | grep -q Item' || fail "no item in Plasma's tray"
# Ours comes first in the tray, which grows to the left as it arrives: wait until it settles.
wait_for 10 eval 'place=$(tray); sleep 0.5; [ -n "$place" ] && [ "$place" = "$(tray)" ]' ||
    fail "the tray does not settle"
read -r tray_x tray_y tray_h <<<"$place"
icon=($((tray_x + tray_h / 2)) $((tray_y + tray_h / 2)))
shell_rounds
