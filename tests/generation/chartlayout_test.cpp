#include "generation/chartlayout.h"
#include "spreadsheet/engine/engineapp.h"
#include "support/fakeapplication.h"
#include "support/scripteddialogs.h"

#include <gtest/gtest.h>
#include <set>

namespace pq {
namespace {

using test::ScriptedDialogs;

// Lays a chart out on a new engine workbook and keeps the sheet for inspection.
struct LaidOutChart {
    explicit LaidOutChart(const QString& generations,
                          const QString& name = QStringLiteral("Tamsin Orrow")) {
        app = xl::CreateObject(xl::kProgId);
        sheet = app->workbooks()->add()->activeSheet();
        Guard g(dialogs, loc::kForm1PushButton1Click);
        LayOutChart(g, sheet, {[=] { return name; }, [=] { return generations; }});
        SetUpPrinting(g, sheet, Paper::Letter);
    }
    ~LaidOutChart() { app->quit(); }

    bool isBox(int row, int column) {
        auto cell = sheet->cells(row, column);
        return cell->interior()->colorIndex() == 43 &&
               cell->borders(xl::xlEdgeLeft)->lineStyle() == 1 &&
               cell->borders(xl::xlEdgeTop)->lineStyle() == 1 &&
               cell->borders(xl::xlEdgeBottom)->lineStyle() == 1 &&
               cell->borders(xl::xlEdgeRight)->lineStyle() == 1;
    }
    bool hasRightEdge(int row, int column) {
        return sheet->cells(row, column)->borders(xl::xlEdgeRight)->lineStyle() == 1;
    }
    // Every box on the sheet, as (row, column).
    std::set<std::pair<int, int>> boxes() {
        std::set<std::pair<int, int>> out;
        auto used = sheet->usedRange();
        auto rows = used->rows();
        const int lastRow = rows->item(rows->count())->row();
        auto columns = used->columns();
        const int lastColumn = columns->item(columns->count())->column();
        for (int r = 1; r <= lastRow; ++r)
            for (int c = 1; c <= lastColumn; ++c)
                if (sheet->cells(r, c)->interior()->colorIndex() == 43)
                    out.insert({r, c});
        return out;
    }
    QString usedAddress() {
        auto used = sheet->usedRange();
        auto rows = used->rows();
        auto columns = used->columns();
        return QStringLiteral("%1%2:%3%4")
            .arg(QChar('A' + used->column() - 1))
            .arg(used->row())
            .arg(QChar('A' + columns->item(columns->count())->column() - 1))
            .arg(rows->item(rows->count())->row());
    }

    ScriptedDialogs dialogs;
    xl::Ref<xl::Application> app;
    xl::Ref<xl::Worksheet> sheet;
};

TEST(ChartLayout, ThreeGenerationsWorkedExample) {
    LaidOutChart chart(QStringLiteral("3"));
    EXPECT_TRUE(chart.dialogs.messages.empty());
    const std::set<std::pair<int, int>> expected{{5, 2}, {7, 2},  {9, 2}, {11, 2},
                                                 {6, 3}, {10, 3}, {8, 4}};
    EXPECT_EQ(chart.boxes(), expected);
    for (int r = 5; r <= 11; ++r)
        EXPECT_TRUE(chart.hasRightEdge(r, 2)) << r;
    for (int r = 6; r <= 10; ++r)
        EXPECT_TRUE(chart.hasRightEdge(r, 3)) << r;
    EXPECT_FALSE(chart.hasRightEdge(4, 2));
    EXPECT_FALSE(chart.hasRightEdge(12, 2));
    EXPECT_FALSE(chart.hasRightEdge(5, 3));
    EXPECT_EQ(chart.usedAddress(), QStringLiteral("B2:F11"));

    // Printed, the used range fits the paper's width, centred, under the two-row title.
    auto setup = chart.sheet->pageSetup();
    EXPECT_EQ(setup->printArea(), QStringLiteral("$B$2:$F$11"));
    EXPECT_EQ(setup->printTitleRows(), QStringLiteral("$2:$3"));
    EXPECT_EQ(setup->fitToPagesWide(), 1);
    EXPECT_EQ(setup->fitToPagesTall(), 0);
    EXPECT_TRUE(setup->centerHorizontally());
    EXPECT_EQ(setup->paperSize(), 1); // the paper of the run: Letter
}

TEST(ChartLayout, TitleRowsAndColumnWidths) {
    LaidOutChart chart(QStringLiteral(" 5"), QStringLiteral("Ada"));
    auto b2 = chart.sheet->cells(2, 2);
    EXPECT_EQ(b2->value().toString(), QStringLiteral("Family Tree for Ada"));
    EXPECT_EQ(b2->font()->name(), QStringLiteral("Tahoma"));
    EXPECT_EQ(b2->font()->size(), 20.0);
    EXPECT_EQ(b2->font()->colorIndex(), 16);
    EXPECT_EQ(b2->horizontalAlignment(), xl::xlLeft);
    auto b3 = chart.sheet->cells(3, 2);
    EXPECT_EQ(b3->value().toString(), QStringLiteral(" 5 Generations"));
    EXPECT_EQ(b3->font()->size(), 11.0);
    EXPECT_EQ(b3->font()->name(), QStringLiteral("Tahoma"));
    EXPECT_EQ(chart.sheet->columns(QStringLiteral("A:A"))->columnWidth(), 2.0);
    for (const char* c : {"B:B", "C:C", "D:D", "E:E", "F:F"})
        EXPECT_EQ(chart.sheet->columns(QLatin1String(c))->columnWidth(), 24.0) << c;
    // A cell typed later outside the chart shows in Tahoma too.
    EXPECT_EQ(chart.sheet->cells(500, 30)->font()->name(), QStringLiteral("Tahoma"));
}

TEST(ChartLayout, FiveGenerationsWorkedExample) {
    LaidOutChart chart(QStringLiteral("5"));
    const auto boxes = chart.boxes();
    EXPECT_EQ(boxes.size(), 31u);
    const std::vector<std::vector<int>> rowsByColumn{
        {5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 29, 31, 33, 35},
        {6, 10, 14, 18, 22, 26, 30, 34},
        {8, 16, 24, 32},
        {12, 28},
        {20}};
    for (int t = 0; t < 5; ++t)
        for (int row : rowsByColumn[t])
            EXPECT_TRUE(chart.isBox(row, 2 + t)) << row << "," << 2 + t;
    EXPECT_TRUE(chart.hasRightEdge(12, 5));
    EXPECT_TRUE(chart.hasRightEdge(28, 5));
    EXPECT_FALSE(chart.hasRightEdge(19, 6));
    EXPECT_EQ(chart.usedAddress(), QStringLiteral("B2:F35"));
}

TEST(ChartLayout, SmallAndFractionalCounts) {
    {
        LaidOutChart chart(QStringLiteral("1"));
        EXPECT_EQ(chart.boxes(), (std::set<std::pair<int, int>>{{5, 2}}));
        EXPECT_EQ(chart.usedAddress(), QStringLiteral("B2:F5"));
    }
    {
        LaidOutChart chart(QStringLiteral("2"));
        EXPECT_EQ(chart.boxes(), (std::set<std::pair<int, int>>{{5, 2}, {7, 2}, {6, 3}}));
        EXPECT_TRUE(chart.hasRightEdge(6, 2));
    }
    for (const char* text : {"2.5", "3.5"}) {
        LaidOutChart chart(QString::fromLatin1(text));
        EXPECT_EQ(chart.boxes().size(), 7u) << text; // three columns either way
        EXPECT_EQ(chart.sheet->cells(3, 2)->value().toString(),
                  QString::fromLatin1(text) + QStringLiteral(" Generations"));
    }
}

TEST(ChartLayout, ZeroOrNegativeWritesOnlyTheTitle) {
    for (const char* text : {"0", "-3"}) {
        LaidOutChart chart(QString::fromLatin1(text));
        EXPECT_TRUE(chart.boxes().empty()) << text;
        EXPECT_EQ(chart.usedAddress(), QStringLiteral("B2:F3"));
        EXPECT_TRUE(chart.dialogs.messages.empty());
    }
}

TEST(ChartLayout, SevenGenerationsReachColumnHWithDefaultWidths) {
    LaidOutChart chart(QStringLiteral("7"));
    EXPECT_TRUE(chart.isBox(4 + 64, 8)); // the person: row 4 + 2^6, column H
    EXPECT_NEAR(chart.sheet->columns(QStringLiteral("G:G"))->columnWidth(), 8.43, 1e-9);
    EXPECT_EQ(chart.usedAddress(), QStringLiteral("B2:H131"));
}

TEST(ChartLayout, EmptyNameGivesTheBareTitle) {
    LaidOutChart chart(QStringLiteral("2"), QString());
    EXPECT_EQ(chart.sheet->cells(2, 2)->value().toString(), QStringLiteral("Family Tree for "));
}

TEST(ChartLayout, FifteenColumnsAreCompleteWithoutSpuriousReports) {
    LaidOutChart chart(QStringLiteral("15"));
    EXPECT_TRUE(chart.dialogs.messages.empty());
    EXPECT_EQ(chart.usedAddress(), QStringLiteral("B2:P32771"));
    EXPECT_TRUE(chart.isBox(5, 2));
    EXPECT_TRUE(chart.isBox(32771, 2));
    EXPECT_TRUE(chart.isBox(4 + 16384, 16)); // the person
    EXPECT_TRUE(chart.isBox(4 + 8192, 15));
    EXPECT_TRUE(chart.isBox(4 + 8192 + 16384, 15));
    EXPECT_TRUE(chart.hasRightEdge(4 + 16384, 15)); // the connector between them
}

TEST(ChartLayout, FailingCallIsReportedUnderItsLabelAndTheRestStillRuns) {
    auto log = std::make_shared<test::CallLog>();
    log->failWhen = [](const QString& member, int occurrence) {
        return member == QStringLiteral("Range.setValue") && occurrence == 1
                   ? QStringLiteral("Refused")
                   : QString();
    };
    test::FakeFactoryScope scope(log);
    LaidOutChart chart(QStringLiteral("3"));
    const auto reports = chart.dialogs.errorReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].text.startsWith(
        QStringLiteral("Refused\r\nin Kinloom2021/08/31.Form1.PushButton1_Click at line 138\r")));
    EXPECT_EQ(chart.sheet->cells(3, 2)->value().toString(), QStringLiteral("3 Generations"));
    EXPECT_EQ(chart.boxes().size(), 7u);
}

TEST(ChartLayout, CallCountsOfTheDefaultChart) {
    auto log = std::make_shared<test::CallLog>();
    test::FakeFactoryScope scope(log);
    LaidOutChart chart(QStringLiteral("5"));
    const int boxCalls = log->seen.value(QStringLiteral("Interior.setColorIndex"));
    const int edgeCalls = log->seen.value(QStringLiteral("Border.setLineStyle"));
    // Five properties per box, one edge per connector row (shared rows set twice).
    EXPECT_EQ(boxCalls + 4 * boxCalls, 155);
    EXPECT_EQ(edgeCalls - 4 * boxCalls, 124);
}

} // namespace
} // namespace pq
