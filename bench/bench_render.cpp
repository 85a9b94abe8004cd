// Range picture speed: the SVG of the 5-generation chart and of the 15-column chart, and the
// bitmap of the 5-generation chart.

#include "benchsupport.h"
#include "spreadsheet/engine/rangepicture.h"
#include "support/samplechart.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

using namespace pq::engine;

namespace {

void chartSvg(benchmark::State& state) {
    FormatTable formats;
    SheetModel sheet(formats);
    const CellRect range = pq::test::fillChart(sheet, static_cast<int>(state.range(0)));
    qsizetype bytes = 0;
    for (auto _ : state) {
        const QByteArray svg = renderRangeSvg(sheet, range);
        bytes = svg.size();
        benchmark::DoNotOptimize(svg.data());
    }
    state.counters["svg_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(chartSvg)->Arg(5)->Arg(15)->Unit(benchmark::kMillisecond);

void chartGeometry(benchmark::State& state) {
    FormatTable formats;
    SheetModel sheet(formats);
    const CellRect range = pq::test::fillChart(sheet, static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(rangeGeometry(sheet, range).size());
}
BENCHMARK(chartGeometry)->Arg(15)->Unit(benchmark::kMillisecond);

void chartImage(benchmark::State& state) {
    FormatTable formats;
    SheetModel sheet(formats);
    const CellRect range = pq::test::fillChart(sheet, 5);
    for (auto _ : state)
        benchmark::DoNotOptimize(renderRangeImage(sheet, range).constBits());
}
BENCHMARK(chartImage)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return pq::bench::runInQtApplication(argc, argv);
}
