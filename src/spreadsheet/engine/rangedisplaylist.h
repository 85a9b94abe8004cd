#pragma once

// The picture of a range as a list of pixel-exact drawing primitives, built once and drawn by
// both the SVG writer and the bitmap painter so that the two never disagree. Internal to the
// renderer; tests include it to check what is drawn without parsing SVG.

#include "rangepicture.h"

#include <QFont>
#include <QRect>
#include <QRgb>
#include <QString>
#include <vector>

namespace pq::engine {

// A 1-pixel line: the pixel column (vertical) or row (horizontal) `at`, from..to inclusive.
struct PixelLine {
    bool vertical = false;
    int at = 0;
    int from = 0;
    int to = 0;
};

struct FillBox {
    QRect pixels;
    QRgb color = 0;
};

// Text already cut to the characters that fit its clip rectangle.
struct TextRun {
    QString text;
    QString family;
    double pointSize = 10.0;
    QRgb color = 0;
    double x = 0;        // left end of the drawn text
    double baseline = 0; // y of the baseline
    QRect clip;          // the cell, or the cells it overflows into
};

// The primitives of a group of consecutive rows, in drawing order: gridlines, fills, borders,
// text. Each primitive belongs to exactly one band, chosen so that drawing the bands one after
// another paints fills over the gridlines and borders over fills, across band boundaries too.
struct RowBand {
    int firstRow = 0; // sheet row
    int lastRow = 0;
    std::vector<PixelLine> gridlines;
    std::vector<FillBox> fills;
    std::vector<PixelLine> borders;
    std::vector<TextRun> texts;
};

struct RangeDisplayList {
    RangeGeometry geometry;
    std::vector<RowBand> bands;
};

// Bands of 64 rows keep a paint of the viewport to one or two bands, even on the tallest chart.
inline constexpr int kRowsPerBand = 64;
inline constexpr QRgb kGridlineColor = 0xFFD4D4D4;
inline constexpr QRgb kBackgroundColor = 0xFFFFFFFF;
inline constexpr QRgb kBorderColor = 0xFF000000;

// Text is laid out at this pixel size and scaled to the wanted size, as SVG viewers draw it,
// so that widths grow linearly with the size and the SVG and the bitmap agree.
inline constexpr int kReferenceFontPixels = 100;
QFont referenceFont(const QString& family);
inline double pixelsForPoints(double points) {
    return points * 96.0 / 72.0;
}

// Row height in points that a font of the given size needs.
double rowHeightPointsForFont(double fontPoints);

RangeDisplayList buildDisplayList(const SheetModel& sheet, const CellRect& range);

} // namespace pq::engine
