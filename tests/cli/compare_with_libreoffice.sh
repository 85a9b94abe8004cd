#!/usr/bin/env bash
# Our picture of a 5-generation chart against LibreOffice's rendering of the same workbook:
# column and row proportions, colours and lines must agree.
set -euo pipefail
cli="$1" compare="$2"
# Exit 77 tells ctest the comparison was skipped, not passed.
for tool in soffice pdftoppm convert identify; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (see tools/deps.sh)"
        exit 77
    fi
done
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$cli" "Tamsin Orrow" 5 "$tmp/chart.xls" --picture "$tmp/chart.png"
/usr/bin/python3 "$compare" "$tmp/chart.xls" "$tmp/chart.png"
