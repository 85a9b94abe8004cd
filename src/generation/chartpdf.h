#pragma once

// The chart as a print-ready PDF on A4: continued pages at the paper's width, the whole chart on
// one page, or a poster some pages wide. Each page draws only the part of the chart it shows.

#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

class QIODevice;

namespace pq {

namespace engine {
class RangePrintout;
struct RangeGeometry;
} // namespace engine

enum class PdfFit {
    Pages, // the paper's width, continued over as many pages as the height needs
    Page,  // the whole chart on one page, turned the way that shows it larger
    Width, // a poster: the chart over a number of pages side by side, as many rows as needed
};

struct PdfOptions {
    PdfFit fit = PdfFit::Pages;
    int pagesWide = 2; // for a poster
};

inline constexpr int kMaxPosterPagesWide = 20;

// Where each page's part of the chart comes from and goes to.
struct PdfPage {
    QRectF source;  // picture pixels
    QPointF origin; // where the source's top-left lies on the page's printable area, in points
};

struct PdfPlan {
    bool landscape = false;
    double scale = 1.0; // points per picture pixel
    std::vector<PdfPage> pages;
};

// The printable area of an A4 page in points, upright, inside the margins the PDF uses.
QSizeF printableA4();

// Pages for a picture of the given geometry on a printable area given upright. Continued pages
// end on row edges, so no row is cut in two; a poster's pages meet edge to edge.
PdfPlan planPdfPages(const engine::RangeGeometry& geometry, QSizeF printable,
                     const PdfOptions& options);

// Writes the PDF to an open device; `title` becomes the document's title. Throws Failure.
void writeChartPdf(QIODevice& device, const engine::RangePrintout& chart, const QString& title,
                   const PdfOptions& options);

} // namespace pq
