#pragma once

// How a chart meets the paper, for every way out of the program: the PDF, the printer and its
// preview, the command-line tool. A plan says which part of the chart each page shows; pages
// end between rows and, on a poster, between columns, so no page cuts through a box or a name,
// and a box never leaves the text in the cell below it (a filled chart's life years) behind.
// Each page draws only its own part of the chart, the text as text.

#include "paper.h"

#include <QPageLayout>
#include <QPainterPath>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <vector>

class QPagedPaintDevice;
class QPainter;

namespace pq {

namespace engine {
class RangePrintout;
class SheetModel;
struct CellRect;
} // namespace engine

enum class PageFit {
    Pages, // the paper's width, continued over as many pages as the height needs
    Page,  // the whole chart on one page
    Width, // a poster: the chart over a number of pages side by side, as many rows as needed
};

enum class PageTurn {
    Auto,    // one page: turned when that shows the chart larger; otherwise upright
    Upright, // portrait
    Turned,  // landscape
};

struct PageOptions {
    PageFit fit = PageFit::Pages;
    int pagesWide = 2; // for a poster
    Paper paper = Paper::A4;
    PageTurn turn = PageTurn::Auto;
};

inline constexpr int kMaxPosterPagesWide = 20;

// Plans of more pages than this are made only when asked for explicitly: a 15-generation chart
// takes 253 A4 pages continued at the paper's width, a two-page-wide poster of it about twice
// that, and a mistaken poster option would otherwise print tens of thousands.
inline constexpr int kPageLimit = 1000;

// The margins every page keeps, all four sides.
inline constexpr double kPageMarginMillimetres = 12;

// What the pagination knows of a chart: its pixel geometry and, for each column of the
// range, the rows whose cell has to stay on the page of the cell below it (a box with text
// under it).
struct ChartShape {
    std::vector<int> columnLefts; // as RangeGeometry: edges from 0, the last one closing
    std::vector<int> rowTops;
    std::vector<std::vector<int>> keepWithNext; // per column, 0-based rows of the range, sorted
    QSizeF size() const;
};

ChartShape chartShape(const engine::SheetModel& sheet, const engine::CellRect& range);

// One page: `source` bounds the part of the chart it shows (picture pixels), `clip` is that
// part exactly (a page may end a row lower in one column than in the next), `origin` where
// the source's top-left lies on the printable area, in points.
struct PlannedPage {
    QRectF source;
    QPainterPath clip;
    QPointF origin;
};

class PagePlan {
public:
    Paper paper = Paper::A4;
    bool landscape = false;
    double scale = 1.0; // points per picture pixel
    QSizeF printable;   // the printable area in points, as the page is turned

    int pagesWide() const { return static_cast<int>(mBands.size()) - 1; }
    int pagesTall() const { return static_cast<int>(mCuts.size()) - 1; }
    int pageCount() const { return pagesWide() * pagesTall(); }
    // Pages run across a row of the poster, then down; 0-based.
    PlannedPage page(int index) const;
    QPageLayout pageLayout() const;

private:
    friend PagePlan planPages(const ChartShape&, const PageOptions&);
    std::vector<int> mColumnLefts;
    std::vector<int> mBands;             // first column of each band, then the column count
    std::vector<std::vector<int>> mCuts; // per page row boundary, the edge in each column
    QPointF mOrigin;                     // where the whole chart's top-left lies (one page)
};

// The printable area of a paper in points, upright, inside the margins.
QSizeF printableArea(Paper paper);

// The plan of the pages; a chart without any area fails.
PagePlan planPages(const ChartShape& chart, const PageOptions& options);

// "The plan makes 33,420 pages, more than the limit of 1,000": empty when within `limit`.
QString pageLimitProblem(const PagePlan& plan, int limit = kPageLimit);

// Paints page `index` with the painter's unit a point and its origin the printable area's
// top-left.
void paintPlannedPage(QPainter& painter, const engine::RangePrintout& chart, const PagePlan& plan,
                      int index);

// Paints the plan's pages onto a paged device (a PDF writer, a printer, a print preview), its
// page layout set from the plan. Pages `first` to `last` (0-based, inclusive; -1: to the end).
// Throws Failure when the device cannot be painted on.
void paintPages(QPagedPaintDevice& device, const engine::RangePrintout& chart, const PagePlan& plan,
                int first = 0, int last = -1);

} // namespace pq
