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
holds() { [ "$(ls -A "$tmp/out" | paste -sd' ')" = "$*" ] || fail "the folder holds: $(ls -A "$tmp/out")"; }
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

# ---- Bad numbers are bad input, not a failed step.
for number in -2147483649 -1e300 -99999999999999999999; do
    [ "$(status Ada "$number" a.xls)" = 2 ] && said "the number of generations is out of range" ||
        fail "GENERATIONS $number: $(cat "$tmp/err")"
done
holds
[ "$(status Ada -2147483647 a.xls)" = 0 ] || fail "the lowest number the run takes was refused"
rm "$tmp/out/a.xls"

# ---- All or nothing: the old files stay as they were (--force included) when any output
# cannot be written, and nothing new appears; a failure known before the first byte (a bitmap
# too large) is bad input.
for name in a.xls a.svg a.pdf; do echo "old $name" >"$tmp/out/$name"; done
unchanged() {
    holds a.pdf a.svg a.xls
    for name in a.xls a.svg a.pdf; do
        [ "$(cat "$tmp/out/$name")" = "old $name" ] || fail "$1 changed $name"
    done
}
[ "$(status --force --picture a.svg --pdf "$tmp/none/a.pdf" Ada 5 a.xls)" = 1 ] &&
    said "cannot write $tmp/none/a.pdf: No such file or directory" || fail "a PDF in no folder: $(cat "$tmp/err")"
unchanged "a PDF that cannot be written"
[ "$(status --force --picture a.png --pdf a.pdf Ada 15 a.xls)" = 2 ] &&
    said "a.png: the chart is too large for a bitmap; write an SVG picture instead" ||
    fail "a bitmap too large: $(cat "$tmp/err")"
unchanged "a bitmap too large"
[ "$(status --picture new.svg --pdf a.pdf Ada 5 new.xls)" = 3 ] && said "a.pdf exists; use --force to overwrite it" ||
    fail "an existing PDF without --force: $(cat "$tmp/err")"
unchanged "an existing PDF"
# A name taken by another program while the run works: that file stays, and the run's other
# outputs do not appear (the run is stopped once its new files are open, the name taken, and
# the run let go on).
(cd "$tmp/out" && exec "$cli" --picture b.svg --pdf b.pdf Ada 15 b.xls 2>"$tmp/err") &
pid=$!
until ls -l /proc/$pid/fd 2>/dev/null | grep -q "$tmp/out/"; do
    kill -0 $pid 2>/dev/null || fail "the run ended before its outputs were open"
    sleep 0.01
done
kill -STOP $pid
echo "another program's" >"$tmp/out/b.pdf"
kill -CONT $pid
code=0; wait $pid || code=$?
[ "$code" = 3 ] && said "b.pdf exists; use --force to overwrite it" || fail "a name taken meanwhile: exit $code, $(cat "$tmp/err")"
[ "$(cat "$tmp/out/b.pdf")" = "another program's" ] && rm "$tmp/out/b.pdf" || fail "the other program's file was replaced"
unchanged "a name taken meanwhile"

# ---- Out of memory at every stage (the workbook, the picture, the PDF): exit 1 with "Out of
# memory", never an abort, and nothing left; with enough memory all three are made.
for limit in 90000 100000 110000 120000 130000 250000; do
    code=$(status --force --picture a.png --pdf a.pdf Ada 8 a.xls)
    if [ "$code" = 0 ]; then
        [ -s "$tmp/out/a.png" ] && [ ! -s "$tmp/err" ] || fail "a run under $limit KiB"
        rm "$tmp/out/a.png"; for name in a.xls a.svg a.pdf; do echo "old $name" >"$tmp/out/$name"; done
    else
        [ "$code" = 1 ] && grep -q "Out of memory" "$tmp/err" || fail "under $limit KiB: exit $code, $(cat "$tmp/err")"
        [ "$(wc -l <"$tmp/err")" -le 2 ] || fail "under $limit KiB: $(cat "$tmp/err")"
        unchanged "running out of memory"
    fi
done
[ "$code" = 0 ] || fail "250 MB were not enough for 8 generations"
limit=
rm "$tmp"/out/*

# ---- Signals at several moments of a large run without a session runtime folder: the run
# ends at the signal as the signal would end it (or had finished), and leaves neither outputs
# nor temporary files nor its runtime folder; old files stay as they were, unless the run's
# outputs were all complete and in place.
mkdir "$tmp/t"
start=$(date +%s%N)
(cd "$tmp/out" && TMPDIR=$tmp/t env -u XDG_RUNTIME_DIR "$cli" --pdf a.pdf --picture a.svg G 15 a.xls)
whole=$(( ($(date +%s%N) - start) / 1000000 )) # milliseconds
rm "$tmp"/out/*
n=0
for signal in TERM INT HUP; do
    for tenth in 1 3 5 7 9; do
        n=$((n + 1))
        force=; [ $((n % 2)) = 0 ] && force=--force && for name in a.xls a.svg a.pdf; do echo "old $name" >"$tmp/out/$name"; done
        (cd "$tmp/out" && TMPDIR=$tmp/t exec env --default-signal=INT -u XDG_RUNTIME_DIR \
            "$cli" $force --pdf a.pdf --picture a.svg G 15 a.xls 2>"$tmp/err") &
        pid=$!
        sleep "$(awk "BEGIN { print $whole * $tenth / 10000 }")"
        kill -s $signal $pid 2>/dev/null || true
        code=0; wait $pid || code=$?
        [ -z "$(ls -A "$tmp/t")" ] || fail "SIG$signal at $tenth/10 left $(ls -A "$tmp/t")"
        # A signal held back while the outputs took their names arrives once they all have.
        complete=yes
        for name in a.xls a.svg a.pdf; do
            [ -s "$tmp/out/$name" ] && [ "$(head -c 4 "$tmp/out/$name")" != "old " ] || complete=
        done
        if [ -n "$complete" ]; then
            holds a.pdf a.svg a.xls
        elif [ "$code" = 0 ]; then
            fail "a finished run without its outputs: $(ls -A "$tmp/out")"
        elif [ -n "$force" ]; then
            unchanged "SIG$signal at $tenth/10"
        else
            holds
        fi
        [ "$code" = 0 ] || [ "$code" = $((128 + $(kill -l $signal))) ] || fail "SIG$signal: exit $code"
        rm -f "$tmp"/out/*
    done
done

echo "cli careful: all checks passed"
