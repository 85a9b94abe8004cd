#!/usr/bin/env bash
# The command-line tool on a full disk: each output written over an existing file fails with
# exit 1 and a message naming the file and the cause, and the old file stays byte for byte; on a
# read-only file system the message says so.
# Mounting the small file system needs root (as on CI); without it the test is skipped (77).
set -euo pipefail
cli="$1"
tmp=$(mktemp -d)
disk="$tmp/disk"
mkdir "$disk"
cleanup() {
    umount -l "$disk" 2>/dev/null || true
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

if ! mount -t tmpfs -o size=256k pq-full-disk "$disk" 2>"$tmp/why"; then
    echo "SKIP: cannot mount a small tmpfs ($(cat "$tmp/why")); the full-disk test needs root"
    exit 77
fi

# The old files: an earlier chart, made where there was room.
"$cli" --picture "$tmp/old.svg" --pdf "$tmp/old.pdf" "Ada" 3 "$tmp/old.xls"
"$cli" --picture "$tmp/old.png" "Ada" 3 "$tmp/old2.xls"
for ext in xls svg png pdf; do cp "$tmp/old.$ext" "$disk/keep.$ext"; done
dd if=/dev/zero of="$disk/filler" bs=4k 2>/dev/null || true
dd if=/dev/zero of="$disk/filler" bs=1 oflag=append conv=notrunc 2>/dev/null || true

expect_kept() { # what the tool was asked to write over, then the tool's arguments
    local target=$1 code=0
    shift
    "$cli" --force "$@" 2>"$tmp/err" || code=$?
    [ "$code" -eq 1 ] || fail "writing $target on a full disk exited $code, want 1"
    grep -qxF "pedigrafa-cli: cannot write $target: No space left on device" "$tmp/err" ||
        fail "no clear message for $target: $(cat "$tmp/err")"
    cmp -s "$target" "$tmp/old.${target##*.}" || fail "$target was changed"
}
expect_kept "$disk/keep.xls" "Grace Hopper" 5 "$disk/keep.xls"
expect_kept "$disk/keep.svg" --picture "$disk/keep.svg" "Grace Hopper" 5 "$tmp/new1.xls"
expect_kept "$disk/keep.png" --picture "$disk/keep.png" "Grace Hopper" 5 "$tmp/new2.xls"
expect_kept "$disk/keep.pdf" --pdf "$disk/keep.pdf" "Grace Hopper" 5 "$tmp/new3.xls"
[ "$(ls "$disk")" = "$(printf 'filler\nkeep.pdf\nkeep.png\nkeep.svg\nkeep.xls')" ] ||
    fail "files were left on the full disk: $(ls "$disk")"

# A read-only file system says so, too.
mount -o remount,ro "$disk"
code=0
"$cli" "Grace Hopper" 2 "$disk/new.xls" 2>"$tmp/err" || code=$?
[ "$code" -eq 1 ] || fail "writing to a read-only file system exited $code, want 1"
grep -qxF "pedigrafa-cli: cannot write $disk/new.xls: Read-only file system" "$tmp/err" ||
    fail "no clear message for a read-only file system: $(cat "$tmp/err")"
echo "cli full disk: all checks passed"
