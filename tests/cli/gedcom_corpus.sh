#!/usr/bin/env bash
# Our own small family-tree files under tests/cli/gedcom_corpus, each with the chart and the
# warnings it should give beside it (NAME.expect): the command-line tool fills the chart, and
# python3-xlrd reads every box (names by Ahnentafel number, years below them), the title, the
# column widths and the shrink-to-fit attribute; the warnings on stderr must be the expected
# ones, each with its line. No cell may carry U+FFFD, a control character or an @.
#   gedcom_corpus.sh PEDIGRAFA-CLI
set -euo pipefail
cli="$1"
corpus="$(dirname "$0")/gedcom_corpus"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
count=0
for ged in "$corpus"/*.ged; do
    name=$(basename "$ged" .ged)
    expect="$corpus/$name.expect"
    person=$(sed -n 's/^person //p' "$expect")
    generations=$(sed -n 's/^generations //p' "$expect")
    "$cli" --gedcom "$ged" "$person" "$generations" "$tmp/$name.xls" 2>"$tmp/$name.err" ||
        { echo "FAIL: $name: exit $?: $(cat "$tmp/$name.err")" >&2; exit 1; }
    PYTHONPATH="$(cd "$(dirname "$0")/../scripts" && pwd)" /usr/bin/python3 - "$tmp/$name.xls" "$expect" "$tmp/$name.err" "$ged" <<'PY' ||
import re, sys, xlrd
from chartcells import box, filled_cells
book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
sheet = book.sheet_by_index(0)
want = {"boxes": {}, "warnings": []}
for line in open(sys.argv[2], encoding="utf-8").read().splitlines():
    key, _, rest = line.partition(" ")
    if key == "box":
        number, _, texts = rest.partition(" ")
        name, _, years = texts.partition(" |")
        want["boxes"][int(number)] = (name, years.strip())
    elif key == "warning":
        number, _, text = rest.partition(" ")
        want["warnings"].append((number, text))
    elif key and not key.startswith("#"):
        want[key] = rest
columns = int(want["generations"])

title = sheet.cell_value(1, 1)
assert title == "Family Tree for " + want["title"], title
expected = {}
for number, (name, years) in want["boxes"].items():
    row, col = box(number, columns)
    expected[(row, col)] = name
    if years:
        expected[(row + 1, col)] = years
found = filled_cells(sheet)
assert found == expected, (sorted(found.items()), sorted(expected.items()))
for text in [title] + list(found.values()):
    assert "\ufffd" not in text and "@" not in text, text
    assert not re.search("[\x00-\x1f\x7f-\x9f]", text), repr(text)
for (row, col) in found:
    assert book.xf_list[sheet.cell_xf_index(row, col)].alignment.shrink_to_fit, (row, col)
widths = {sheet.colinfo_map[c].width for c in range(1, 1 + columns)}
assert len(widths) == 1, ("generation columns of different widths", widths)

prefix = "pedigrafa-cli: warning: %s line " % sys.argv[4]
lines = open(sys.argv[3], encoding="utf-8").read().splitlines()
assert all(l.startswith(prefix) for l in lines), lines
got = [l[len(prefix):] for l in lines]
assert len(got) == len(want["warnings"]), ("warnings", got)
for number, text in want["warnings"]:
    assert any(g.startswith(number + ": ") and text in g for g in got), (number, text, got)
PY
        { echo "FAIL: $name" >&2; exit 1; }
    count=$((count + 1))
done
echo "gedcom corpus: $count files give the charts and warnings expected"
