// The chart's print-ready PDF: continued pages for 10 and 15 generation columns and the whole
// 15-column chart on one page, with the file's size and page count.

#include "benchsupport.h"
#include "generation/chartpdf.h"
#include "spreadsheet/engine/rangepicture.h"
#include "support/samplechart.h"

#include <QBuffer>
#include <benchmark/benchmark.h>

namespace {

using namespace pq::engine;

void chartPdf(benchmark::State& state, pq::PdfFit fit) {
    FormatTable formats;
    SheetModel sheet(formats);
    const CellRect range = pq::test::fillChart(sheet, static_cast<int>(state.range(0)));
    const pq::PdfOptions options{fit, 2};
    qsizetype bytes = 0;
    int pages = 0;
    for (auto _ : state) {
        // The printout and the plan are part of the work: the command-line tool makes them
        // for each PDF.
        const RangePrintout chart(sheet, range);
        const pq::PagePlan plan = pq::planPages(pq::chartShape(sheet, range), options);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        pq::writeChartPdf(buffer, chart, plan, pq::test::kSampleTitle);
        bytes = buffer.size();
        pages = plan.pageCount();
    }
    state.counters["pages"] = pages;
    state.counters["pdf_kB"] = bytes / 1024.0;
    state.counters["peak_MB"] = pq::bench::peakResidentMegabytes();
}
BENCHMARK_CAPTURE(chartPdf, pages, pq::PdfFit::Pages)
    ->Arg(10)
    ->Arg(15)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(chartPdf, page, pq::PdfFit::Page)->Arg(15)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return pq::bench::runInQtApplication(argc, argv);
}
