#!/usr/bin/env bash
# Our picture of a 5-generation chart against LibreOffice's rendering of the same workbook:
# column and row proportions, colours and lines must agree.
set -euo pipefail
cli="$1" compare="$2"
. "$(dirname "$0")/../support/require_tools.sh"
require_tools soffice pdftoppm convert identify
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$cli" "Tamsin Orrow" 5 "$tmp/chart.xls" --picture "$tmp/chart.png"
/usr/bin/python3 "$compare" "$tmp/chart.xls" "$tmp/chart.png"
