#include "pagination.h"

#include "base/failure.h"
#include "spreadsheet/engine/rangepicture.h"

#include <QLocale>
#include <QMarginsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace pq {

namespace {

QSizeF turned(QSizeF size) {
    return {size.height(), size.width()};
}

QPageLayout layoutOf(Paper paper, bool landscape) {
    const double m = kPageMarginMillimetres;
    return QPageLayout(pageSize(paper), landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(m, m, m, m), QPageLayout::Millimeter);
}

// Splits the columns into `count` runs side by side, the widest as narrow as can be; returns
// the first column of each run, then the number of columns.
std::vector<int> posterBands(const std::vector<int>& lefts, int count) {
    const int n = static_cast<int>(lefts.size()) - 1;
    count = std::clamp(count, 1, n);
    auto width = [&](int a, int b) { return lefts[b] - lefts[a] + 1; };
    constexpr int kNone = std::numeric_limits<int>::max();
    // widest[k][i]: the narrowest widest run when the first i columns make k runs.
    std::vector<std::vector<int>> widest(count + 1, std::vector<int>(n + 1, kNone));
    std::vector<std::vector<int>> from(count + 1, std::vector<int>(n + 1, 0));
    widest[0][0] = 0;
    for (int k = 1; k <= count; ++k)
        for (int i = k; i <= n; ++i)
            for (int j = k - 1; j < i; ++j) {
                if (widest[k - 1][j] == kNone)
                    continue;
                const int w = std::max(widest[k - 1][j], width(j, i));
                if (w < widest[k][i]) {
                    widest[k][i] = w;
                    from[k][i] = j;
                }
            }
    std::vector<int> bands(count + 1);
    bands[count] = n;
    for (int k = count, i = n; k > 0; --k)
        i = bands[k - 1] = from[k][i];
    return bands;
}

bool kept(const ChartShape& chart, int column, int row) {
    const std::vector<int>& rows = chart.keepWithNext[column];
    return row >= 0 && std::binary_search(rows.begin(), rows.end(), row);
}

// The next boundary below `previous` for a page `pageHeight` pixels tall: the last row edge
// whose line still fits, moved up in a column where it would part a box from the text under
// it. A row taller than a page is cut where the page ends.
std::vector<int> nextCut(const ChartShape& chart, const std::vector<int>& previous,
                         double pageHeight) {
    const std::vector<int>& edges = chart.rowTops;
    const int top = *std::min_element(previous.begin(), previous.end());
    const int floor = *std::max_element(previous.begin(), previous.end());
    const int limit = static_cast<int>(std::floor(top + pageHeight - 1 + 1e-9));
    const auto after = std::upper_bound(edges.begin(), edges.end(), limit);
    if (after == edges.begin() || *(after - 1) <= floor)
        return std::vector<int>(previous.size(), std::max(limit, floor + 1));
    const int edge = *(after - 1);
    std::vector<int> cut(previous.size(), edge);
    for (std::size_t c = 0; c < cut.size(); ++c) {
        int row = static_cast<int>(after - edges.begin()) - 2; // the row above the edge
        while (kept(chart, static_cast<int>(c), row) && edges[row] > previous[c]) {
            cut[c] = edges[row];
            --row;
        }
    }
    return cut;
}

std::vector<std::vector<int>> pageRows(const ChartShape& chart, double pageHeight) {
    const int columns = static_cast<int>(chart.columnLefts.size()) - 1;
    const int last = chart.rowTops.back();
    std::vector<std::vector<int>> cuts{std::vector<int>(columns, 0)};
    for (;;) {
        const std::vector<int>& previous = cuts.back();
        const int top = *std::min_element(previous.begin(), previous.end());
        if (last + 1 - top <= pageHeight + 1e-9) {
            cuts.emplace_back(columns, last);
            return cuts;
        }
        cuts.push_back(nextCut(chart, previous, pageHeight));
    }
}

} // namespace

QSizeF ChartShape::size() const {
    return {columnLefts.empty() ? 0.0 : columnLefts.back() + 1.0,
            rowTops.empty() ? 0.0 : rowTops.back() + 1.0};
}

ChartShape chartShape(const engine::SheetModel& sheet, const engine::CellRect& range) {
    const engine::RangeGeometry geometry = engine::rangeGeometry(sheet, range);
    ChartShape chart{geometry.columnLefts, geometry.rowTops, {}};
    chart.keepWithNext.resize(std::max<std::size_t>(chart.columnLefts.size(), 1) - 1);
    const engine::FormatTable& formats = sheet.formats();
    for (int row = range.top; row < range.bottom && row <= sheet.rowCount(); ++row)
        for (const engine::ColumnCell& cell : sheet.cellsInRow(row)) {
            if (cell.column < range.left || cell.column > range.right ||
                formats.at(cell.format).interiorColorIndex == engine::kColorIndexNone)
                continue;
            const engine::Cell* below = sheet.cell(row + 1, cell.column);
            if (below && !below->value().isEmpty())
                chart.keepWithNext[cell.column - range.left].push_back(row - range.top);
        }
    return chart;
}

QSizeF printableArea(Paper paper) {
    return layoutOf(paper, false).paintRect(QPageLayout::Point).size();
}

PagePlan planPages(const ChartShape& chart, const PageOptions& options) {
    const QSizeF picture = chart.size();
    if (chart.columnLefts.size() < 2 || chart.rowTops.size() < 2 || picture.isEmpty())
        throw Failure(QStringLiteral("the chart is empty"));
    PagePlan plan;
    plan.paper = options.paper;
    plan.mColumnLefts = chart.columnLefts;
    const QSizeF upright = printableArea(options.paper);
    const int columns = static_cast<int>(chart.columnLefts.size()) - 1;
    if (options.fit == PageFit::Page) {
        auto scaleOn = [&](QSizeF area) {
            return std::min(area.width() / picture.width(), area.height() / picture.height());
        };
        plan.landscape =
            options.turn == PageTurn::Turned ||
            (options.turn == PageTurn::Auto && scaleOn(turned(upright)) > scaleOn(upright));
        plan.printable = plan.landscape ? turned(upright) : upright;
        plan.scale = scaleOn(plan.printable);
        plan.mBands = {0, columns};
        plan.mCuts = {std::vector<int>(columns, 0),
                      std::vector<int>(columns, chart.rowTops.back())};
        plan.mOrigin = {(plan.printable.width() - picture.width() * plan.scale) / 2, 0};
        return plan;
    }
    plan.landscape = options.turn == PageTurn::Turned;
    plan.printable = plan.landscape ? turned(upright) : upright;
    plan.mBands =
        options.fit == PageFit::Width
            ? posterBands(chart.columnLefts, std::clamp(options.pagesWide, 1, kMaxPosterPagesWide))
            : std::vector<int>{0, columns};
    int widest = 0;
    for (std::size_t b = 0; b + 1 < plan.mBands.size(); ++b)
        widest = std::max(widest, chart.columnLefts[plan.mBands[b + 1]] -
                                      chart.columnLefts[plan.mBands[b]] + 1);
    plan.scale = plan.printable.width() / widest;
    plan.mCuts = pageRows(chart, plan.printable.height() / plan.scale);
    return plan;
}

PlannedPage PagePlan::page(int index) const {
    const int band = index % pagesWide();
    const int row = index / pagesWide();
    const std::vector<int>& top = mCuts[row];
    const std::vector<int>& bottom = mCuts[row + 1];
    PlannedPage page;
    // The parts share their edge lines: where they overlap they are still inside.
    page.clip.setFillRule(Qt::WindingFill);
    // Neighbouring columns that end on the same rows make one rectangle.
    for (int c = mBands[band]; c < mBands[band + 1];) {
        int end = c + 1;
        while (end < mBands[band + 1] && top[end] == top[c] && bottom[end] == bottom[c])
            ++end;
        const QRectF part(QPointF(mColumnLefts[c], top[c]),
                          QPointF(mColumnLefts[end] + 1, bottom[c] + 1));
        page.clip.addRect(part);
        page.source = page.source.isNull() ? part : page.source.united(part);
        c = end;
    }
    page.origin = mOrigin;
    return page;
}

QPageLayout PagePlan::pageLayout() const {
    return layoutOf(paper, landscape);
}

QString pageLimitProblem(const PagePlan& plan, int limit) {
    if (plan.pageCount() <= limit)
        return QString();
    const QLocale english(QLocale::English);
    return QStringLiteral("the chart would take %1 pages, more than the limit of %2")
        .arg(english.toString(plan.pageCount()), english.toString(limit));
}

void paintPlannedPage(QPainter& painter, const engine::RangePrintout& chart, const PagePlan& plan,
                      int index) {
    const PlannedPage page = plan.page(index);
    painter.save();
    painter.translate(page.origin);
    painter.scale(plan.scale, plan.scale);
    painter.translate(-page.source.topLeft());
    painter.setClipPath(page.clip, Qt::IntersectClip);
    chart.paint(painter, page.source);
    painter.restore();
}

void paintPages(QPagedPaintDevice& device, const engine::RangePrintout& chart, const PagePlan& plan,
                int first, int last) {
    if (last < 0 || last >= plan.pageCount())
        last = plan.pageCount() - 1;
    device.setPageLayout(plan.pageLayout());
    // Ending the pages needs memory as well: should memory run out while they are drawn, the
    // painter is left as it is rather than ended while the failure unwinds, where a second
    // failure would end the program.
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(&device))
        throw Failure(QStringLiteral("cannot draw the chart"));
    try {
        // The plan is made in points.
        painter->scale(device.logicalDpiX() / 72.0, device.logicalDpiY() / 72.0);
        for (int i = first; i <= last; ++i) {
            if (i > first && !device.newPage())
                throw Failure(QStringLiteral("cannot start page %1").arg(i + 1));
            paintPlannedPage(*painter, chart, plan, i);
        }
        if (!painter->end())
            throw Failure(QStringLiteral("cannot draw the chart"));
    } catch (...) {
        [[maybe_unused]] QPainter* abandoned = painter.release();
        throw;
    }
}

} // namespace pq
