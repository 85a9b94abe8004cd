#pragma once

// The BIFF8 "Workbook" stream of a workbook: the globals substream (fonts, XFs, sheet list,
// shared strings) followed by one worksheet substream per sheet.

#include "sheetmodel.h"

#include <QByteArray>

namespace pq::engine::biff {

// Throws Failure when the workbook does not fit the 97-2003 format (cells outside 65,536 rows
// by 256 columns, invalid sheet names, too many formats).
QByteArray encodeWorkbookStream(const WorkbookModel& workbook);

} // namespace pq::engine::biff
