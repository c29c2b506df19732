#!/usr/bin/env bash
# How long --preview takes over a folder whose screenshots were all put back and are therefore
# all in the kept list: every entry is looked up there. A temporary HOME per size; each size's N
# old screenshots are moved by a headless run and put back, then --preview (which then lists
# nothing) is timed, median of 5.
# Usage: bench/kept_preview.sh [path/to/quillbrook] [N ...]
#        (default: builds build-bench-release; N = 10000 20000 40000)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
binary=${1:-}
shift || true
sizes=("${@:-10000 20000 40000}")
if [[ -z "$binary" ]]; then
    build="$root/build-bench-release"
    cmake -G Ninja -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLBROOK_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" -j2 --target quillbrook >/dev/null
    binary="$build/quillbrook"
fi

echo "| kept entries | --preview, median of 5 |"
echo "|---|---|"
for count in ${sizes[*]}; do
    home=$(mktemp -d)
    mkdir -p "$home/Desktop" "$home/.config/quillbrook"
    printf '[General]\nageValue=-1\nageUnit=Hours\nsourceFolder=%s/Desktop\n' "$home" \
        >"$home/.config/quillbrook/quillbrook.conf"
    (cd "$home/Desktop" && seq -f 'Screenshot %06g.png' 1 "$count" | xargs -d '\n' touch)
    quillbrook() {
        env -i PATH="$PATH" HOME="$home" XDG_CONFIG_HOME="$home/.config" \
            XDG_DATA_HOME="$home/.local/share" XDG_STATE_HOME="$home/.local/state" \
            "$binary" "$@"
    }
    quillbrook --headless 2>/dev/null
    quillbrook --put-back >/dev/null 2>&1 || true
    times=()
    for _ in 1 2 3 4 5; do
        start=$(date +%s%N)
        listed=$(quillbrook --preview | wc -l)
        times+=($((($(date +%s%N) - start) / 1000000)))
    done
    median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n 3p)
    echo "| $count | $median ms (listed $listed) |"
    rm -rf "$home"
done
