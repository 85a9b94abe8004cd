// Family-tree files: reading a generated 100,000-person GEDCOM file (time, and memory against
// the file's size), building the type-ahead person index and searching it as each key is
// typed (alone and through the completer's list model), choosing the chart's person and
// gathering ten generations, and the whole filled ten-generation command. PQ_GEDCOM_FILE names a
// file to read instead of the generated one (the parse-gedcom peer script passes the file it gave
// Node).

#include "benchsupport.h"
#include "gedcom/familyfile.h"
#include "gedcom/pedigree.h"
#include "gedcom/personlistmodel.h"
#include "gedcom/personsearch.h"
#include "gedcomsample.h"
#include "generation/chartfill.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <malloc.h>
#include <new>
#include <sys/resource.h>

// Everything our model allocates goes through operator new; counting it gives the reading's
// peak, the file's bytes (one QByteArray) aside.
namespace {
std::atomic<std::size_t> gLiveBytes{0}, gPeakBytes{0};
}
void* operator new(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p)
        throw std::bad_alloc();
    const std::size_t live = gLiveBytes += malloc_usable_size(p);
    for (std::size_t peak = gPeakBytes;
         live > peak && !gPeakBytes.compare_exchange_weak(peak, live);)
        ;
    return p;
}
void operator delete(void* p) noexcept {
    if (p)
        gLiveBytes -= malloc_usable_size(p);
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}

namespace {

const QByteArray& sampleFile() {
    static const QByteArray bytes = [] {
        if (const QByteArray path = qgetenv("PQ_GEDCOM_FILE"); !path.isEmpty()) {
            QFile file(QString::fromLocal8Bit(path));
            if (file.open(QIODevice::ReadOnly))
                return file.readAll();
            std::fprintf(stderr, "cannot read %s\n", path.constData());
            std::exit(1);
        }
        const std::string text = pq::bench::makeSampleGedcom(100000).text;
        return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
    }();
    return bytes;
}

void BM_ParseGedcom(benchmark::State& state) {
    const QByteArray& file = sampleFile();
    std::size_t people = 0;
    gPeakBytes = gLiveBytes.load();
    const std::size_t before = gLiveBytes;
    for (auto _ : state) {
        const auto model = pq::gedcom::readFamilyFile(file);
        people = model->people().size();
    }
    const double fileMB = file.size() / 1e6;
    const double peakMB = fileMB + (gPeakBytes - before) / 1e6;
    state.SetBytesProcessed(state.iterations() * file.size());
    state.counters["people"] = static_cast<double>(people);
    state.counters["file_MB"] = fileMB;
    state.counters["peak_MB"] = peakMB; // the file's bytes and everything read from them
    state.counters["peak_x_file"] = peakMB / fileMB;
}
BENCHMARK(BM_ParseGedcom)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The person index over the file already read: the part of opening a file that comes after
// the reading.
void BM_BuildPersonSearch(benchmark::State& state) {
    const auto model = pq::gedcom::readFamilyFile(sampleFile());
    std::size_t indexBytes = 0;
    for (auto _ : state) {
        const pq::gedcom::PersonSearch search(*model);
        indexBytes = search.memoryBytes();
        benchmark::DoNotOptimize(indexBytes);
    }
    state.counters["index_MB"] = indexBytes / 1e6;
    state.counters["index_x_file"] = static_cast<double>(indexBytes) / sampleFile().size();
}
BENCHMARK(BM_BuildPersonSearch)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Open to searchable: reading and indexing, and the peak memory of both against the file.
void BM_OpenToSearchable(benchmark::State& state) {
    const QByteArray& file = sampleFile();
    gPeakBytes = gLiveBytes.load();
    const std::size_t before = gLiveBytes;
    for (auto _ : state) {
        const auto model = pq::gedcom::readFamilyFile(file);
        const pq::gedcom::PersonSearch search(*model);
        benchmark::DoNotOptimize(search.isComplete());
    }
    const double fileMB = file.size() / 1e6;
    const double peakMB = fileMB + (gPeakBytes - before) / 1e6;
    state.counters["peak_MB"] = peakMB;
    state.counters["peak_x_file"] = peakMB / fileMB;
}
BENCHMARK(BM_OpenToSearchable)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// What a user types, one keystroke each: a single letter (the most matches), three letters of
// a surname, a given name and a surname's start, a whole name, cross-references.
const char* const kTyped[] = {"s",     "smi",    "tam", "tamsin or", "tamsin orrow",
                              "zoe m", "I50000", "@I1", "xyz"};

const pq::gedcom::FamilyFile& sampleModel() {
    static const auto model = pq::gedcom::readFamilyFile(sampleFile());
    return *model;
}

const pq::gedcom::PersonSearch& sampleSearch() {
    static const pq::gedcom::PersonSearch search(sampleModel());
    return search;
}

void BM_FindAsTyped(benchmark::State& state) {
    const QString typed = QString::fromUtf8(kTyped[state.range(0)]);
    const pq::gedcom::PersonSearch& search = sampleSearch();
    std::size_t total = 0;
    for (auto _ : state) {
        const auto matches = search.find(typed, pq::gedcom::PersonListModel::kShown, &total);
        benchmark::DoNotOptimize(matches.data());
    }
    state.SetLabel(typed.toStdString());
    state.counters["matches"] = static_cast<double>(total);
}
BENCHMARK(BM_FindAsTyped)->DenseRange(0, std::size(kTyped) - 1)->Unit(benchmark::kMillisecond);

// The same through the completer's list model, every row's text read as its popup does.
void BM_FindThroughListModel(benchmark::State& state) {
    const QString typed = QString::fromUtf8(kTyped[state.range(0)]);
    pq::gedcom::PersonListModel list;
    list.setSearch(&sampleSearch());
    for (auto _ : state) {
        list.setText(typed);
        for (int row = 0; row < list.rowCount(); ++row)
            benchmark::DoNotOptimize(list.data(list.index(row)).toString().size());
    }
    state.SetLabel(typed.toStdString());
    state.counters["rows"] = list.rowCount();
}
BENCHMARK(BM_FindThroughListModel)
    ->DenseRange(0, std::size(kTyped) - 1)
    ->Unit(benchmark::kMillisecond);

// The person the typed text names when the run starts, as the tool chooses.
void BM_ResolveTyped(benchmark::State& state) {
    const pq::gedcom::PersonSearch& search = sampleSearch();
    for (auto _ : state) {
        const auto resolution = search.resolve(u"Tamsin Orrow");
        benchmark::DoNotOptimize(resolution.person);
    }
}
BENCHMARK(BM_ResolveTyped)->Unit(benchmark::kMillisecond);

void BM_ChooseAndGatherTenGenerations(benchmark::State& state) {
    const auto model = pq::gedcom::readFamilyFile(sampleFile());
    for (auto _ : state) {
        const auto choice = pq::gedcom::choosePerson(*model, QStringLiteral("Tamsin Orrow"));
        const auto pedigree = pq::gedcom::pedigreeOf(*model, choice.person, 10);
        benchmark::DoNotOptimize(pedigree.ancestors.data());
    }
}
BENCHMARK(BM_ChooseAndGatherTenGenerations)->Unit(benchmark::kMillisecond);

// pedigrafa-cli --gedcom FILE "Tamsin Orrow" 10 OUT.xls, as a user runs it: wall time of the
// process, and its peak resident memory.
void BM_FilledChartCommand(benchmark::State& state) {
    QTemporaryDir dir;
    const QString gedcom = dir.filePath(QStringLiteral("people.ged"));
    QFile out(gedcom);
    if (!out.open(QIODevice::WriteOnly) || out.write(sampleFile()) != sampleFile().size()) {
        state.SkipWithError("cannot write the sample file");
        return;
    }
    out.close();
    const QStringList args{QStringLiteral("--force"),
                           QStringLiteral("--gedcom"),
                           gedcom,
                           QStringLiteral("Tamsin Orrow"),
                           QStringLiteral("10"),
                           dir.filePath(QStringLiteral("chart.xls"))};
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        QProcess cli;
        cli.start(QStringLiteral(PQ_CLI_PATH), args);
        if (!cli.waitForFinished(60000) || cli.exitCode() != 0) {
            state.SkipWithError("pedigrafa-cli failed");
            return;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);
    state.counters["cli_peak_MB"] = children.ru_maxrss / 1024.0;
    state.counters["file_MB"] = sampleFile().size() / 1e6;
}
BENCHMARK(BM_FilledChartCommand)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);

} // namespace

int main(int argc, char** argv) {
    return pq::bench::runInQtApplication(argc, argv);
}
