#!/usr/bin/env bash
# The command-line tool as a user calls it: help, exit codes, no overwriting without --force (not
# even by a writer racing another), only regular files replaced with it, errors that name the
# file and the cause, and a workbook that an independent reader (python3-xlrd) accepts.
set -euo pipefail
cli="$1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# The paper follows the locale; the checks below expect A4 unless they choose.
export LC_ALL=C.UTF-8

"$cli" --help | grep -q "GENERATIONS" || fail "--help does not describe the arguments"

set +e
"$cli" "Ada" "abc" "$tmp/a.xls" 2>"$tmp/err"; code=$?
set -e
[ "$code" -eq 2 ] || fail "non-numeric generations exit $code, want 2"
grep -q "must be a number" "$tmp/err" || fail "no clear message for bad generations"
[ ! -e "$tmp/a.xls" ] || fail "a file was written for bad input"

set +e
"$cli" "Ada" 2>/dev/null; code=$?
set -e
[ "$code" -eq 2 ] || fail "missing arguments exit $code, want 2"

# As a cron job runs it: no session runtime folder, and nothing but errors on stderr.
mkdir "$tmp/t"
TMPDIR=$tmp/t env -u XDG_RUNTIME_DIR "$cli" "Ada Lovelace" 5 "$tmp/ada.xls" \
    --picture "$tmp/ada.svg" --pdf "$tmp/ada.pdf" 2>"$tmp/err"
[ -s "$tmp/ada.xls" ] && [ -s "$tmp/ada.svg" ] && [ -s "$tmp/ada.pdf" ] || fail "files missing"
[ ! -s "$tmp/err" ] || fail "a successful run printed: $(cat "$tmp/err")"
[ -z "$(ls -A "$tmp/t")" ] || fail "the run left $(ls -A "$tmp/t") in the temporary folder"

set +e
"$cli" "Someone Else" 3 "$tmp/ada.xls" 2>/dev/null; code=$?
set -e
[ "$code" -eq 3 ] || fail "existing file exit $code, want 3"
"$cli" --force "Someone Else" 3 "$tmp/ada.xls"

# Runs the tool; prints its exit status. Standard error goes to $tmp/err.
status() { local code=0; timeout 60 "$cli" "$@" 2>"$tmp/err" >/dev/null || code=$?; echo $code; }

# Eight writers of one new name without --force: one wins, the others find the name taken.
for i in 1 2 3 4 5 6 7 8; do status "Writer $i" 3 "$tmp/race.xls" >"$tmp/race.$i" & done
wait
codes=$(sort "$tmp"/race.? | tr '\n' ' ')
[ "$codes" = "0 3 3 3 3 3 3 3 " ] || fail "racing writers exited $codes, want one 0 and seven 3"

mkfifo "$tmp/fifo.xls"
[ "$(status --force Ada 3 "$tmp/fifo.xls")" = 2 ] && [ -p "$tmp/fifo.xls" ] ||
    fail "--force over a FIFO was not refused"
[ "$(status --pdf "$tmp/same.xls" Ada 3 "$tmp/same.xls")" = 2 ] &&
    [ "$(status --picture "$tmp/p.svg" --pdf "$tmp/./p.svg" Ada 3 "$tmp/w.xls")" = 2 ] &&
    [ ! -e "$tmp/same.xls" ] || fail "outputs on one path were not refused"
[ "$(status Ada 3 "$tmp/missing/ada.xls")" = 1 ] &&
    grep -qxF "pedigrafa-cli: cannot write $tmp/missing/ada.xls: No such file or directory" \
        "$tmp/err" || fail "no exit 1 naming the path and cause: $(cat "$tmp/err")"
[ "$(status "$(printf '%*s' 40000 '' | tr ' ' x)" 3 "$tmp/long.xls")" = 2 ] ||
    fail "an overlong name is not bad input"
codes=$(status Ada -3 "$tmp/n3.xls")$(status Ada -0 "$tmp/n0.xls")$(status -- -A 2 "$tmp/d.xls")
[ "$codes" = 000 ] || fail "negative generations or -- refused: $(cat "$tmp/err")"

/usr/bin/python3 - "$tmp/ada.xls" <<'PY'
import sys, xlrd
book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
sheet = book.sheet_by_index(book.sheet_names().index(book.sheet_names()[0]))
title = sheet.cell_value(1, 1)
assert title == "Family Tree for Someone Else", title
assert sheet.cell_value(2, 1) == "3 Generations", sheet.cell_value(2, 1)
boxes = [(r, c) for r in range(sheet.nrows) for c in range(sheet.ncols)
         if book.xf_list[sheet.cell_xf_index(r, c)].background.pattern_colour_index == 0x32]
assert sorted(boxes) == [(4, 1), (5, 2), (6, 1), (7, 3), (8, 1), (9, 2), (10, 1)], boxes
PY
# PDFs: each page draws only its part, so a 12-generation chart stays small; the title is the
# document's and the chart's text stays text.
pdf_field() { pdfinfo "$1" | sed -n "s/^$2: *//p"; }
"$cli" --pdf "$tmp/g12.pdf" "Grace Hopper" 12 "$tmp/g12.xls"
[ "$(pdf_field "$tmp/g12.pdf" Pages)" -eq 37 ] || fail "12 generations: $(pdf_field "$tmp/g12.pdf" Pages) pages, want 37"
size=$(stat -c %s "$tmp/g12.pdf")
[ "$size" -lt 400000 ] || fail "12 generations: PDF of $size bytes"
[ "$(pdf_field "$tmp/g12.pdf" Title)" = "Family Tree for Grace Hopper" ] || fail "PDF title"
pdftotext -l 1 "$tmp/g12.pdf" - | grep -q "Family Tree for Grace Hopper" || fail "title is not text"

"$cli" --pdf "$tmp/one.pdf" --pdf-fit page "Grace Hopper" 9 "$tmp/g9.xls"
[ "$(pdf_field "$tmp/one.pdf" Pages)" -eq 1 ] || fail "--pdf-fit page gives more than one page"
pdf_field "$tmp/one.pdf" "Page size" | grep -q "595 x 842" || fail "a tall chart on one page is upright"
"$cli" --force --pdf "$tmp/one.pdf" --pdf-fit page "Grace Hopper" 4 "$tmp/g4.xls"
pdf_field "$tmp/one.pdf" "Page size" | grep -q "842 x 595" || fail "a wide chart on one page is turned"
"$cli" --pdf "$tmp/poster.pdf" --pdf-pages-wide 3 "Grace Hopper" 9 "$tmp/g9p.xls"
[ $(( $(pdf_field "$tmp/poster.pdf" Pages) % 3 )) -eq 0 ] || fail "a poster 3 pages wide has whole rows of pages"
set +e
"$cli" --pdf "$tmp/bad.pdf" --pdf-fit poster "Ada" 3 "$tmp/bad.xls" 2>/dev/null; code=$?
set -e
[ "$code" -eq 2 ] && [ ! -e "$tmp/bad.xls" ] || fail "unknown --pdf-fit exit $code, want 2 and no files"

# The paper: the locale's by default (Letter in the US), --paper otherwise, in the PDF and in the
# workbook's page set-up alike.
LC_ALL=en_US.UTF-8 "$cli" --pdf "$tmp/us.pdf" --pdf-fit page "Ada" 5 "$tmp/us.xls"
pdf_field "$tmp/us.pdf" "Page size" | grep -q "792 x 612" || fail "the US locale's paper is not Letter"
"$cli" --pdf "$tmp/legal.pdf" --paper legal "Ada" 5 "$tmp/legal.xls"
pdf_field "$tmp/legal.pdf" "Page size" | grep -q "612 x 1008" || fail "--paper legal"
# The SETUP record's paper size (its first field): 1 Letter, 5 Legal.
setup_paper() { od -An -tx1 -v "$1" | tr -d '\n' | grep -o ' a1 00 22 00 [0-9a-f][0-9a-f] 00' | head -1 | cut -c14-15; }
[ "$(setup_paper "$tmp/us.xls")" = 01 ] && [ "$(setup_paper "$tmp/legal.xls")" = 05 ] ||
    fail "the workbook's page set-up does not name the paper"
set +e
"$cli" --pdf "$tmp/b5.pdf" --paper B5 "Ada" 3 "$tmp/b5.xls" 2>"$tmp/err"; code=$?
set -e
[ "$code" -eq 2 ] && [ ! -e "$tmp/b5.xls" ] && grep -q "A4, Letter, Legal, A3, Tabloid" "$tmp/err" ||
    fail "unknown --paper exit $code, want 2, no files and the papers named"

# A plan beyond the page limit is refused before anything is written, with the page count.
set +e
"$cli" --pdf "$tmp/huge.pdf" --pdf-pages-wide 20 "Ada" 15 "$tmp/huge.xls" 2>"$tmp/err"; code=$?
set -e
[ "$code" -eq 2 ] && [ ! -e "$tmp/huge.xls" ] && [ ! -e "$tmp/huge.pdf" ] ||
    fail "a 35,115-page poster exit $code, want 2 and no files"
grep -q "35,115 pages, more than the limit of 1,000; give --max-pages 35115" "$tmp/err" ||
    fail "the refusal does not say how many pages: $(cat "$tmp/err")"
"$cli" --pdf "$tmp/g9many.pdf" --max-pages 1 --pdf-fit page "Ada" 9 "$tmp/g9many.xls" ||
    fail "--max-pages 1 refuses a one-page plan"

echo "cli: all checks passed"
