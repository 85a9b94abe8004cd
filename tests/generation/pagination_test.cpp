// The pages of a chart: together they show all of it, each fits its paper, none ends inside a
// row or (on a poster) inside a column, and none parts a box from the text under it.

#include "base/failure.h"
#include "generation/chartfill.h"
#include "generation/pagination.h"
#include "spreadsheet/engine/engineapp.h"
#include "spreadsheet/engine/rangedisplaylist.h"
#include "spreadsheet/engine/rangepicture.h"
#include "spreadsheet/engine/xls/xlsfile.h"
#include "support/samplechart.h"
#include "support/scripteddialogs.h"

#include <QPainterPath>
#include <gtest/gtest.h>

namespace pq {
namespace {

struct Chart {
    explicit Chart(int generations, bool filled = false) {
        range = test::fillChart(sheet, generations);
        if (filled) // every box gets a name and, in the cell below it, life years
            for (int t = 0; t < generations; ++t)
                for (int i = 0; i < test::sampleBoxCount(generations, t); ++i) {
                    sheet.setValue(test::sampleBoxRow(t, i), 2 + t, QStringLiteral("Agnes"));
                    sheet.setValue(test::sampleBoxRow(t, i) + 1, 2 + t, QStringLiteral("1815"));
                }
        shape = chartShape(sheet, range);
    }
    engine::FormatTable formats;
    engine::SheetModel sheet{formats};
    engine::CellRect range{};
    ChartShape shape;
};

// The rows (0-based in the range) a page shows in a column, or nothing.
std::pair<int, int> rowsShown(const ChartShape& shape, const PlannedPage& page, int column) {
    const double x = (shape.columnLefts[column] + shape.columnLefts[column + 1]) / 2.0;
    int first = -1, last = -1;
    for (std::size_t r = 0; r + 1 < shape.rowTops.size(); ++r) {
        const double y = (shape.rowTops[r] + shape.rowTops[r + 1]) / 2.0;
        if (page.clip.contains(QPointF(x, y))) {
            first = first < 0 ? static_cast<int>(r) : first;
            last = static_cast<int>(r);
        }
    }
    return {first, last};
}

// Checks a plan page by page and returns how many pages show each row of each column.
void checkPlan(const Chart& chart, const PagePlan& plan) {
    const ChartShape& shape = chart.shape;
    const int columns = static_cast<int>(shape.columnLefts.size()) - 1;
    const int rows = static_cast<int>(shape.rowTops.size()) - 1;
    std::vector<std::vector<int>> seen(columns, std::vector<int>(rows, 0));
    for (int i = 0; i < plan.pageCount(); ++i) {
        const PlannedPage page = plan.page(i);
        EXPECT_LE(page.source.height() * plan.scale, plan.printable.height() + 1e-6) << i;
        EXPECT_LE(page.source.width() * plan.scale, plan.printable.width() + 1e-6) << i;
        // Pages end on column edges: a page shows a column whole or not at all.
        for (int c = 0; c < columns; ++c) {
            const auto [first, last] = rowsShown(shape, page, c);
            if (first < 0)
                continue;
            for (int r = first; r <= last; ++r) {
                ++seen[c][r];
                const double y = (shape.rowTops[r] + shape.rowTops[r + 1]) / 2.0;
                EXPECT_TRUE(page.clip.contains(QPointF(shape.columnLefts[c] + 0.5, y)) &&
                            page.clip.contains(QPointF(shape.columnLefts[c + 1] - 0.5, y)))
                    << "page " << i << " cuts column " << c;
            }
            // A box whose next cell holds text is on the page with it.
            for (int kept : shape.keepWithNext[c])
                EXPECT_FALSE(kept == last && last + 1 < rows) << "page " << i << " column " << c;
        }
    }
    for (int c = 0; c < columns; ++c)
        for (int r = 0; r < rows; ++r)
            ASSERT_EQ(seen[c][r], 1) << "column " << c << " row " << r;
}

TEST(Pagination, PlansShowEveryCellOnceOnEveryPaper) {
    const Chart blank(9), filled(8, true);
    for (const Chart* chart : {&blank, &filled})
        for (const Paper paper : kPapers)
            for (const PageTurn turn : {PageTurn::Auto, PageTurn::Turned})
                for (const PageOptions options : {PageOptions{PageFit::Pages, 1, paper, turn},
                                                  PageOptions{PageFit::Width, 3, paper, turn},
                                                  PageOptions{PageFit::Page, 1, paper, turn}}) {
                    SCOPED_TRACE(paperName(paper).toStdString());
                    const PagePlan plan = planPages(chart->shape, options);
                    EXPECT_EQ(plan.landscape, turn == PageTurn::Turned);
                    EXPECT_EQ(plan.pagesWide(), options.fit == PageFit::Width ? 3 : 1);
                    checkPlan(*chart, plan);
                }
}

TEST(Pagination, PaperDecidesTheCountTheScaleAndTheTurn) {
    const Chart chart(9), large(12);
    const PagePlan a4 = planPages(large.shape, {PageFit::Pages, 1, Paper::A4, PageTurn::Auto});
    const PagePlan letter =
        planPages(large.shape, {PageFit::Pages, 1, Paper::Letter, PageTurn::Auto});
    // Letter is wider and shorter than A4: a larger chart on more pages.
    EXPECT_GT(letter.scale, a4.scale);
    EXPECT_GT(letter.pageCount(), a4.pageCount());
    EXPECT_EQ(letter.pageLayout().pageSize().id(), QPageSize::Letter);
    EXPECT_NEAR(a4.printable.width(), 595.276 - 2 * 12 * 72 / 25.4, 0.5);

    // The whole chart on one page: upright for a tall chart, turned for a wide one, and as
    // large as the paper allows.
    const PagePlan tall = planPages(chart.shape, {PageFit::Page, 1, Paper::Letter});
    EXPECT_FALSE(tall.landscape);
    EXPECT_NEAR(chart.shape.size().height() * tall.scale, tall.printable.height(), 1e-6);
    const Chart wide(3);
    EXPECT_TRUE(planPages(wide.shape, {PageFit::Page, 1, Paper::A4}).landscape);

    // A poster's pages split the chart between columns, the widest filling its page.
    const PagePlan poster = planPages(chart.shape, {PageFit::Width, 3, Paper::A4});
    double widest = 0;
    for (int i = 0; i < 3; ++i)
        widest = std::max(widest, poster.page(i).source.width());
    EXPECT_NEAR(widest * poster.scale, poster.printable.width(), 1e-6);
    EXPECT_EQ(poster.page(1).source.left(), poster.page(0).source.right() - 1);
    // More pages across than columns is as many as there are columns.
    EXPECT_EQ(planPages(wide.shape, {PageFit::Width, 20, Paper::A4}).pagesWide(),
              static_cast<int>(wide.shape.columnLefts.size()) - 1);
}

// The smallest text of a filled chart of `generations` columns as the default plan prints it
// on `paper`, in points; every name is `name`, every box has years.
double smallestPrintedText(int generations, Paper paper, const QString& name) {
    ChartFill fill{name, generations, {}, {}};
    for (int a = 1; a < (1 << generations); ++a)
        fill.boxes.push_back({a, name, QStringLiteral("c. 1815–1892")});
    test::ScriptedDialogs dialogs;
    auto app = xl::CreateObject(xl::kProgId);
    auto workbook = app->workbooks()->add();
    {
        Guard g(dialogs, loc::kForm1PushButton1Click);
        LayOutChartSheet(g, workbook->activeSheet(),
                         {[&] { return name; }, [&] { return QString::number(generations); }}, fill,
                         paper);
    }
    EXPECT_TRUE(dialogs.messages.empty());
    const auto model = engine::decodeXls(engine::workbookFile(workbook));
    app->quit();
    const engine::SheetModel& sheet = model->activeSheet();
    const engine::CellRect used = *sheet.usedRange();
    const PagePlan plan = planPages(chartShape(sheet, used), {PageFit::Pages, 1, paper});
    double smallest = 1e9;
    for (const engine::RowBand& band : engine::buildDisplayList(sheet, used).bands)
        for (const engine::TextRun& text : band.texts)
            smallest = std::min(smallest, engine::pixelsForPoints(text.pointSize) * plan.scale);
    return smallest;
}

// Up to six generations the default plan prints names and years at 6 pt or more on A4 and on
// Letter, for every name that fits its box's 24 characters (a longer one shrinks to fit).
TEST(Pagination, DefaultPlanPrintsBoxTextAtSixPointsUpToSixGenerations) {
    const QString longest = QStringLiteral("Wilhelmina Oosterhuisen"); // 23 characters
    for (const Paper paper : {Paper::A4, Paper::Letter})
        for (int generations = 2; generations <= 6; ++generations)
            EXPECT_GE(smallestPrintedText(generations, paper, longest), 6.0)
                << paperName(paper).toStdString() << ", " << generations << " generations";
    EXPECT_LT(smallestPrintedText(6, Paper::A4, longest + longest), 6.0)
        << "a name twice too long is shrunk to fit its box";
}

TEST(Pagination, LargeChartsStopAtThePageLimit) {
    const Chart chart(15);
    const PagePlan pages = planPages(chart.shape, {PageFit::Pages, 1, Paper::A4});
    EXPECT_EQ(pages.pageCount(), 253);
    EXPECT_TRUE(pageLimitProblem(pages).isEmpty());
    const PagePlan poster = planPages(chart.shape, {PageFit::Width, 20, Paper::A4});
    const QString problem = pageLimitProblem(poster);
    EXPECT_TRUE(problem.contains(QStringLiteral("more than the limit of 1,000")))
        << problem.toStdString();
    EXPECT_TRUE(pageLimitProblem(poster, poster.pageCount()).isEmpty());
    EXPECT_THROW(planPages(ChartShape{}, {}), Failure);
}

TEST(Paper, NamesLocaleDefaultAndWorkbookCodes) {
    for (const Paper paper : kPapers)
        EXPECT_EQ(paperFromName(paperName(paper).toUpper()), paper);
    EXPECT_EQ(paperFromName(QStringLiteral("US Letter")), Paper::Letter);
    EXPECT_EQ(paperFromName(QStringLiteral("B5")), std::nullopt);
    EXPECT_EQ(localePaper(QLocale(QLocale::English, QLocale::UnitedStates)), Paper::Letter);
    EXPECT_EQ(localePaper(QLocale(QLocale::English, QLocale::UnitedKingdom)), Paper::A4);
    EXPECT_EQ(localePaper(QLocale(QLocale::German, QLocale::Germany)), Paper::A4);
    EXPECT_EQ(workbookPaperCode(Paper::Letter), 1);
    EXPECT_EQ(workbookPaperCode(Paper::A4), 9);
    EXPECT_EQ(workbookPaperCode(Paper::Tabloid), 3);
}

} // namespace
} // namespace pq
