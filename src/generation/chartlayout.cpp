#include "chartlayout.h"

#include "base/numeric.h"
#include "generationrun.h"

#include <cmath>
#include <limits>

namespace pq {

double MyPower(double Number, double Exponent) {
    return std::pow(Number, Exponent);
}

double generationColumnsFor(const QString& text2) {
    if (!IsNumeric(text2))
        return std::numeric_limits<double>::quiet_NaN();
    return roundHalfEven(CDbl(text2) - 1.0) + 1.0;
}

QString tooManyGenerationsMessage() {
    return QStringLiteral("A chart can show at most %1 generations: more would not fit the "
                          "65,536 rows of a 97-2003 workbook sheet.")
        .arg(kMaxGenerationColumns);
}

QString chartTitle(const QString& name) {
    return QStringLiteral("Family Tree for ") + name;
}

namespace {

void formatSheet(Guard& g, const xl::Ref<xl::Worksheet>& sheet, const ChartInputs& in) {
    g(116, [&] { sheet->cells()->font()->setName(QStringLiteral("Tahoma")); });
    g(118, [&] { sheet->columns(QStringLiteral("A:A"))->setColumnWidth(QStringLiteral("2")); });
    const char* wide[] = {"B:B", "C:C", "D:D", "E:E", "F:F"};
    int label = 120;
    for (const char* columns : wide) {
        g(label,
          [&] { sheet->columns(QLatin1String(columns))->setColumnWidth(QStringLiteral("24")); });
        label += 2;
    }
    g(130, [&] { sheet->range(QStringLiteral("B2:F2"))->merge(); });
    g(132, [&] { sheet->cells(2, 2)->setHorizontalAlignment(xl::xlLeft); });
    g(134, [&] { sheet->cells(2, 2)->font()->setSize(20); });
    g(136, [&] { sheet->cells(2, 2)->font()->setName(QStringLiteral("Tahoma")); });
    g(138, [&] { sheet->cells(2, 2)->setValue(chartTitle(in.text1())); });
    g(140, [&] { sheet->cells(2, 2)->font()->setColorIndex(16); });
    g(142, [&] { sheet->range(QStringLiteral("B3:F3"))->merge(); });
    g(144, [&] { sheet->cells(3, 2)->setHorizontalAlignment(xl::xlLeft); });
    g(146, [&] { sheet->cells(3, 2)->font()->setSize(11); });
    g(148, [&] { sheet->cells(3, 2)->setValue(in.text2() + QStringLiteral(" Generations")); });
}

void drawBox(Guard& g, const xl::Ref<xl::Worksheet>& sheet, std::int32_t row, std::int32_t column) {
    g(170, [&] { sheet->cells(row, column)->interior()->setColorIndex(43); });
    int label = 172;
    for (int edge = xl::xlEdgeLeft; edge <= xl::xlEdgeRight; ++edge, label += 2)
        g(label, [&] { sheet->cells(row, column)->borders(edge)->setLineStyle(xl::xlContinuous); });
}

} // namespace

void LayOutChart(Guard& g, const xl::Ref<xl::Worksheet>& sheet, const ChartInputs& in) {
    formatSheet(g, sheet, in);

    std::int32_t column = 0;
    Int16 rowOffset, offsetStep, spacing;
    g(150, [&] { column = 2; });
    g(152, [&] { rowOffset = 0; });
    g(154, [&] { offsetStep = 1; });
    g(156, [&] { spacing = 2; });

    // The loop bound is computed once; a bound that cannot be computed runs no column.
    std::int32_t first = -1;
    g(158, [&] { first = CLng(CDbl(in.text2()) - 1.0); });
    for (std::int32_t gen = first; gen >= 0; --gen) {
        std::int32_t boxCount = 0;
        std::int32_t row = 0;
        g(160, [&] { boxCount = CLng(MyPower(2, gen)); });
        g(162, [&] { rowOffset = rowOffset + offsetStep; });
        g(164, [&] { offsetStep = rowOffset; });
        g(166, [&] { row = static_cast<std::int16_t>(rowOffset + Int16(4)); });

        Int16 boxes;
        g(168, [&] { boxes = CInt(boxCount); });
        for (Int16 j = 1; j <= boxes;) {
            drawBox(g, sheet, row, column);
            if (g.test(180, [&] { return j < boxCount; })) {
                const std::int32_t last = row + spacing.value();
                for (std::int32_t k = row; k <= last; ++k)
                    g(184, [&] {
                        sheet->cells(k, column)
                            ->borders(xl::xlEdgeRight)
                            ->setLineStyle(xl::xlContinuous);
                    });
            }
            g(188, [&] { row = row + spacing.value(); });
            bool done = false;
            g(190, [&] {
                if (j == boxes)
                    done = true; // the counter is not stepped past the last box
                else
                    j = j + Int16(1);
            });
            if (done)
                break;
        }
        // The last columns hold a single box and draw no connector, so the spacing is only
        // doubled while a column with connectors still follows; doubling it further would
        // overflow on the largest charts although nothing uses the result.
        if (gen > 1)
            g(192, [&] { spacing = spacing * Int16(2); });
        g(194, [&] { column = column + 1; });
    }
}

// Labels of their own, after the run's last: these steps follow the cell plan.
void SetUpPrinting(Guard& g, const xl::Ref<xl::Worksheet>& sheet, Paper paper) {
    g(256, [&] { sheet->pageSetup()->setPrintArea(sheet->usedRange()->address()); });
    g(258, [&] { sheet->pageSetup()->setPrintTitleRows(QStringLiteral("$2:$3")); });
    g(260, [&] { sheet->pageSetup()->setFitToPagesWide(1); });
    g(262, [&] { sheet->pageSetup()->setFitToPagesTall(0); });
    g(264, [&] { sheet->pageSetup()->setCenterHorizontally(true); });
    g(266, [&] { sheet->pageSetup()->setPaperSize(workbookPaperCode(paper)); });
}

} // namespace pq
