#!/usr/bin/env bash
# System calls per trashed entry of one headless run: a temporary HOME with N old screenshots on
# the Desktop, the run traced with `strace -c -f`, the total divided by N.
# Usage: bench/syscalls.sh [path/to/quillbrook] [N]   (default: builds build-bench-release)
#
# On ext4 a file's birth time is the moment it was made, and the age rule reads the birth time
# first, so files made by this script are never "old" by their dates. The run therefore uses an
# age limit of -1 hour (the cutoff lies an hour in the future): every screenshot counts as old
# and the run moves all N, exactly as a real run moves old ones. The fixed costs (start-up,
# settings, the end-of-run flush) are spread over N, so N should be large.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
binary=${1:-}
count=${2:-10000}
if [[ -z "$binary" ]]; then
    build="$root/build-bench-release"
    cmake -G Ninja -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLBROOK_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" -j2 --target quillbrook >/dev/null
    binary="$build/quillbrook"
fi

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/Desktop" "$home/.config/quillbrook"
printf '[General]\nageValue=-1\nageUnit=Hours\nsourceFolder=%s/Desktop\n' "$home" \
    >"$home/.config/quillbrook/quillbrook.conf"
(cd "$home/Desktop" && seq -f 'Screenshot %05g.png' 1 "$count" | xargs -d '\n' touch -d '2020-01-01')

env -i PATH="$PATH" HOME="$home" XDG_CONFIG_HOME="$home/.config" \
    XDG_DATA_HOME="$home/.local/share" XDG_STATE_HOME="$home/.local/state" \
    strace -c -f -o "$home/strace.txt" "$binary" --headless 2>/dev/null

moved=$(find "$home/.local/share/Trash/files" -mindepth 1 -maxdepth 1 | wc -l)
total=$(awk '$NF == "total" { print $(NF-2) }' "$home/strace.txt")
echo "entries moved: $moved of $count"
sed -n '1,20p' "$home/strace.txt"
awk -v t="$total" -v n="$moved" 'BEGIN { printf "system calls per entry: %.2f (%d in all)\n", t / n, t }'
