// Opens a family-tree file as the window does, to measure it from outside: loading (reading and
// parsing), then building the person index, then one search. Prints the time of each step and
// the process's peak resident memory against the file's size:
//   open_family_file FILE [TYPED]
// The peak is the whole process (Qt Core included); "before" is what it held before loading.

#include "gedcom/familyload.h"
#include "gedcom/personsearch.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>

namespace {

double peakResidentMB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

double millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: open_family_file FILE [TYPED]\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QString typed = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("orr");
    const double fileMB = QFileInfo(path).size() / (1024.0 * 1024.0);
    const double beforeMB = peakResidentMB();
    try {
        const auto start = std::chrono::steady_clock::now();
        const auto file = pq::gedcom::loadFamilyFile(path);
        const double loadMs = millisecondsSince(start);
        const auto indexStart = std::chrono::steady_clock::now();
        const pq::gedcom::PersonSearch search(*file);
        const double indexMs = millisecondsSince(indexStart);
        const auto findStart = std::chrono::steady_clock::now();
        std::size_t total = 0;
        search.find(typed, 50, &total);
        const double findMs = millisecondsSince(findStart);
        const double peakMB = peakResidentMB();
        std::printf("%s: %zu people, %.1f MiB\n"
                    "load %.1f ms, index %.1f ms (%.1f MiB), open to searchable %.1f ms\n"
                    "find \"%s\": %zu people in %.2f ms\n"
                    "peak resident %.1f MiB (%.2f x the file; %.1f MiB before loading, "
                    "%.2f x the file above it)\n",
                    argv[1], file->people().size(), fileMB, loadMs, indexMs,
                    search.memoryBytes() / (1024.0 * 1024.0), loadMs + indexMs,
                    typed.toLocal8Bit().constData(), total, findMs, peakMB, peakMB / fileMB,
                    beforeMB, (peakMB - beforeMB) / fileMB);
    } catch (const pq::Failure& failure) {
        std::fprintf(stderr, "%s\n", failure.description().toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
