#include "chartpdf.h"

#include <QPdfWriter>

namespace pq {

void writeChartPdf(QIODevice& device, const engine::RangePrintout& chart, const PagePlan& plan,
                   const QString& title) {
    QPdfWriter pdf(&device);
    // Points as the device's unit: the plan is made in them.
    pdf.setResolution(72);
    pdf.setTitle(title);
    pdf.setCreator(QStringLiteral("Pedigrafa Quorvell Sheet Builder Kit"));
    paintPages(pdf, chart, plan);
}

} // namespace pq
