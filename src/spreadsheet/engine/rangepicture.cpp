#include "rangepicture.h"

#include "mainwindow/failure.h"

// Placeholder until the renderer lands.
namespace pq::engine {
QSize RangeGeometry::size() const { return {}; }
RangeGeometry rangeGeometry(const SheetModel&, const CellRect&) { return {}; }
QByteArray renderRangeSvg(const SheetModel&, const CellRect&) { throw Failure(QStringLiteral("not implemented")); }
QImage renderRangeImage(const SheetModel&, const CellRect&) { return {}; }
void copyRangePictureToClipboard(const SheetModel&, const CellRect&) { throw Failure(QStringLiteral("not implemented")); }
} // namespace pq::engine
