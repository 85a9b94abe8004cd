#!/usr/bin/env python3
"""Compares our picture of a sheet's used range with LibreOffice's rendering of the same .xls.

LibreOffice prints the active sheet's used range on a single PDF page (SinglePageSheets), which
pdftoppm rasterises at 96 dpi, the resolution of our picture. The two pictures are then
compared by what both must agree on:

  * the positions of the dark lines (borders), vertical and horizontal, in order;
  * the colour at sample points spread over our picture, mapped into LibreOffice's picture
    through the matched line positions, so that a title row a few pixels taller in one of the
    two does not shift every later sample.

Gridlines are not compared: LibreOffice does not print them, so our light-grey gridline
pixels count as background. Text is not compared pixel by pixel: fonts are substituted
differently by the two renderers.

Needs: soffice (LibreOffice), pdftoppm (poppler-utils), ImageMagick's convert. Our picture is a
PNG (renderRangeImage saved, or the SVG rasterised by QSvgRenderer at its own size).

Usage: compare_with_libreoffice.py WORKBOOK.xls OUR_PICTURE.png [--keep DIR]
Exit status 0 when the pictures agree within the tolerances, 1 when not, 2 on a tool failure.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

LINE_TOLERANCE_PX = 3  # after scaling to our picture's size
COLOUR_AGREEMENT = 0.97
DARK = 90  # luminance below which a pixel belongs to a line
MIN_LINE_RUN = 16  # dark run that makes a line rather than a glyph stem (rows are 17 px)


class Picture:
    def __init__(self, width, height, rgb):
        self.width, self.height, self.rgb = width, height, rgb

    def pixel(self, x, y):
        i = 3 * (y * self.width + x)
        return self.rgb[i], self.rgb[i + 1], self.rgb[i + 2]

    def dark(self, x, y):
        r, g, b = self.pixel(x, y)
        return 0.299 * r + 0.587 * g + 0.114 * b < DARK


def run(args, **kw):
    result = subprocess.run(args, capture_output=True, **kw)
    if result.returncode != 0:
        sys.exit(f"{args[0]} failed: {result.stderr.decode(errors='replace')}")
    return result.stdout


def load(path):
    size = run(["identify", "-format", "%w %h", path + "[0]"]).decode().split()
    width, height = int(size[0]), int(size[1])
    rgb = run(["convert", "-background", "white", "-density", "96", path + "[0]",
               "-flatten", "-depth", "8", "rgb:-"])
    return Picture(width, height, rgb)


WINE_FONTS = "/usr/share/wine/fonts"


def font_environment(workdir):
    """Lets LibreOffice find the metric-compatible Tahoma that Debian keeps among wine's fonts
    (the fonts configuration does not list it), so both sides draw the same face."""
    env = dict(os.environ)
    if os.path.isdir(WINE_FONTS):
        conf = os.path.join(workdir, "fonts.conf")
        with open(conf, "w") as f:
            f.write('<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "fonts.dtd">\n'
                    "<fontconfig><include ignore_missing=\"yes\">/etc/fonts/fonts.conf</include>"
                    f"<dir>{WINE_FONTS}</dir></fontconfig>\n")
        env["FONTCONFIG_FILE"] = conf
    return env


def libreoffice_picture(xls, workdir):
    # A profile of our own, so that a LibreOffice the user has open is neither used nor hurt.
    profile = "file://" + os.path.join(workdir, "profile")
    run(["soffice", f"-env:UserInstallation={profile}", "--headless", "--convert-to",
         'pdf:calc_pdf_Export:{"SinglePageSheets":{"type":"boolean","value":"true"}}',
         "--outdir", workdir, xls], env=font_environment(workdir))
    pdf = os.path.join(workdir, os.path.splitext(os.path.basename(xls))[0] + ".pdf")
    run(["pdftoppm", "-r", "96", "-png", "-singlefile", pdf, os.path.join(workdir, "lo")])
    return os.path.join(workdir, "lo.png")


def line_positions(pic, vertical):
    """Pixel columns (rows) holding a dark run of at least MIN_LINE_RUN pixels; adjacent
    positions are one line."""
    outer, inner = (pic.width, pic.height) if vertical else (pic.height, pic.width)
    found = []
    for a in range(outer):
        longest = length = 0
        for b in range(inner):
            length = length + 1 if (pic.dark(a, b) if vertical else pic.dark(b, a)) else 0
            longest = max(longest, length)
        if longest >= MIN_LINE_RUN:
            found.append(a)
    lines = []
    for p in found:
        if lines and p - lines[-1][-1] <= 1:
            lines[-1].append(p)
        else:
            lines.append([p])
    return [sum(l) / len(l) for l in lines]


def match_lines(ours, theirs, scale):
    """Pairs of (ours, theirs scaled to our size); in order when the counts agree."""
    scaled = [t / scale for t in theirs]
    if len(ours) == len(scaled):
        return list(zip(ours, scaled))
    pairs = []
    for o in ours:
        nearest = min(scaled, key=lambda t: abs(t - o), default=None)
        if nearest is not None:
            pairs.append((o, nearest))
    return pairs


def mapper(pairs, scale):
    """Maps one of our coordinates into theirs, piecewise linear through the matched lines."""
    pairs = sorted(pairs)

    def map_(v):
        if not pairs:
            return v * scale
        if v <= pairs[0][0]:
            return (pairs[0][1] + v - pairs[0][0]) * scale
        for (o0, t0), (o1, t1) in zip(pairs, pairs[1:]):
            if v <= o1:
                f = (v - o0) / (o1 - o0) if o1 != o0 else 0
                return (t0 + f * (t1 - t0)) * scale
        return (pairs[-1][1] + v - pairs[-1][0]) * scale

    return map_


def colour_class(rgb):
    r, g, b = rgb
    if min(rgb) >= 200 and max(rgb) - min(rgb) < 16:
        return "background"  # white, or our gridline grey
    if max(rgb) < DARK:
        return "black"
    return f"#{r >> 5:x}{g >> 5:x}{b >> 5:x}"  # coarse colour, tolerant of antialiasing


def solid(pic, x, y, cls):
    """True when the pixel lies in an area of one colour, not on a glyph's thin stroke."""
    return all(colour_class(pic.pixel(x + dx, y + dy)) == cls
               for dx, dy in ((-2, 0), (2, 0), (0, -2), (0, 2)))


def compare_colours(ours, theirs, map_x, map_y, vlines, hlines, step=5):
    near_line = lambda v, lines: any(abs(v - l) <= 2 for l in lines)
    agree = total = 0
    mismatches = []
    for y in range(2, ours.height - 2, step):
        if near_line(y, hlines):
            continue
        for x in range(2, ours.width - 2, step):
            if near_line(x, vlines):
                continue
            tx, ty = round(map_x(x)), round(map_y(y))
            if not (0 <= tx < theirs.width and 0 <= ty < theirs.height):
                continue
            a, b = colour_class(ours.pixel(x, y)), colour_class(theirs.pixel(tx, ty))
            if not solid(ours, x, y, a):
                continue
            total += 1
            if a == b:
                agree += 1
            else:
                mismatches.append((x, y, a, b))
    return agree, total, mismatches


def line_report(name, pairs):
    worst = max((abs(o - t) for o, t in pairs), default=0.0)
    print(f"{name}: {len(pairs)} matched, worst deviation {worst:.1f} px")
    return worst


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("xls")
    parser.add_argument("ours")
    parser.add_argument("--keep", help="directory to keep LibreOffice's picture in")
    args = parser.parse_args()
    if not args.ours.lower().endswith(".png"):
        print("our picture must be a PNG", file=sys.stderr)
        return 2
    for tool in ("soffice", "pdftoppm", "convert", "identify"):
        if not shutil.which(tool):
            print(f"missing tool: {tool}", file=sys.stderr)
            return 2
    with tempfile.TemporaryDirectory() as workdir:
        lo_png = libreoffice_picture(os.path.abspath(args.xls), workdir)
        if args.keep:
            shutil.copy(lo_png, args.keep)
        ours, theirs = load(args.ours), load(lo_png)

    sx, sy = theirs.width / ours.width, theirs.height / ours.height
    print(f"ours {ours.width}x{ours.height}, LibreOffice {theirs.width}x{theirs.height}, "
          f"scale {sx:.3f} x {sy:.3f}")
    ov, oh = line_positions(ours, True), line_positions(ours, False)
    tv, th = line_positions(theirs, True), line_positions(theirs, False)
    print(f"vertical lines: ours {len(ov)}, LibreOffice {len(tv)}")
    print(f"horizontal lines: ours {len(oh)}, LibreOffice {len(th)}")
    vpairs, hpairs = match_lines(ov, tv, sx), match_lines(oh, th, sy)
    worst = max(line_report("columns", vpairs), line_report("rows", hpairs))
    agree, total, mismatches = compare_colours(ours, theirs, mapper(vpairs, sx),
                                               mapper(hpairs, sy), ov, oh)
    share = agree / total if total else 1.0
    print(f"colours: {agree} of {total} sample points agree ({share:.1%})")
    for x, y, a, b in mismatches[:10]:
        print(f"  at {x},{y}: ours {a}, LibreOffice {b}")
    ok = (len(ov) == len(tv) and len(oh) == len(th) and worst <= LINE_TOLERANCE_PX and
          share >= COLOUR_AGREEMENT)
    print("AGREE" if ok else "DIFFER")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
