// Workbook file speed: the chart from model to saved bytes, and the largest chart (15 columns,
// 32,767 boxes over 32,771 rows) written and read back. Peak memory is reported as the
// process's maximum resident size.

#include "benchsupport.h"
#include "spreadsheet/engine/xls/xlsfile.h"
#include "support/samplechart.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

using namespace pq::engine;

void reportFile(benchmark::State& state, const WorkbookModel& workbook, qsizetype bytes) {
    state.counters["cells"] = static_cast<double>(workbook.activeSheet().cellCount());
    state.counters["cells/s"] =
        benchmark::Counter(static_cast<double>(workbook.activeSheet().cellCount()),
                           benchmark::Counter::kIsIterationInvariantRate);
    state.counters["file_kB"] = bytes / 1024.0;
    state.counters["peak_MB"] = pq::bench::peakResidentMegabytes();
}

void BM_WriteChart(benchmark::State& state) {
    WorkbookModel workbook;
    pq::test::buildSampleChart(workbook, static_cast<int>(state.range(0)));
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray file = encodeXls(workbook);
        bytes = file.size();
        benchmark::DoNotOptimize(file.constData());
    }
    reportFile(state, workbook, bytes);
}
BENCHMARK(BM_WriteChart)->Arg(5)->Arg(15)->Unit(benchmark::kMillisecond);

void BM_ReadChart(benchmark::State& state) {
    WorkbookModel workbook;
    pq::test::buildSampleChart(workbook, static_cast<int>(state.range(0)));
    const QByteArray file = encodeXls(workbook);
    for (auto _ : state) {
        auto decoded = decodeXls(file);
        benchmark::DoNotOptimize(decoded.get());
    }
    reportFile(state, workbook, file.size());
}
BENCHMARK(BM_ReadChart)->Arg(5)->Arg(15)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
