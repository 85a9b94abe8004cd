#!/usr/bin/env bash
# pedigrafa-cli --gedcom as a user calls it: a chart filled from a family-tree file that an
# independent reader (python3-xlrd) finds with every known ancestor in the right box and the
# life years below it; ambiguous names and broken links on stderr with the right exit codes.
set -euo pipefail
cli="$1"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Zoë's parents are cousins through Hugo and Ines, who fill two boxes each; her father's
# mother is unknown.
cat > "$tmp/family.ged" <<'GED'
0 HEAD
1 GEDC
2 VERS 5.5.1
1 CHAR UTF-8
0 @I1@ INDI
1 NAME Zoë /Müller/
1 BIRT
2 DATE 3 MAY 1901
1 FAMC @F1@
0 @I2@ INDI
1 NAME Karl /Müller/
1 BIRT
2 DATE ABT 1870
1 DEAT
2 DATE 1944
1 FAMC @F2@
0 @I3@ INDI
1 NAME Anna /Roth/
1 CHR
2 DATE 1875
1 FAMC @F3@
0 @I4@ INDI
1 NAME Otto /Müller/
1 BURI
2 DATE 1911
1 FAMC @F4@
0 @I5@ INDI
1 NAME Paul /Roth/
1 FAMC @F4@
0 @I6@ INDI
1 NAME Greta /Lang/
0 @I7@ INDI
1 NAME Hugo /Müller/
1 BIRT
2 DATE BET 1810 AND 1815
0 @I8@ INDI
1 NAME Ines /Vogt/
0 @I9@ INDI
1 NAME Karl /Müller/
0 @F1@ FAM
1 HUSB @I2@
1 WIFE @I3@
1 CHIL @I1@
0 @F2@ FAM
1 HUSB @I4@
0 @F3@ FAM
1 HUSB @I5@
1 WIFE @I6@
0 @F4@ FAM
1 HUSB @I7@
1 WIFE @I8@
0 TRLR
GED

"$cli" --gedcom "$tmp/family.ged" "zoe muller" 4 "$tmp/zoe.xls" --picture "$tmp/zoe.svg" \
    --pdf "$tmp/zoe.pdf" 2>"$tmp/err" || fail "filled chart exit $?: $(cat "$tmp/err")"
! grep -q "pedigrafa-cli" "$tmp/err" || fail "warnings for a sound file: $(cat "$tmp/err")"
[ -s "$tmp/zoe.pdf" ] || fail "no PDF"
grep -q "Anna Roth" "$tmp/zoe.svg" || fail "the picture does not show the names"

PYTHONPATH="$(cd "$(dirname "$0")/../scripts" && pwd)" /usr/bin/python3 - "$tmp/zoe.xls" <<'PY'
import sys, xlrd
from chartcells import box, filled_cells
book = xlrd.open_workbook(sys.argv[1], formatting_info=True)
sheet = book.sheet_by_index(0)
columns = 4
expected = {1: ("Zoë Müller", "b. 1901"), 2: ("Karl Müller", "c. 1870–1944"),
            3: ("Anna Roth", "b. 1875"), 4: ("Otto Müller", "d. 1911"), 6: ("Paul Roth", ""),
            7: ("Greta Lang", ""), 8: ("Hugo Müller", "b. c. 1810"), 9: ("Ines Vogt", ""),
            12: ("Hugo Müller", "b. c. 1810"), 13: ("Ines Vogt", "")}

assert sheet.cell_value(1, 1) == "Family Tree for Zoë Müller", sheet.cell_value(1, 1)
assert sheet.cell_value(2, 1) == "4 Generations"
texts = {}
for number, (name, years) in expected.items():
    row, col = box(number, columns)
    xf = book.xf_list[sheet.cell_xf_index(row, col)]
    assert xf.background.pattern_colour_index == 0x32, ("not a box", number)
    texts[(row, col)] = name
    if years:
        texts[(row + 1, col)] = years
found = filled_cells(sheet)
assert found == texts, (sorted(found.items()), sorted(texts.items()))
PY

set +e
"$cli" --gedcom "$tmp/family.ged" "Karl Müller" 3 "$tmp/karl.xls" 2>"$tmp/err"; code=$?
set -e
[ "$code" -eq 2 ] || fail "an ambiguous name exit $code, want 2"
grep -q '^  @I2@ Karl Müller (c. 1870–1944)$' "$tmp/err" || fail "no candidates: $(cat "$tmp/err")"
grep -q '^  @I9@ Karl Müller$' "$tmp/err" || fail "no second candidate: $(cat "$tmp/err")"
[ ! -e "$tmp/karl.xls" ] || fail "a file was written for an ambiguous name"
"$cli" --gedcom "$tmp/family.ged" @I9@ 3 "$tmp/karl.xls" || fail "a cross-reference was refused"

sed 's/^1 WIFE @I6@$/1 WIFE @I66@/' "$tmp/family.ged" > "$tmp/broken.ged"
"$cli" --gedcom "$tmp/broken.ged" @I1@ 4 "$tmp/broken.xls" 2>"$tmp/err" ||
    fail "a broken link stopped the chart: $(cat "$tmp/err")"
grep -qF "pedigrafa-cli: warning: $tmp/broken.ged line 48: @I66@ names no person" "$tmp/err" ||
    fail "the broken link is not reported with its line: $(cat "$tmp/err")"

set +e
"$cli" --gedcom "$tmp/zoe.xls" Zoë 4 "$tmp/not.xls" 2>"$tmp/err"; code=$?
set -e
[ "$code" -eq 2 ] || fail "a workbook as family tree exit $code, want 2"
grep -q "zoe.xls line 1: this is not a family-tree (GEDCOM) file" "$tmp/err" ||
    fail "no clear error for a file that is not GEDCOM: $(cat "$tmp/err")"
echo "cli --gedcom: all checks passed"
