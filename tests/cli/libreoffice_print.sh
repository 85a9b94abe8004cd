#!/usr/bin/env bash
# The workbook as LibreOffice prints it (converted to PDF with its print settings): the chart
# fitted to the width of upright A4 pages, the title on every page.
set -euo pipefail
cli="$1"
. "$(dirname "$0")/../support/require_tools.sh"
require_tools soffice pdfinfo pdftotext
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$cli" "Tamsin Orrow" 5 "$tmp/five.xls"
"$cli" "Tamsin Orrow" 8 "$tmp/eight.xls"
soffice "-env:UserInstallation=file://$tmp/profile" --headless --convert-to pdf \
    --outdir "$tmp" "$tmp/five.xls" "$tmp/eight.xls" >/dev/null 2>&1
pages() { pdfinfo "$1" | sed -n 's/^Pages: *//p'; }

[ "$(pages "$tmp/five.pdf")" -eq 1 ] || fail "5 generations print on $(pages "$tmp/five.pdf") pages"
n=$(pages "$tmp/eight.pdf")
[ "$n" -gt 1 ] || fail "8 generations print on one page: not fitted to the width only"
for pdf in "$tmp/five.pdf" "$tmp/eight.pdf"; do
    pdfinfo -f 1 -l "$(pages "$pdf")" "$pdf" | grep "^Page .* size:" | grep -qv "595.* x 841.*" &&
        fail "$(basename "$pdf"): a page is not upright A4"
done
for page in $(seq 1 "$n"); do
    pdftotext -f "$page" -l "$page" "$tmp/eight.pdf" - | grep -q "Family Tree for Tamsin Orrow" ||
        fail "page $page of 8 generations has no title"
done
echo "LibreOffice prints the chart on $n upright pages, each under the title"

# A filled chart of 8 generations whose every name is longer than its box: LibreOffice prints
# each name whole and inside its own box (shrunk to fit), in eight columns of one width, the
# title whole too. pdftotext gives each printed line with its extent; clipped text would still
# be extracted whole, so the extent is what is checked.
/usr/bin/python3 - "$tmp/long.ged" <<'PY'
import sys
given = ["Maximiliana", "Bartholomew", "Wilhelmina", "Konstantin", "Alexandrina", "Theodosius"]
surnames = ["Featherstonehaugh", "Oppenheimer-Lindqvist", "Vanderbilt-Castellano",
            "Szczepańska", "Montgomery-Whitfield"]
lines = ["0 HEAD", "1 GEDC", "2 VERS 5.5.1", "1 CHAR UTF-8"]
for k in range(1, 256):
    lines += ["0 @I%d@ INDI" % k,
              "1 NAME %s %s /%s/" % (given[k % 6], given[k * 5 % 6], surnames[k % 5]),
              "1 BIRT", "2 DATE %d" % (1950 - 25 * (k.bit_length() - 1))]
    if k < 128:
        lines.append("1 FAMC @F%d@" % k)
for k in range(1, 128):
    lines += ["0 @F%d@ FAM" % k, "1 HUSB @I%d@" % (2 * k), "1 WIFE @I%d@" % (2 * k + 1)]
open(sys.argv[1], "w", encoding="utf-8").write("\n".join(lines + ["0 TRLR"]) + "\n")
PY
"$cli" --gedcom "$tmp/long.ged" @I1@ 8 "$tmp/long.xls"
soffice "-env:UserInstallation=file://$tmp/profile" --headless --convert-to pdf \
    --outdir "$tmp" "$tmp/long.xls" >/dev/null 2>&1
pdftotext -bbox-layout "$tmp/long.pdf" "$tmp/long.html"
/usr/bin/python3 - "$tmp/long.html" "$tmp/long.ged" <<'PY' || fail "long names are cut in print"
import html, re, sys
names = {" ".join(l.split(" ", 2)[2].replace("/", " ").split())
         for l in open(sys.argv[2], encoding="utf-8") if l.startswith("1 NAME")}
lines = []
for m in re.finditer(r'<line xMin="([\d.]+)" yMin="[\d.]+" xMax="([\d.]+)"[^>]*>(.*?)</line>',
                     open(sys.argv[1], encoding="utf-8").read(), re.S):
    words = [html.unescape(w) for w in re.findall(r"<word[^>]*>(.*?)</word>", m.group(3))]
    lines.append((float(m.group(1)), float(m.group(2)), " ".join(words)))
# Each column's left text edge, from the years lines under the names.
lefts = sorted({round(x0, 1) for x0, _, text in lines if re.fullmatch(r"b\. \d{4}", text)})
assert len(lefts) == 8, ("columns", lefts)
widths = [b - a for a, b in zip(lefts, lefts[1:])]
assert max(widths) - min(widths) < 1, ("columns of different widths", widths)
edges = lefts[1:] + [lefts[-1] + widths[-1]]
printed = [(x0, x1, text) for x0, x1, text in lines if text in names]
assert {text for _, _, text in printed} == names, names - {t for _, _, t in printed}
for x0, x1, text in printed:
    column = max(i for i, left in enumerate(lefts) if left <= x0 + 1)
    assert x1 < edges[column] - 1, ("runs past its box", text, x1, edges[column])
assert any(text.startswith("Family Tree for ") and text[16:] in names for _, _, text in lines)
print("LibreOffice prints all %d long names whole, each inside its box" % len(printed))
PY
