#pragma once

// The 97-2003 workbook file: BIFF8 records in an OLE2 compound file's "Workbook" stream.

#include "base/failure.h"
#include "sheetmodel.h"

#include <QByteArray>
#include <QString>
#include <memory>

namespace pq::engine {

// Encodes the workbook as a complete .xls file image.
QByteArray encodeXls(const WorkbookModel& workbook);

// Writes the file; the target is replaced only once the new file is complete and on the disk.
// Throws WriteFailure naming the path and the cause ("cannot write …: No space left on device").
void writeXls(const WorkbookModel& workbook, const QString& path);

// Decodes a file image; a file that is not a 97-2003 workbook, or that is truncated or corrupt,
// throws Failure with a clear description (never crashes, hangs or allocates without bound: no
// record is decoded twice, so time and memory grow with the file's size only).
std::unique_ptr<WorkbookModel> decodeXls(const QByteArray& file);
std::unique_ptr<WorkbookModel> readXls(const QString& path);

} // namespace pq::engine
