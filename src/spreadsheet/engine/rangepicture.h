#pragma once

// The picture of a range as the spreadsheet shows it on screen: column widths from the
// standard font's character width, row heights, light-grey gridlines, fills, borders over the
// gridlines, merged cells and text in its font and colour.

#include "spreadsheet/engine/xls/sheetmodel.h"

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QRgb>
#include <QSize>
#include <memory>
#include <optional>
#include <vector>

class QPainter;

namespace pq::engine {

// Pixel geometry of a range at 96 dpi. Edges start at 0; the edge between two cells is the
// pixel column (row) of the gridline they share, so the picture is one pixel wider and taller
// than the last edge to hold the closing lines.
struct RangeGeometry {
    std::vector<int> columnLefts; // size columns + 1: left edges, then the right edge
    std::vector<int> rowTops;     // size rows + 1
    QSize size() const;
};

// A bitmap larger than this many pixels is not drawn.
inline constexpr qint64 kMaxPictureBitmapPixels = 16 * 1024 * 1024;

// The default 56-colour palette by the object model's 1-based ColorIndex; nothing outside 1..56.
std::optional<QRgb> defaultPaletteColor(int colorIndex);

RangeGeometry rangeGeometry(const SheetModel& sheet, const CellRect& range);

// The picture as SVG. Rows are grouped in bands (<g id="rows-N">) so that a viewer can draw
// only the bands it shows; each band states the pixels it covers as "x y width height" in the
// attribute extent of the namespace below.
QByteArray renderRangeSvg(const SheetModel& sheet, const CellRect& range);
inline constexpr char kPictureNamespace[] = "https://quillmere.example/ns/picture";

// The picture as a bitmap, or a null image when it would be too large to be affordable.
QImage renderRangeImage(const SheetModel& sheet, const CellRect& range);

struct RangeDisplayList;

// The picture of a range for printing: any part of it (picture pixels) drawn with only what
// falls in that part, the lines as strokes, the fills as areas and the text as text.
class RangePrintout {
public:
    RangePrintout(const SheetModel& sheet, const CellRect& range);
    ~RangePrintout();
    const RangeGeometry& geometry() const;
    QSize size() const { return geometry().size(); }
    // Draws the part `source` where the painter puts picture pixels; the painter's clip is
    // the caller's.
    void paint(QPainter& painter, const QRectF& source) const;

private:
    std::unique_ptr<RangeDisplayList> mList;
};

// Makes the chart's fonts known to the application where the system's font configuration does
// not list them (Debian keeps a metric-compatible Tahoma among wine's fonts). Idempotent.
void registerChartFonts();

// Puts the picture on the system clipboard: SVG ("image/svg+xml") and, where affordable,
// a bitmap.
void copyRangePictureToClipboard(const SheetModel& sheet, const CellRect& range);

} // namespace pq::engine
