// The chart's print-ready PDF: continued pages for 10 and 15 generation columns and the whole
// 15-column chart on one page, with the file's size and page count. Beside it the same pages
// through the printer (a file printer: the path a print job takes up to the print system), and
// the print preview of 15 generations: its first page shown, and a page turned.

#include "benchsupport.h"
#include "generation/chartpdf.h"
#include "spreadsheet/engine/rangepicture.h"
#include "support/samplechart.h"

#include <QBuffer>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryDir>
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

// The pages through QPrinter, as Print… sends them: compare with chartPdf/pages.
void chartPrint(benchmark::State& state) {
    FormatTable formats;
    SheetModel sheet(formats);
    const CellRect range = pq::test::fillChart(sheet, static_cast<int>(state.range(0)));
    QTemporaryDir dir;
    for (auto _ : state) {
        const RangePrintout chart(sheet, range);
        const pq::PagePlan plan = pq::planPages(pq::chartShape(sheet, range), {});
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFileName(dir.filePath(QStringLiteral("printed.pdf")));
        pq::paintPages(printer, chart, plan);
    }
}
BENCHMARK(chartPrint)->Arg(10)->Arg(15)->Unit(benchmark::kMillisecond);

// The print preview of the 15-generation chart: from the request to the first page drawn, and
// the turn to another page drawn.
struct Preview {
    explicit Preview(int generations) : range(pq::test::fillChart(sheet, generations)) {
        chart = std::make_unique<RangePrintout>(sheet, range);
        plan = pq::planPages(pq::chartShape(sheet, range), {});
        widget.resize(700, 700);
        QObject::connect(&widget, &QPrintPreviewWidget::paintRequested,
                         [this](QPrinter* printer) { pq::paintPages(*printer, *chart, plan); });
        widget.show();
    }
    FormatTable formats;
    SheetModel sheet{formats};
    CellRect range;
    std::unique_ptr<RangePrintout> chart;
    pq::PagePlan plan;
    QPrinter printer{QPrinter::ScreenResolution};
    QPrintPreviewWidget widget{&printer};
};

void printPreviewFirstPage(benchmark::State& state) {
    for (auto _ : state) {
        Preview preview(15);
        preview.widget.updatePreview();
        benchmark::DoNotOptimize(preview.widget.grab());
        state.counters["pages"] = preview.widget.pageCount();
    }
}
BENCHMARK(printPreviewFirstPage)->Unit(benchmark::kMillisecond);

void printPreviewPageTurn(benchmark::State& state) {
    Preview preview(15);
    preview.widget.updatePreview();
    int page = 1;
    for (auto _ : state) {
        page = page % preview.widget.pageCount() + 1;
        preview.widget.setCurrentPage(page);
        benchmark::DoNotOptimize(preview.widget.grab());
    }
}
BENCHMARK(printPreviewPageTurn)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return pq::bench::runInQtApplication(argc, argv);
}
