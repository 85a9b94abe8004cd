#!/usr/bin/env python3
"""Reads the sample five-generation chart workbook with python3-xlrd, an independent BIFF8
reader, and checks fonts, fills, borders, merges, column widths and strings.

usage: check_xls_xlrd.py WRITESAMPLECHART WORKDIR   (exit 77: xlrd is not installed)
"""
import os
import subprocess
import sys

try:
    import xlrd
except ImportError:
    print("SKIP: python3-xlrd is not installed")
    sys.exit(77)

GREY = (128, 128, 128)
LIME = (153, 204, 0)
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)


def box_rows(t, columns=5):
    return [4 + 2**t + i * 2 ** (t + 1) for i in range(2 ** (columns - 1 - t))]


def main():
    writer, workdir = sys.argv[1], sys.argv[2]
    os.makedirs(workdir, exist_ok=True)
    path = os.path.join(workdir, "chart.xls")
    subprocess.run([writer, path, "5"], check=True)

    book = xlrd.open_workbook(path, formatting_info=True)
    sheet = book.sheet_by_index(0)
    colour = book.colour_map

    def xf(row, col):
        return book.xf_list[sheet.cell_xf_index(row - 1, col - 1)]

    def font(row, col):
        return book.font_list[xf(row, col).font_index]

    check(sheet.name == "Sheet1", "sheet name %r" % sheet.name)
    check(sorted(sheet.merged_cells) == [(1, 2, 1, 6), (2, 3, 1, 6)],
          "merges %r" % sheet.merged_cells)
    check(sheet.cell_value(1, 1) == "Family Tree for Tamsin Orrow", "B2 %r" % sheet.cell_value(1, 1))
    check(sheet.cell_value(2, 1) == "5 Generations", "B3 %r" % sheet.cell_value(2, 1))
    check((sheet.nrows, sheet.ncols) == (35, 6), "used size %r" % ((sheet.nrows, sheet.ncols),))

    title = font(2, 2)
    check(title.name == "Tahoma" and title.height == 400, "title font %s %d" % (title.name, title.height))
    check(colour.get(title.colour_index) == GREY, "title colour index %d" % title.colour_index)
    check(xf(2, 2).alignment.hor_align == 1, "title not left aligned")
    subtitle = font(3, 2)
    check(subtitle.name == "Tahoma" and subtitle.height == 220, "B3 font %s %d" % (subtitle.name, subtitle.height))
    check(xf(3, 2).alignment.hor_align == 1, "B3 not left aligned")
    check(sheet.rowinfo_map[1].height == 510, "row 2 height %d" % sheet.rowinfo_map[1].height)

    for t in range(5):
        rows = box_rows(t)
        for row in range(rows[0], rows[-1] + 1):
            f = xf(row, 2 + t)
            where = "%s%d" % ("BCDEF"[t], row)
            check(book.font_list[f.font_index].name == "Tahoma", where + " font")
            check(f.border.right_line_style == 1, where + " right border")
            if row in rows:
                check(f.background.fill_pattern == 1, where + " fill pattern")
                check(colour.get(f.background.pattern_colour_index) == LIME,
                      where + " fill colour %d" % f.background.pattern_colour_index)
                for edge in ("left", "top", "bottom"):
                    check(getattr(f.border, edge + "_line_style") == 1, where + " " + edge)
            else:
                check(f.background.fill_pattern == 0, where + " filled between boxes")

    widths = {c: sheet.colinfo_map[c].width for c in sheet.colinfo_map}
    check(widths.get(0) == 694, "column A width %r" % widths.get(0))
    for c in range(1, 6):
        check(widths.get(c) == 6326, "column %s width %r" % ("BCDEF"[c - 1], widths.get(c)))
    for c in range(256):
        info = sheet.colinfo_map.get(c)
        ok = info is not None and book.font_list[book.xf_list[info.xf_index].font_index].name == "Tahoma"
        check(ok, "column %d lacks the Tahoma column format" % c)

    if failures:
        print("\n".join(failures[:40]))
        return 1
    print("xlrd %s read the chart: fonts, fills, borders, merges, widths and strings as written"
          % xlrd.__VERSION__)
    return 0


if __name__ == "__main__":
    sys.exit(main())
