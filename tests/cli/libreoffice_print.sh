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
