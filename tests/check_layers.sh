#!/usr/bin/env bash
# Fails on any #include in src/ that reaches into a layer its own layer may not use: each
# library sees only those below it (platform -> settings -> cleanup, agent -> panel -> app;
# agentctl beside them, on platform alone).
set -u
src=${1:?usage: check_layers.sh SRC_DIR}
declare -A allowed=(
    [platform]="platform"
    [settings]="settings platform"
    [cleanup]="cleanup settings platform"
    [agent]="agent settings platform"
    [agentctl]="agentctl platform"
    [panel]="panel cleanup agent settings platform"
    [app]="app panel cleanup agent settings platform"
)
status=0
for layer in "${!allowed[@]}"; do
    while IFS=: read -r file line target; do
        [[ " ${allowed[$layer]} " == *" ${target%%/*} "* ]] && continue
        echo "$file:$line: $layer may not include $target" >&2
        status=1
    done < <(grep -rnoE '^#include "[a-z]+/[^"]+"' "$src/$layer" | sed -E 's/#include "([^"]+)"/\1/')
done
[ "$status" -eq 0 ] && echo "layers: every include stays in its own layer or below"
exit "$status"
