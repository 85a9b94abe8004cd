#pragma once

// Builds the family-tree chart's cells on a sheet for renderer tests and benchmarks: the title
// rows and the boxes and connectors of the given number of generation columns.

#include "spreadsheet/engine/sheetmodel.h"

namespace pq::test {

inline constexpr int kBoxColorIndex = 43;   // lime
inline constexpr int kTitleColorIndex = 16; // grey

// Lays the chart out from column B; returns the used range (B2 to the last box row, at least
// to column F).
engine::CellRect fillChart(engine::SheetModel& sheet, int columns);

} // namespace pq::test
