#!/usr/bin/env bash
# Fault injection: applies each mutant of a list to the source tree in turn, rebuilds, runs the
# tests named for it and reports whether some test failed (killed) or all passed (survived).
# The tree is restored after each mutant. Usage: bash scripts/mutants.sh scripts/mutants/AREA.txt [BUILD_DIR]
# Set MUTANT_TARGETS="--target a b" to rebuild only what the listed tests need.
# Each line of a list: file|text to replace|replacement|ctest -R regex of the tests that must catch it.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
list=${1:?usage: mutants.sh LIST [BUILD_DIR]}
build=${2:-$root/build}
killed=0 survived=0 stale=0
while IFS='|' read -r file old new tests; do
    case "$file" in '' | '#'*) continue ;; esac
    path="$root/$file"
    cp "$path" "$path.orig"
    if ! python3 - "$path" "$old" "$new" <<'PY'; then
import sys
path, old, new = sys.argv[1:4]
text = open(path, encoding="utf-8").read()
if old not in text:
    sys.exit(1)
open(path, "w", encoding="utf-8").write(text.replace(old, new, 1))
PY
        echo "STALE     $file: $old"
        stale=$((stale + 1))
        rm -f "$path.orig"
        continue
    fi
    if ! cmake --build "$build" -j2 ${MUTANT_TARGETS:-} >/dev/null 2>&1; then
        verdict=KILLED # does not even build
    elif ctest --test-dir "$build" -R "$tests" -j2 --timeout 120 >/dev/null 2>&1; then
        verdict=SURVIVED
    else
        verdict=KILLED
    fi
    mv "$path.orig" "$path"
    touch "$path"
    [ "$verdict" = KILLED ] && killed=$((killed + 1)) || survived=$((survived + 1))
    printf '%-9s %s: %s -> %s\n' "$verdict" "$file" "$old" "$new"
done <"$list"
cmake --build "$build" -j2 ${MUTANT_TARGETS:-} >/dev/null 2>&1
echo "mutants: $killed killed, $survived survived, $stale stale"
[ "$survived" -eq 0 ]
