#pragma once

// What the benchmark programs share: the peak memory figure and a main that runs the
// benchmarks inside an offscreen Qt application (fonts and pictures need one).

#include <QApplication>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

namespace pq::bench {

// The process's maximum resident size so far, in megabytes.
inline double peakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

inline int runInQtApplication(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace pq::bench
