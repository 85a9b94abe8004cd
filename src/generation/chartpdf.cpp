#include "chartpdf.h"

#include "base/failure.h"
#include "spreadsheet/engine/rangepicture.h"

#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>

namespace pq {

namespace {

constexpr double kMarginMillimetres = 12;

QSizeF turned(QSizeF size) {
    return {size.height(), size.width()};
}

QSizeF pictureSize(const engine::RangeGeometry& geometry) {
    return QSizeF(geometry.size());
}

// Continued pages at the paper's width, each ending on the last row edge that fits; the next
// page starts on that edge, so both show the line between them.
PdfPlan continuedPages(const engine::RangeGeometry& geometry, QSizeF printable) {
    const QSizeF picture = pictureSize(geometry);
    PdfPlan plan;
    plan.scale = printable.width() / picture.width();
    const double pageHeight = printable.height() / plan.scale;
    const std::vector<int>& edges = geometry.rowTops;
    double top = 0;
    for (;;) {
        double bottom = top + pageHeight;
        if (bottom >= picture.height()) {
            plan.pages.push_back({QRectF(0, top, picture.width(), picture.height() - top), {}});
            break;
        }
        // The last edge whose line still fits on the page; a row taller than a page is cut.
        const auto after = std::upper_bound(edges.begin(), edges.end(), bottom - 1);
        if (after != edges.begin() && *(after - 1) > top)
            bottom = *(after - 1) + 1;
        plan.pages.push_back({QRectF(0, top, picture.width(), bottom - top), {}});
        top = bottom - 1;
    }
    return plan;
}

// The whole chart on one page, centred across it, turned the way that shows it larger.
PdfPlan onePage(const engine::RangeGeometry& geometry, QSizeF printable) {
    const QSizeF picture = pictureSize(geometry);
    auto scaleOn = [&](QSizeF area) {
        return std::min(area.width() / picture.width(), area.height() / picture.height());
    };
    PdfPlan plan;
    plan.landscape = scaleOn(turned(printable)) > scaleOn(printable);
    const QSizeF area = plan.landscape ? turned(printable) : printable;
    plan.scale = scaleOn(area);
    const double left = (area.width() - picture.width() * plan.scale) / 2;
    plan.pages.push_back({QRectF(QPointF(0, 0), picture), QPointF(left, 0)});
    return plan;
}

// A poster: the chart's width spread over the pages of a row, rows of pages down to its end.
PdfPlan poster(const engine::RangeGeometry& geometry, QSizeF printable, int pagesWide) {
    const QSizeF picture = pictureSize(geometry);
    PdfPlan plan;
    plan.scale = pagesWide * printable.width() / picture.width();
    const double tileWidth = picture.width() / pagesWide;
    const double tileHeight = printable.height() / plan.scale;
    const int rows = std::max(1, static_cast<int>(std::ceil(picture.height() / tileHeight - 1e-9)));
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < pagesWide; ++column) {
            const QRectF tile(column * tileWidth, row * tileHeight, tileWidth, tileHeight);
            plan.pages.push_back({tile.intersected(QRectF(QPointF(0, 0), picture)), {}});
        }
    return plan;
}

QPageLayout pageLayout(bool landscape) {
    return QPageLayout(
        QPageSize(QPageSize::A4), landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
        QMarginsF(kMarginMillimetres, kMarginMillimetres, kMarginMillimetres, kMarginMillimetres),
        QPageLayout::Millimeter);
}

} // namespace

QSizeF printableA4() {
    return pageLayout(false).paintRect(QPageLayout::Point).size();
}

PdfPlan planPdfPages(const engine::RangeGeometry& geometry, QSizeF printable,
                     const PdfOptions& options) {
    if (geometry.size().isEmpty())
        throw Failure(QStringLiteral("the chart is empty"));
    switch (options.fit) {
    case PdfFit::Page:
        return onePage(geometry, printable);
    case PdfFit::Width:
        return poster(geometry, printable, std::clamp(options.pagesWide, 1, kMaxPosterPagesWide));
    case PdfFit::Pages:
        break;
    }
    return continuedPages(geometry, printable);
}

void writeChartPdf(QIODevice& device, const engine::RangePrintout& chart, const QString& title,
                   const PdfOptions& options) {
    const PdfPlan plan = planPdfPages(chart.geometry(), printableA4(), options);
    QPdfWriter pdf(&device);
    // Points as the painter's unit: the plan is made in them.
    pdf.setResolution(72);
    pdf.setPageLayout(pageLayout(plan.landscape));
    pdf.setTitle(title);
    pdf.setCreator(QStringLiteral("Pedigrafa Quorvell Sheet Builder Kit"));
    QPainter painter;
    if (!painter.begin(&pdf))
        throw Failure(QStringLiteral("cannot draw the chart"));
    for (std::size_t i = 0; i < plan.pages.size(); ++i) {
        const PdfPage& page = plan.pages[i];
        if (i > 0)
            pdf.newPage();
        painter.save();
        painter.translate(page.origin);
        painter.scale(plan.scale, plan.scale);
        painter.translate(-page.source.topLeft());
        painter.setClipRect(page.source);
        chart.paint(painter, page.source);
        painter.restore();
    }
    if (!painter.end())
        throw Failure(QStringLiteral("cannot draw the chart"));
}

} // namespace pq
