# Sourced by the end-to-end scripts: a work folder, child processes ended on exit, progress and
# failure reports, polling, and an X server of their own. Set `e2e_name` (the prefix of the logs in
# <out>) and `out` before sourcing.

work=$(mktemp -d)
pids=()
cleanup() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT

step() { echo "-- $*"; }
fail() {
    echo "FAIL: $*" >&2
    [ -n "${DISPLAY:-}" ] && import -display "$DISPLAY" -window root "$out/$e2e_name-failure.png" \
        2>/dev/null && echo "screen at the failure: $out/$e2e_name-failure.png" >&2
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

# An X server on a display number it picks itself, exported as DISPLAY. -noreset: otherwise it
# resets each time its last client leaves, and a client that connects during the reset is refused.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" \
        >"$out/$e2e_name-xvfb.log" 2>&1 &
    pids+=($!)
    wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
    export DISPLAY=:$(head -n 1 "$work/display")
}
