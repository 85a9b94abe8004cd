#!/usr/bin/env bash
# A chart filled from a real-world-sized family tree (the generated 100,000 people) as
# LibreOffice opens it: LibreOffice turns the workbook into CSV, and an independent reading of
# the GEDCOM file (a few lines of Python) says whose name belongs in which box and whether life
# years belong below it.
#   gedcom_libreoffice.sh PEDIGRAFA-CLI MAKE_GEDCOM   (exit 77: LibreOffice is not installed)
set -euo pipefail
cli="$1" make_gedcom="$2"
. "$(dirname "$0")/../support/require_tools.sh"
require_tools soffice
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

"$make_gedcom" "$tmp/people.ged" 100000
"$cli" --gedcom "$tmp/people.ged" "Tamsin Orrow" 10 "$tmp/chart.xls"
soffice -env:UserInstallation="file://$tmp/profile" --headless \
    --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76' --outdir "$tmp" "$tmp/chart.xls" \
    >/dev/null 2>&1
[ -s "$tmp/chart.csv" ] || { echo "FAIL: LibreOffice did not open the chart" >&2; exit 1; }

/usr/bin/python3 - "$tmp/people.ged" "$tmp/chart.csv" <<'PY'
import csv, re, sys
people, families, record = {}, {}, None
for line in open(sys.argv[1], encoding="utf-8"):
    parts = line.rstrip("\n").split(" ", 2)
    level, tag = parts[0], parts[1]
    value = parts[2] if len(parts) > 2 else ""
    if level == "0":
        record = None
        if value == "INDI":
            record = people.setdefault(tag, {"dates": {}})
        elif value == "FAM":
            record = families.setdefault(tag, {})
        continue
    if record is None:
        continue
    if level == "1":
        event = tag
        if tag == "NAME" and "name" not in record:
            record["name"] = " ".join(value.replace("/", " ").split())
        elif tag in ("FAMC", "HUSB", "WIFE") and tag not in record:
            record[tag] = value
    elif level == "2" and tag == "DATE" and event in ("BIRT", "CHR", "BAPM", "DEAT", "BURI"):
        record["dates"].setdefault(event, value)

columns = 10
root = next(x for x, p in people.items() if p.get("name") == "Tamsin Orrow")
slots = {1: root}
for k in range(1, 2 ** (columns - 1)):
    family = families.get(people.get(slots.get(k), {}).get("FAMC"))
    if family:
        for parent, role in ((2 * k, "HUSB"), (2 * k + 1, "WIFE")):
            if role in family:
                slots[parent] = family[role]

rows = list(csv.reader(open(sys.argv[2], encoding="utf-8")))
def cell(row, col):  # 0-based
    return rows[row][col] if row < len(rows) and col < len(rows[row]) else ""

# A date's year as the chart shows it: "c." for an approximation or a range (its first year),
# "bef." and "aft." for a bound.
def year(date):
    words = date.split()
    prefix = {"ABT": "c. ", "EST": "c. ", "CAL": "c. ", "BET": "c. ", "FROM": "c. ",
              "TO": "c. ", "BEF": "bef. ", "AFT": "aft. "}.get(words[0], "")
    return prefix + next(w for w in words if re.fullmatch(r"\d{3,4}", w))

expected = {}
for number, who in slots.items():
    generation = number.bit_length() - 1
    t = columns - 1 - generation
    row, col = 3 + 2 ** t + (number - 2 ** generation) * 2 ** (t + 1), 1 + t
    person = people[who]
    expected[(row, col)] = person["name"]
    dates = person["dates"]
    born = next((year(dates[e]) for e in ("BIRT", "CHR", "BAPM") if e in dates), "")
    died = next((year(dates[e]) for e in ("DEAT", "BURI") if e in dates), "")
    years = (born + "–" + died if born and died else
             "b. " + born if born else "d. " + died if died else "")
    if years:
        expected[(row + 1, col)] = years

found = {(r, c): v for r, row in enumerate(rows[3:], 3) for c, v in enumerate(row) if v}
assert found == expected, sorted(set(found.items()) ^ set(expected.items()))[:10]
print("LibreOffice shows %d of %d boxes filled, each with the right ancestor"
      % (len(slots), 2 ** columns - 1))
PY
