# Sourced by the end-to-end scripts: a work folder, child processes ended on exit, progress and
# failure reports, polling, the app's clean environment, a session of an ordinary user, the app
# installed as a desktop sees it, and a display of their own (an X server or a headless Wayland
# compositor). Set `e2e_name` (the prefix of the files in <out>) and `out`.

work=$(mktemp -d)
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT

step() { echo "-- $*"; }
skip() { echo "SKIP: $*"; exit 77; }
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

# user_session <script> <arguments...>: runs the script again, unless this is that run, as an
# ordinary user's session: as nobody when root (the compositors refuse root), on a session bus of
# its own, without a desktop's accessibility bus; GSETTINGS_BACKEND defaults to memory.
user_session() {
    [ -n "${QUILLBROOK_E2E_USER_SESSION:-}" ] && return 0
    local as_user=()
    if [ "$(id -u)" -eq 0 ]; then
        command -v setpriv >/dev/null || skip "running as root and setpriv is not installed"
        as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
        chown nobody "$out"
    fi
    rm -rf "$work" # exec leaves no exit trap behind
    QUILLBROOK_E2E_USER_SESSION=1 NO_AT_BRIDGE=1 GSETTINGS_BACKEND=${GSETTINGS_BACKEND:-memory} \
        exec "${as_user[@]}" dbus-run-session -- bash "$@"
}

# desktop_session <desktop>: make_home, and a Wayland session of <desktop> living in it, with the
# app ($app from now on) installed as `cmake --install` would, first in PATH (the desktop entry's
# TryExec) and XDG_DATA_DIRS, so that the shell matches the app's windows to the entry.
desktop_session() {
    make_home
    local source prefix=$work/prefix icons=$work/prefix/share/icons/hicolor/scalable/apps
    source=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
    install -D "$app" "$prefix/bin/quillbrook"
    install -Dm644 -t "$prefix/share/applications" "$source/data/org.quillbrook.Quillbrook.desktop"
    install -Dm644 "$source/src/panel/icons/quillbrook.svg" "$icons/org.quillbrook.Quillbrook.svg"
    install -Dm644 "$source/src/panel/icons/quillbrook-symbolic.svg" \
        "$icons/org.quillbrook.Quillbrook-symbolic.svg"
    app=$prefix/bin/quillbrook
    export PATH=$prefix/bin:$PATH XDG_DATA_DIRS=$prefix/share:/usr/local/share:/usr/share \
        HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share \
        XDG_CACHE_HOME=$home/.cache XDG_RUNTIME_DIR=$work/runtime XDG_SESSION_TYPE=wayland \
        XDG_CURRENT_DESKTOP=$1
}
# run_session_app: the app as that session starts it, no GUI platform forced. Qt's Wayland plugin
# and D-Bus leave objects to the process's end, which LeakSanitizer would lay at the app's door;
# the other tests look for the app's own leaks.
run_session_app() {
    [ -n "${ASAN_OPTIONS:-}" ] && sanitizer_env+=("ASAN_OPTIONS=$ASAN_OPTIONS:strict_string_checks=0:detect_leaks=0")
    run_app "$out/$e2e_name-quillbrook.log" WAYLAND_DISPLAY="$WAYLAND_DISPLAY" \
        XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP="$XDG_CURRENT_DESKTOP" \
        XDG_DATA_DIRS="$XDG_DATA_DIRS" DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS"
}

# call <service> <object> <interface.method> <arguments...>: a call on the session bus; a reply
# of one string is printed bare.
call() {
    gdbus call --session --dest "$1" --object-path "$2" --method "$3" "${@:4}" 2>/dev/null |
        sed -E "s/^\('(.*)',\)$/\1/"
}
# watcher <property>: a property of the tray host's StatusNotifierWatcher.
watcher() {
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
    step "panel at $x,$y size ${w}x$h, application $id"
    [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "${screen[0]}" ] &&
        [ $((y + h)) -le "${screen[1]}" ] || fail "the panel leaves the screen"
    [ "$id" = "$entry" ] || fail "the window belongs to $id, not our desktop entry"
}

# quits <how>: the app ends, and with status 0.
quits() {
    wait_for 5 ended "$app_pid" || fail "$1 did not end the app"
    wait "$app_pid" || fail "the app ended with status $? after $1"
}

# A temporary HOME with a Desktop of screenshots and a zero-hour age limit, so that files made a
# moment ago already count. Nothing may reach the real home, session bus or scheduler.
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
# process id in app_pid. The variables choose the display, bus and preloads.
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
# file, and left the other entries.
trashed() {
    [ "$(ls "$home/Desktop")" = $'holiday.png\nnotes.txt' ] &&
        [ "$(ls "$home/.local/share/Trash/info" 2>/dev/null | grep -c '^Screen.*\.trashinfo$')" = 3 ]
}

# An X server on a display number it picks itself, exported as DISPLAY. -noreset: otherwise it
# resets each time its last client leaves, and a client that connects during the reset is refused.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
        >"$out/$e2e_name-xvfb.log" 2>&1 &
    pids+=($!)
    wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
    export DISPLAY=:$(head -n 1 "$work/display")
}

# An XEmbed tray host docked at the top right, like an ordinary panel; its process id in
# trayer_pid.
start_trayer() {
    trayer --edge top --align right --widthtype request --height 28 --SetDockType true \
        --SetPartialStrut true --transparent false --tint 0x303030 >"$out/$e2e_name-trayer.log" 2>&1 &
    trayer_pid=$!
    pids+=($trayer_pid)
    wait_for 10 xdotool search --onlyvisible --class trayer >/dev/null || fail "trayer did not start"
}
geometry() { # <window id>: "x y width height" on the screen
    xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
        /^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {print x, y, w, h}'
}
visible_windows() { xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null; }
# The docked icon: the app's small viewable window inside the tray, in icon_x icon_y icon_w icon_h.
find_icon() {
    local id
    for id in $(visible_windows); do
        read -r icon_x icon_y icon_w icon_h <<<"$(geometry "$id")"
        [ "$icon_w" -le 64 ] && [ "$icon_h" -le 64 ] && return 0
    done
    return 1
}
click_icon() { xdotool mousemove $((icon_x + icon_w / 2)) $((icon_y + icon_h / 2)) click 1; }

# Switches the session bus's accessibility bus on, as a screen reader does; fails where at-spi2-core
# or the Python client the walk uses is missing.
start_screen_reader_bus() {
    /usr/bin/python3 -c 'import pyatspi' 2>/dev/null && dbus-send --session --print-reply \
        --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set \
        string:org.a11y.Status string:ScreenReaderEnabled variant:boolean:true >/dev/null 2>&1
}

# start_sway <config>: sway on a headless output of its own, with its runtime folder in the work
# folder (the app's too); exports WAYLAND_DISPLAY and SWAYSOCK, or fails when sway cannot start.
start_sway() {
    export XDG_RUNTIME_DIR=$work/runtime
    WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=1 WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        HOME="$home" sway --config "$1" >"$out/$e2e_name-sway.log" 2>&1 &
    pids+=($!)
    export SWAYSOCK WAYLAND_DISPLAY
    wait_for 10 eval 'SWAYSOCK=$(compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock") &&
        WAYLAND_DISPLAY=$(cd "$XDG_RUNTIME_DIR" && compgen -G "wayland-[0-9]") &&
        swaymsg -t get_version >/dev/null 2>&1'
}
