#!/usr/bin/env bash
# The manual pages render with groff and man without a warning, have the sections a reader
# looks for, and give whatis/apropos a proper NAME line.
#   manual_pages.sh SOURCE_DIR
set -uo pipefail
. "$(dirname "$0")/common.sh"
source_dir=${1:?usage: manual_pages.sh SOURCE_DIR}
require_tools groff man lexgrog
make_scratch
export LC_ALL=C.UTF-8 MANWIDTH=80

check_page() {
    local page=$1 name title
    shift
    local path=$source_dir/packaging/$page
    [ -f "$path" ] || { fail "$page does not exist"; return; }
    name=${page%.1}

    # -ww: every warning groff knows; -z: format, print nothing but the messages.
    if ! out=$(groff -man -Tutf8 -ww -z "$path" 2>&1) || [ -n "$out" ]; then
        echo "$out" >&2
        fail "groff warns about $page"
    fi
    if ! out=$(man --warnings=all -l "$path" 2>&1 >"$SCRATCH/$name.txt") || [ -n "$out" ]; then
        echo "$out" >&2
        fail "man -l warns about $page"
    fi
    title=$(head -n1 "$SCRATCH/$name.txt")
    grep -q "^${name^^}(1) " <<<"$title" || fail "$page renders with the title \"$title\""

    local section
    for section in "$@"; do
        grep -qx "$section" "$SCRATCH/$name.txt" || fail "$page has no $section section"
    done
    # Each line of the rendered page fits the terminal.
    awk -v w="$MANWIDTH" 'length($0) > w { bad = 1 } END { exit bad }' "$SCRATCH/$name.txt" ||
        fail "$page renders lines wider than $MANWIDTH columns"

    out=$(lexgrog "$path" 2>&1)
    grep -qF "\"$name - " <<<"$out" || fail "$page has no NAME line for whatis: $out"
}

check_page pedigrafa-cli.1 NAME SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" EXAMPLES FILES "SEE ALSO"
check_page pedigrafa.1 NAME SYNOPSIS DESCRIPTION "SEE ALSO"

# What the tool's page says matches the tool: every option it documents, every exit status.
cli=$SCRATCH/pedigrafa-cli.txt
if [ -f "$cli" ]; then
    for option in --picture --pdf --force --help --version; do
        grep -q -- "^ *$option\b\|, $option\b" "$cli" || fail "pedigrafa-cli.1 does not describe $option"
    done
    for status in 0 1 2 3; do
        sed -n '/^EXIT STATUS$/,/^EXAMPLES$/p' "$cli" | grep -qx "       $status .*" ||
            fail "pedigrafa-cli.1 does not describe exit status $status"
    done
    sed -n '/^EXAMPLES$/,/^FILES$/p' "$cli" | grep -q -- '--pdf' ||
        fail "pedigrafa-cli.1 has no example with a PDF"
    sed -n '/^EXAMPLES$/,/^FILES$/p' "$cli" | grep -q '^ *for .*; do$' ||
        fail "pedigrafa-cli.1 has no example for several people"
fi

finish
