# Sourced by the end-to-end scripts: a work folder, child processes ended on exit, progress and
# failure reports, polling, the app's clean environment, and a display of their own (an X server
# or a headless Wayland compositor). Set `e2e_name` (the prefix of the files in <out>) and `out`.

work=$(mktemp -d)
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}"; done
    rm -rf "$work"
}
trap cleanup EXIT

step() { echo "-- $*"; }
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

# An X server on a display number it picks itself, exported as DISPLAY. -noreset: otherwise it
# resets each time its last client leaves, and a client that connects during the reset is refused.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
        >"$out/$e2e_name-xvfb.log" 2>&1 &
    pids+=($!)
    wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
    export DISPLAY=:$(head -n 1 "$work/display")
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
