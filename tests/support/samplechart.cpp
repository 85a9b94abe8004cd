#include "samplechart.h"

#include <algorithm>

namespace pq::test {

using namespace engine;

int sampleBoxRow(int t, int i) {
    return 4 + (1 << t) + i * (1 << (t + 1));
}

int sampleBoxCount(int columns, int t) {
    return 1 << (columns - 1 - t);
}

void buildSampleChart(WorkbookModel& workbook, int columns) {
    if (workbook.sheets().empty())
        workbook.addSheet(QStringLiteral("Sheet1"));
    fillChart(workbook.activeSheet(), columns);
}

CellRect fillChart(SheetModel& sheet, int columns) {
    sheet.editSheetFormat([](CellFormat& f) { f.fontName = QStringLiteral("Tahoma"); });
    sheet.setColumnWidth(1, 1, 2);
    sheet.setColumnWidth(2, 6, 24);

    sheet.merge({2, 2, 2, 6});
    sheet.editCellFormat(2, 2, [](CellFormat& f) {
        f.horizontalAlignment = kAlignLeft;
        f.fontSize = 20;
        f.fontName = QStringLiteral("Tahoma");
        f.fontColorIndex = kSampleTitleColor;
    });
    sheet.setValue(2, 2, kSampleTitle);
    sheet.merge({3, 2, 3, 6});
    sheet.editCellFormat(3, 2, [](CellFormat& f) {
        f.horizontalAlignment = kAlignLeft;
        f.fontSize = 11;
    });
    sheet.setValue(3, 2, QStringLiteral("%1 Generations").arg(columns));

    for (int t = 0; t < columns; ++t) {
        const int column = 2 + t;
        const int boxes = sampleBoxCount(columns, t);
        for (int i = 0; i < boxes; ++i)
            sheet.editCellFormat(sampleBoxRow(t, i), column, [](CellFormat& f) {
                f.interiorColorIndex = kSampleBoxColor;
                f.borders.fill(kLineStyleContinuous);
            });
        if (boxes < 2)
            continue;
        for (int row = sampleBoxRow(t, 0); row <= sampleBoxRow(t, boxes - 1); ++row)
            sheet.editCellFormat(row, column, [](CellFormat& f) {
                f.borders[static_cast<int>(Edge::Right)] = kLineStyleContinuous;
            });
    }
    return {2, 2, 3 + (1 << columns), std::max(6, 1 + columns)};
}

} // namespace pq::test
