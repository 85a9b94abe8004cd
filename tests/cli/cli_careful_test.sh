#!/usr/bin/env bash
# pedigrafa-cli against what a user, a script or a full machine does to it: input that never
# ends or is not a family tree, too little memory, signals in the middle of a run, an output
# that cannot be written after others could. Each ends with a clear message, the right exit
# status and the folder as it was.
set -euo pipefail
cli=$(realpath "$1")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs the tool in $tmp/out (under a memory limit of `limit` KiB when set); prints its exit
# status. Standard error goes to $tmp/err.
mkdir "$tmp/out"
limit=
status() {
    local code=0
    (cd "$tmp/out" && { [ -z "$limit" ] || ulimit -v "$limit"; } &&
        exec timeout 60 "$cli" "$@") 2>"$tmp/err" >/dev/null || code=$?
    echo $code
}
# The output folder holds exactly these names.
holds() { [ "$(ls -A "$tmp/out" | tr '\n' ' ')" = "$*" ] || fail "the folder holds: $(ls -A "$tmp/out")"; }
said() { grep -qxF "pedigrafa-cli: $1" "$tmp/err" || fail "stderr is not \"$1\": $(cat "$tmp/err")"; }

# ---- Bounded input: regular files of at most 2 GiB only, given up at their first bytes when
# they are not a family tree, even under a memory limit far below their size.
mkfifo "$tmp/pipe.ged"
truncate -s 2G "$tmp/nul.ged"
printf '0 HEAD\n' >"$tmp/huge.ged" && truncate -s 3G "$tmp/huge.ged"
limit=500000
for probe in "/dev/zero|cannot read /dev/zero: a device, not a regular file; only files are read" \
    "/dev/null|cannot read /dev/null: a device, not a regular file; only files are read" \
    "$tmp/pipe.ged|cannot read $tmp/pipe.ged: a FIFO, not a regular file; only files are read" \
    "$tmp/nul.ged|$tmp/nul.ged line 1: this is not a family-tree (GEDCOM) file: it does not begin with \"0 HEAD\"" \
    "$tmp/huge.ged|cannot read $tmp/huge.ged: it is larger than 2 GiB, more than any family-tree file holds"; do
    [ "$(status --gedcom "${probe%%|*}" Ada 5 a.xls)" = 2 ] ||
        fail "--gedcom ${probe%%|*}: exit not 2: $(cat "$tmp/err")"
    said "${probe#*|}"
    holds
done
# A family tree too large for the memory there is: a clear failure, not an abort.
truncate -s 1G "$tmp/huge.ged"
[ "$(status --gedcom "$tmp/huge.ged" Ada 5 a.xls)" = 1 ] && said "cannot read $tmp/huge.ged: out of memory" ||
    fail "a family tree larger than the memory: $(cat "$tmp/err")"
holds
limit=
rm -f "$tmp/nul.ged" "$tmp/huge.ged"

echo "cli careful: all checks passed"
