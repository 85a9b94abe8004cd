#pragma once

// The chart as a print-ready PDF, paginated as the printer paginates it (pagination.h).

#include "pagination.h"

#include <QString>

class QIODevice;

namespace pq {

using PdfFit = PageFit;
using PdfOptions = PageOptions;

// Writes the pages of `plan` to an open device; `title` becomes the document's title. Throws
// Failure.
void writeChartPdf(QIODevice& device, const engine::RangePrintout& chart, const PagePlan& plan,
                   const QString& title);

} // namespace pq
