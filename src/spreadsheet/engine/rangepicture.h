#pragma once

// The picture of a range as the spreadsheet shows it on screen: column widths from the
// standard font's character width, row heights, light-grey gridlines, fills, borders over the
// gridlines, merged cells and text in its font and colour.

#include "sheetmodel.h"

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <vector>

namespace pq::engine {

// Pixel geometry of a range at 96 dpi.
struct RangeGeometry {
    std::vector<int> columnLefts; // size columns + 1: left edges, then the right edge
    std::vector<int> rowTops;     // size rows + 1
    QSize size() const;
};

RangeGeometry rangeGeometry(const SheetModel& sheet, const CellRect& range);

// The picture as SVG. Rows are grouped in bands (<g id="rows-N">) so that a viewer can draw
// only the bands it shows.
QByteArray renderRangeSvg(const SheetModel& sheet, const CellRect& range);

// The picture as a bitmap, or a null image when it would be too large to be affordable.
QImage renderRangeImage(const SheetModel& sheet, const CellRect& range);

// Puts the picture on the system clipboard: SVG ("image/svg+xml") and, where affordable,
// a bitmap.
void copyRangePictureToClipboard(const SheetModel& sheet, const CellRect& range);

} // namespace pq::engine
