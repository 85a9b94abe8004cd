// Find in the chart on a filled fifteen-generation chart, made as a user makes one: the
// benchmarks' generated 100,000-person family-tree file, filled by pedigrafa-cli --gedcom.
// Reading the chart's texts happens once, at the first search; each search after that must
// answer well within what a keystroke allows (50 ms).

#include "benchsupport.h"
#include "gedcomsample.h"
#include "preview/chartfind.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>

namespace {

// The filled chart's workbook, made once for all the benchmarks.
const QString& filledChart() {
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString gedcom = dir.filePath(QStringLiteral("people.ged"));
        const pq::bench::SampleTree tree = pq::bench::makeSampleGedcom(100000);
        QFile out(gedcom);
        if (!out.open(QIODevice::WriteOnly) ||
            out.write(tree.text.data(), static_cast<qint64>(tree.text.size())) !=
                static_cast<qint64>(tree.text.size())) {
            std::fprintf(stderr, "cannot write the sample family-tree file\n");
            std::exit(1);
        }
        out.close();
        const QString chart = dir.filePath(QStringLiteral("filled15.xls"));
        QProcess cli;
        cli.start(QStringLiteral(PQ_CLI_PATH),
                  {QStringLiteral("--gedcom"), gedcom, QString::fromStdString(tree.rootXref),
                   QStringLiteral("15"), chart});
        if (!cli.waitForFinished(120000) || cli.exitCode() != 0) {
            std::fprintf(stderr, "pedigrafa-cli failed: %s\n",
                         cli.readAllStandardError().constData());
            std::exit(1);
        }
        return chart;
    }();
    return path;
}

const pq::ChartFind& chartTexts() {
    static const pq::ChartFind texts = pq::ChartFind::fromWorkbookFile(filledChart());
    return texts;
}

void BM_ReadChartTexts(benchmark::State& state) {
    const QString& path = filledChart();
    std::size_t texts = 0;
    for (auto _ : state)
        texts = pq::ChartFind::fromWorkbookFile(path).size();
    state.counters["texts"] = static_cast<double>(texts);
}
BENCHMARK(BM_ReadChartTexts)->Unit(benchmark::kMillisecond);

// One search for what a user types: a surname in many boxes, the next one after a match near
// the end, and a text in no box (every box looked at).
void BM_FindInFilledChart(benchmark::State& state) {
    const pq::ChartFind& texts = chartTexts();
    const QString typed[] = {QStringLiteral("orrow"), QStringLiteral("18"),
                             QStringLiteral("nobody by this name")};
    const QString& what = typed[state.range(0)];
    const auto first = texts.find(what);
    const std::optional<std::size_t> after =
        first ? std::optional<std::size_t>(texts.size() - 1) : std::nullopt;
    int total = 0;
    for (auto _ : state) {
        const auto found = texts.find(what, after);
        total = found ? found->total : 0;
        benchmark::DoNotOptimize(found);
    }
    state.SetLabel(what.toStdString());
    state.counters["boxes_found"] = total;
    state.counters["texts"] = static_cast<double>(texts.size());
}
BENCHMARK(BM_FindInFilledChart)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return pq::bench::runInQtApplication(argc, argv);
}
