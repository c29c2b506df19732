#!/usr/bin/env bash
# Renders each manual page given as man shows it at 80 columns and fails on a word that a hyphen
# breaks across two lines: paths, unit names and options must come out whole for copy and paste.
set -u
export LC_ALL=C.UTF-8 MANWIDTH=80
status=0
for page in "$@"; do
    if ! rendered=$(man -l "$page"); then
        echo "$page: man cannot render it" >&2
        status=1
    elif broken=$(grep -nP '[[:alnum:]][\x{2010}-]$' <<<"$rendered"); then
        printf '%s: a word broken at the end of a line:\n%s\n' "$page" "$broken" >&2
        status=1
    fi
done
exit "$status"
