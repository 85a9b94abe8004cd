// The PDF's pages: together they show the whole chart, continued pages break between rows, a
// poster's pages meet edge to edge.

#include "generation/chartpdf.h"
#include "spreadsheet/engine/rangepicture.h"
#include "support/samplechart.h"

#include <gtest/gtest.h>

namespace pq {
namespace {

engine::RangeGeometry chartGeometry(int generations) {
    engine::FormatTable formats;
    engine::SheetModel sheet(formats);
    return engine::rangeGeometry(sheet, test::fillChart(sheet, generations));
}

TEST(ChartPdf, PagesCoverTheChartAndBreakBetweenRows) {
    const engine::RangeGeometry g = chartGeometry(9);
    const QSizeF picture(g.size());
    for (const PdfOptions options : {PdfOptions{PdfFit::Pages, 1}, PdfOptions{PdfFit::Width, 3}}) {
        const PdfPlan plan = planPdfPages(g, printableA4(), options);
        const bool poster = options.fit == PdfFit::Width;
        double covered = 0; // down the chart's left edge
        for (const PdfPage& page : plan.pages) {
            EXPECT_LE(page.source.height() * plan.scale, printableA4().height() + 1e-6);
            EXPECT_NEAR(page.source.width() * plan.scale, printableA4().width(), 1e-6);
            if (page.source.left() > 0)
                continue;
            // Continued pages share the line between them; a poster's pages only meet.
            EXPECT_NEAR(page.source.top(), poster ? covered : std::max(0.0, covered - 1), 1e-6);
            covered = page.source.bottom();
            if (!poster && covered < picture.height()) { // the last line shown is a row edge
                EXPECT_TRUE(std::binary_search(g.rowTops.begin(), g.rowTops.end(),
                                               static_cast<int>(covered) - 1))
                    << covered;
            }
        }
        EXPECT_NEAR(covered, picture.height(), 1e-6);
        EXPECT_EQ(plan.pages.size() % options.pagesWide, 0u);
    }

    const PdfPlan one = planPdfPages(g, printableA4(), {PdfFit::Page, 2});
    ASSERT_EQ(one.pages.size(), 1u);
    EXPECT_FALSE(one.landscape); // a tall chart stays upright
    EXPECT_EQ(one.pages[0].source, QRectF(QPointF(0, 0), picture));
    EXPECT_NEAR(picture.height() * one.scale, printableA4().height(), 1e-6);
}

} // namespace
} // namespace pq
