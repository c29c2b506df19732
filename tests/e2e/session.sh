# Sourced by the end-to-end scripts, with their arguments <quillbrook> <output dir> [...]: sets app,
# out and e2e_name (the prefix of the files in <out>), and gives them what they share.
set -uo pipefail

usage="usage: $(basename "$0") <quillbrook> <output dir> [<input client>]"
app=$(realpath "${1:?$usage}") out=${2:?$usage}
mkdir -p "$out" && out=$(realpath "$out")
e2e_name=$(basename "$0" .sh | tr _ -)
work=$(mktemp -d)
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

step() { echo "-- $*"; }
skip() { echo "SKIP: $*"; exit 77; }
# needs <packages> <tool...>: skipped unless every tool is installed.
needs() {
    local tool
    for tool in "${@:2}"; do command -v "$tool" >/dev/null || skip "$tool is not installed (packages $1)"; done
}
# screenshot <png>: the whole screen of whichever display this session started.
screenshot() { if [ -n "${WAYLAND_DISPLAY:-}" ]; then grim "$1"; else import -window root "$1"; fi; }
fail() {
    echo "FAIL: $*" >&2
    screenshot "$out/$e2e_name-failure.png" 2>/dev/null && echo "screen: $out/$e2e_name-failure.png" >&2
    for log in "$out/$e2e_name"-*.log; do
        [ -s "$log" ] && { echo "== $log" >&2; tail -n 20 "$log" >&2; }
    done
    exit 1
}

# wait_for <seconds> <command...>: polls every 0.1 s until the command succeeds.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.1
    done
}

# user_session <the script's arguments...>: runs the script again, unless this is that run, as an
# ordinary user's session: as nobody when root (compositors refuse root), on a session bus of its
# own; GSETTINGS_BACKEND defaults to memory.
user_session() {
    [ -n "${QUILLBROOK_E2E_USER_SESSION:-}" ] && return 0
    local as_user=()
    if [ "$(id -u)" -eq 0 ]; then
        as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
        chown -R nobody "$out"
    fi
    rm -rf "$work" # exec leaves no exit trap behind
    QUILLBROOK_E2E_USER_SESSION=1 NO_AT_BRIDGE=1 GSETTINGS_BACKEND=${GSETTINGS_BACKEND:-memory} \
        exec "${as_user[@]}" dbus-run-session -- bash "$0" "$@"
}

# install_app: the app installed from its build folder into <out>/prefix, as a user's
# `cmake --install` would; before user_session, as the install writes into the build folder.
install_app() {
    [ -n "${QUILLBROOK_E2E_USER_SESSION:-}" ] ||
        cmake --install "$(dirname "$app")" --prefix "$out/prefix" >"$out/$e2e_name-install.log" ||
        fail "cannot install the build"
}
# desktop_session <desktop>: make_home, and a Wayland session of <desktop> living in it, with the
# installed app ($app from now on) first in PATH (for the entry's TryExec) and XDG_DATA_DIRS.
desktop_session() {
    make_home
    app=$out/prefix/bin/quillbrook
    export PATH=$out/prefix/bin:$PATH XDG_DATA_DIRS=$out/prefix/share:/usr/local/share:/usr/share \
        HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share \
        XDG_CACHE_HOME=$home/.cache XDG_RUNTIME_DIR=$work/runtime XDG_SESSION_TYPE=wayland \
        XDG_CURRENT_DESKTOP=$1
}
# run_session_app: the app as that session starts it, no GUI platform forced. LeakSanitizer would
# lay what Qt's Wayland plugin and D-Bus keep to the end at the app's door; other tests look for
# the app's own leaks.
run_session_app() {
    [ -n "${ASAN_OPTIONS:-}" ] && sanitizer_env+=("ASAN_OPTIONS=$ASAN_OPTIONS:strict_string_checks=0:detect_leaks=0")
    run_app "$out/$e2e_name-quillbrook.log" WAYLAND_DISPLAY="$WAYLAND_DISPLAY" \
        XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP="$XDG_CURRENT_DESKTOP" \
        XDG_DATA_DIRS="$XDG_DATA_DIRS" DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS"
}

# call <service> <object> <interface.method> <arguments...>: a reply of one string is printed bare.
call() {
    gdbus call --session --dest "$1" --object-path "$2" --method "$3" "${@:4}" 2>/dev/null |
        sed -E "s/^\('(.*)',\)$/\1/"
}
watcher() { # <property> of the tray host's StatusNotifierWatcher
    call org.kde.StatusNotifierWatcher /StatusNotifierWatcher org.freedesktop.DBus.Properties.Get \
        org.kde.StatusNotifierWatcher "$1"
}

# The panel among `windows` (the script's: a JSON object a line, with title, x, y, w, h, focus, app).
panel() { windows | jq -c 'select(.title == "Quillbrook")'; }
panel_gone() { local all; all=$(windows) && [ -z "$(jq -c 'select(.title == "Quillbrook")' <<<"$all")" ]; }
# opened <how>: waits until the panel is there and focused, then checks that it lies wholly on the
# screen (`screen`: width height) and belongs to the desktop entry `entry`; sets x, y, w and h.
opened() {
    wait_for 5 eval '[ "$(panel | jq .focus)" = true ]' || fail "$1 did not open the focused panel"
    local id
    read -r x y w h id <<<"$(panel | jq -r '"\(.x) \(.y) \(.w) \(.h) \(.app)"')"
    step "$1: panel at $x,$y size ${w}x$h, application $id"
    [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "${screen[0]}" ] &&
        [ $((y + h)) -le "${screen[1]}" ] || fail "the panel leaves the screen"
    [ "$id" = "$entry" ] || fail "the window belongs to $id, not our desktop entry"
}

quits() { # <how>: the app ends, with status 0
    wait_for 5 ended "$app_pid" || fail "$1 did not end the app"
    wait "$app_pid" || fail "the app ended with status $? after $1"
}

# shell_rounds: what a user does with the tray item of a desktop shell. The panel opens three
# times, by the script's `open_panel 1|2|3` (which sets how), and closes by a click on the icon,
# by Escape and by its close button; then the tray menu, opened by `open_menu`, moves the old
# screenshots into the Trash and ends the app through `choose "Run Now"|Quit`. The scripts click
# with `click_icon` and `click_at <x> <y>`, and press Escape with `press_escape`.
shell_rounds() {
    screenshot "$out/$e2e_name-tray.png"
    open_panel 1
    opened "$how"
    screenshot "$out/$e2e_name-panel.png"
    step "a click on the icon closes it"
    click_icon
    wait_for 5 panel_gone || fail "a click on the icon did not close the panel"
    open_panel 2
    opened "$how"
    step "Escape closes it"
    press_escape
    wait_for 5 panel_gone || fail "Escape did not close the panel"
    open_panel 3
    opened "$how"
    step "its close button closes it"
    click_at $((x + w - 22)) $((y + 24)) # the header's right end
    wait_for 5 panel_gone || fail "the close button did not close the panel"
    step "the menu's \"Run Now\" moves the old screenshots into the Trash"
    open_menu
    screenshot "$out/$e2e_name-menu.png"
    choose "Run Now"
    wait_for 5 trashed || fail "Run Now did not move the screenshots into the Trash: $(ls "$home/Desktop")"
    step "the menu's \"Quit\" ends the app"
    open_menu
    choose Quit
    quits Quit
    echo "$e2e_name: all checks passed; screenshots in $out"
}

# A temporary HOME with a Desktop of screenshots and a zero-hour age limit, so that files made a
# moment ago already count.
make_home() {
    home=$work/home
    mkdir -p "$home/Desktop" "$home/.config/quillbrook" "$home/.local/share" "$work/runtime"
    chmod 700 "$work/runtime"
    printf '[General]\nageValue=0\nageUnit=Hours\n' >"$home/.config/quillbrook/quillbrook.conf"
    touch "$home/Desktop/"{"Screenshot 2026-11-30 at 09.12.44.png","Screenshot 2026-12-01 at 17.03.10.png","Screen Shot 2026-12-02 at 08.00.00.jpg",holiday.png,notes.txt}
    # libxkbcommon hands strndup a buffer without a terminating NUL, which strndup allows but
    # strict_string_checks reports, outside this project's code.
    sanitizer_env=()
    [ -n "${ASAN_OPTIONS:-}" ] && sanitizer_env+=("ASAN_OPTIONS=$ASAN_OPTIONS:strict_string_checks=0")
    [ -n "${UBSAN_OPTIONS:-}" ] && sanitizer_env+=("UBSAN_OPTIONS=$UBSAN_OPTIONS")
}

# run_app <log file> <variable=value...>: the app in the temporary HOME, in the background, its
# process id in app_pid. The variables choose the display, bus and language.
run_app() {
    local log=$1
    shift
    env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/.config" \
        XDG_DATA_HOME="$home/.local/share" XDG_CACHE_HOME="$home/.cache" \
        XDG_RUNTIME_DIR="$work/runtime" LANG=C.UTF-8 "${sanitizer_env[@]}" "$@" "$app" \
        >"$log" 2>&1 &
    app_pid=$!
    pids+=($app_pid)
}

# A process that ended stays a zombie until it is waited for.
ended() { [[ $(ps -o stat= -p "$1") =~ ^(Z|$) ]]; }

# trashed: "Run Now" took the three screenshots of make_home into the Trash, each with its info
# file, left the other entries, and has ended: its record is written.
trashed() {
    [ "$(ls "$home/Desktop")" = $'holiday.png\nnotes.txt' ] &&
        [ "$(ls "$home/.local/share/Trash/info" 2>/dev/null | grep -c '^Screen.*\.trashinfo$')" = 3 ] &&
        grep -q "^lastRunCount=3$" "$home/.config/quillbrook/quillbrook.conf"
}

# walk <language> <popup|window|alone> [<icon x> <icon y>]: atspi_walk.py over the open panel,
# with the settings file and this script's screenshot prefix.
walk() {
    /usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/atspi_walk.py" "$1" "$2" \
        "$home/.config/quillbrook/quillbrook.conf" "$out/$e2e_name-$1" "${@:3}" || fail "the walk: $*"
}
# The accessibility bus switched on, as a screen reader does; fails without at-spi2-core or pyatspi.
start_screen_reader_bus() {
    /usr/bin/python3 -c 'import pyatspi' 2>/dev/null && dbus-send --session --print-reply \
        --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
        string:org.a11y.Status string:ScreenReaderEnabled variant:boolean:true >/dev/null 2>&1
}
