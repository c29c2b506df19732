#!/usr/bin/env bash
# Builds a Release tree of its own, then runs every benchmark and prints the tables.
# Extra arguments go to bench.py (e.g. --sizes 1000,10000 --reps 1000:5,10000:3 for a quick look).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build-bench-release"

cmake -G Ninja -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DQUILLBROOK_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target quillbrook run_now_stall
cc -O2 -Wall -Wextra -o "$build/trash_floor" "$root/bench/trash_floor.c"

exec python3 "$root/bench/bench.py" --quillbrook "$build/quillbrook" --floor "$build/trash_floor" --stall "$build/run_now_stall" \
    --tray-rss "bash '$root/bench/tray_rss.sh' '$build/quillbrook'" "$@"
