#pragma once

// A family-tree chart workbook built straight on the model, without the layout code: the
// sheet font, title rows, column widths, boxes and connectors of a chart of the given number
// of generation columns.

#include "spreadsheet/engine/xls/sheetmodel.h"

namespace pq::test {

inline constexpr int kSampleBoxColor = 43;   // lime
inline constexpr int kSampleTitleColor = 16; // grey
inline constexpr int kBoxColorIndex = kSampleBoxColor;
inline constexpr int kTitleColorIndex = kSampleTitleColor;
inline const QString kSampleTitle = QStringLiteral("Family Tree for Tamsin Orrow");

// Fills the workbook's active sheet (adding "Sheet1" when it has none).
void buildSampleChart(engine::WorkbookModel& workbook, int columns);

// Lays the chart out on one sheet from column B; returns the used range (B2 to the last box
// row, at least to column F).
engine::CellRect fillChart(engine::SheetModel& sheet, int columns);

// Box rows of generation column t (0 = column B) in a chart of the given columns.
int sampleBoxRow(int t, int i);
int sampleBoxCount(int columns, int t);

} // namespace pq::test
