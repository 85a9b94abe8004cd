#pragma once

// Reads a BIFF8 "Workbook" stream back into a workbook model: sheet names, the active sheet,
// cell values (texts, and numbers as the General format shows them), cell, column and sheet
// formats, column widths, explicit row heights and merged areas. Everything else is skipped.

#include "sheetmodel.h"

#include <QByteArray>
#include <memory>

namespace pq::engine::biff {

// Throws Failure naming the problem when the stream is not BIFF8 or is corrupt.
std::unique_ptr<WorkbookModel> decodeWorkbookStream(const QByteArray& stream);

} // namespace pq::engine::biff
