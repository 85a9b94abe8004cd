// The whole generation run in-process: layout, save, reopen, picture file and hand-off, with
// the windows replaced by fakes (no modal boxes). Peak memory is the process's maximum
// resident size.

#include "benchsupport.h"
#include "gedcom/familyfile.h"
#include "gedcomsample.h"
#include "generation/generationrun.h"
#include "support/fakewindow.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace {

// One run, and the removal of its workbook outside the timing.
void runOnce(benchmark::State& state, pq::test::FakeWindow& window) {
    pq::GenerationRun run(window);
    run.PushButton1_Click();
    if (!window.dialogService.messages.empty() || window.previewWindow.picture.isNull())
        state.SkipWithError("the run reported a failure");
    state.PauseTiming();
    QFile::remove(window.previewWindow.excelFile);
    state.ResumeTiming();
}

void BM_GenerationRun(benchmark::State& state) {
    QTemporaryDir temp;
    qputenv("TEMP", temp.path().toUtf8());
    static int runs = 0;
    for (auto _ : state) {
        pq::test::FakeWindow window;
        window.generations = QString::number(state.range(0));
        // Each run for another person, so that nothing drawn for the previous run is reused.
        window.name = QStringLiteral("Tamsin Orrow %1").arg(++runs);
        runOnce(state, window);
    }
    state.counters["peak_MB"] = pq::bench::peakResidentMegabytes();
}
BENCHMARK(BM_GenerationRun)
    ->Arg(5)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_GenerationRun)
    ->Arg(15)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3)
    ->ReportAggregatesOnly(true);

// Start to preview for a chart filled from the generated 100,000-person file, its person chosen
// by cross-reference; compare with BM_GenerationRun at the same number of generations.
void BM_FilledGenerationRun(benchmark::State& state) {
    QTemporaryDir temp;
    qputenv("TEMP", temp.path().toUtf8());
    static const pq::bench::SampleTree tree = pq::bench::makeSampleGedcom(100000);
    static const std::shared_ptr<const pq::gedcom::FamilyFile> file =
        pq::gedcom::readFamilyFile(QByteArray(tree.text.data(), qsizetype(tree.text.size())));
    for (auto _ : state) {
        pq::test::FakeWindow window;
        window.generations = QString::number(state.range(0));
        window.name = QString::fromStdString(tree.rootXref);
        window.family = {file, QStringLiteral("sample.ged")};
        runOnce(state, window);
    }
}
BENCHMARK(BM_GenerationRun)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_FilledGenerationRun)
    ->Arg(10)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
int main(int argc, char** argv) {
    return pq::bench::runInQtApplication(argc, argv);
}
