#include "chartpdf.h"

#include <QPdfWriter>
#include <memory>

namespace pq {

void writeChartPdf(QIODevice& device, const engine::RangePrintout& chart, const PagePlan& plan,
                   const QString& title) {
    auto pdf = std::make_unique<QPdfWriter>(&device);
    // Points as the device's unit: the plan is made in them.
    pdf->setResolution(72);
    pdf->setTitle(title);
    pdf->setCreator(QStringLiteral("Pedigrafa Quorvell Sheet Builder Kit"));
    try {
        paintPages(*pdf, chart, plan);
    } catch (...) {
        // Left unfinished, as the painter is (paintPages): ending the document needs memory.
        [[maybe_unused]] QPdfWriter* abandoned = pdf.release();
        throw;
    }
}

} // namespace pq
