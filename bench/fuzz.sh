#!/usr/bin/env bash
# Runs every fuzz target for longer than the test command does (default 10 minutes each, or the
# number of seconds given), two at a time, keeping the corpus in build-fuzz/fuzz/corpus.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-600}
cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
for target in build-fuzz/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    mkdir -p "build-fuzz/fuzz/corpus/$name"
    echo "== $name: ${seconds}s"
    (cd build-fuzz/fuzz && "./$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$root/build-fuzz/fuzz/$name-" \
        "corpus/$name" "$root/tests/fuzz/corpus/$name" 2>&1 | grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done|==[0-9]+==ERROR|SUMMARY)') &
    # Two at a time: the machine has two cores.
    while [ "$(jobs -rp | wc -l)" -ge 2 ]; do sleep 1; done
done
wait
echo "Artifacts of failures, if any: $(ls build-fuzz/fuzz/*-crash-* build-fuzz/fuzz/*-timeout-* 2>/dev/null || echo none)"
