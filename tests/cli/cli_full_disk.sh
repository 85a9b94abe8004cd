#!/usr/bin/env bash
# The command-line tool on a full disk: each output written over an existing file fails with
# exit 1 and one message naming the file and the cause, the old file stays byte for byte and
# the run's other outputs are not left behind; a
# read-only file system is named as such. Mounting the small file system needs root (as on CI);
# without it the test is skipped (77).
set -euo pipefail
cli="$1"
tmp=$(mktemp -d)
disk="$tmp/disk"
mkdir "$disk"
trap 'umount -l "$disk" 2>/dev/null || true; rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
if ! mount -t tmpfs -o size=256k pq-full-disk "$disk" 2>"$tmp/why"; then
    echo "SKIP: cannot mount a small tmpfs ($(cat "$tmp/why")); the full-disk test needs root"
    exit 77
fi

# The old files, made where there was room, then every byte of the disk taken.
"$cli" --picture "$tmp/old.svg" --pdf "$tmp/old.pdf" "Ada" 3 "$tmp/old.xls"
"$cli" --picture "$tmp/old.png" "Ada" 3 "$tmp/old2.xls"
cp "$tmp"/old.* "$disk"
dd if=/dev/zero of="$disk/filler" bs=4k 2>/dev/null || true
dd if=/dev/zero of="$disk/filler" bs=1 oflag=append conv=notrunc 2>/dev/null || true

expect_failure() { # the file the tool fails to write, the cause, then the tool's arguments
    local target=$1 cause=$2 code=0
    shift 2
    "$cli" "$@" 2>"$tmp/err" || code=$?
    [ "$code" -eq 1 ] || fail "writing $target exited $code, want 1"
    # One message, the tool's own: no encoder's line beside it.
    [ "$(cat "$tmp/err")" = "pedigrafa-cli: cannot write $target: $cause" ] ||
        fail "not one message with the path and cause for $target: $(cat "$tmp/err")"
}
full="No space left on device"
expect_failure "$disk/old.xls" "$full" --force "Grace Hopper" 5 "$disk/old.xls"
expect_failure "$disk/old.svg" "$full" --force --picture "$disk/old.svg" "G H" 5 "$tmp/1.xls"
expect_failure "$disk/old.png" "$full" --force --picture "$disk/old.png" "G H" 5 "$tmp/2.xls"
expect_failure "$disk/old.pdf" "$full" --force --pdf "$disk/old.pdf" "G H" 5 "$tmp/3.xls"
for old in "$disk"/old.*; do cmp -s "$old" "$tmp/${old##*/}" || fail "$old was changed"; done
# All or nothing: the workbooks, written where there was room, did not stay either.
for n in 1 2 3; do [ ! -e "$tmp/$n.xls" ] || fail "a failed run left its workbook $tmp/$n.xls"; done
[ "$(ls "$disk" | wc -l)" -eq 5 ] || fail "files were left on the full disk: $(ls "$disk")"

mount -o remount,ro "$disk"
expect_failure "$disk/new.xls" "Read-only file system" "Grace Hopper" 2 "$disk/new.xls"
echo "cli full disk: all checks passed"
