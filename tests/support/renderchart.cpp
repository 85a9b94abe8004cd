#include "renderchart.h"

#include <algorithm>

namespace pq::test {

using namespace engine;

namespace {

void addTitles(SheetModel& sheet, int columns) {
    sheet.merge({2, 2, 2, 6});
    sheet.editCellFormat(2, 2, [](CellFormat& f) {
        f.horizontalAlignment = kAlignLeft;
        f.fontSize = 20;
        f.fontName = QStringLiteral("Tahoma");
        f.fontColorIndex = kTitleColorIndex;
    });
    sheet.setValue(2, 2, QStringLiteral("Family Tree for Tamsin Orrow"));
    sheet.merge({3, 2, 3, 6});
    sheet.editCellFormat(3, 2, [](CellFormat& f) {
        f.horizontalAlignment = kAlignLeft;
        f.fontSize = 11;
    });
    sheet.setValue(3, 2, QStringLiteral("%1 Generations").arg(columns));
}

void addColumn(SheetModel& sheet, int t, int columns) {
    const int column = 2 + t;
    const int boxes = 1 << (columns - 1 - t);
    const int first = 4 + (1 << t), spacing = 1 << (t + 1);
    for (int i = 0; i < boxes; ++i)
        sheet.editCellFormat(first + i * spacing, column, [](CellFormat& f) {
            f.interiorColorIndex = kBoxColorIndex;
            f.borders.fill(kLineStyleContinuous);
        });
    if (boxes < 2)
        return;
    for (int row = first; row <= first + (boxes - 1) * spacing; ++row)
        sheet.editCellFormat(row, column, [](CellFormat& f) {
            f.borders[static_cast<int>(Edge::Right)] = kLineStyleContinuous;
        });
}

} // namespace

CellRect fillChart(SheetModel& sheet, int columns) {
    sheet.editSheetFormat([](CellFormat& f) { f.fontName = QStringLiteral("Tahoma"); });
    sheet.setColumnWidth(1, 1, 2);
    sheet.setColumnWidth(2, 6, 24);
    addTitles(sheet, columns);
    for (int t = 0; t < columns; ++t)
        addColumn(sheet, t, columns);
    return {2, 2, 3 + (1 << columns), std::max(6, 1 + columns)};
}

} // namespace pq::test
