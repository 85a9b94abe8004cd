// Writes the sample family-tree chart workbook to the path given, for checks by independent
// readers: writesamplechart FILE [COLUMNS]

#include "spreadsheet/engine/xls/xlsfile.h"
#include "support/samplechart.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: writesamplechart FILE [COLUMNS]\n");
        return 2;
    }
    const int columns = args.size() > 2 ? args[2].toInt() : 5;
    try {
        pq::engine::WorkbookModel workbook;
        pq::test::buildSampleChart(workbook, columns);
        pq::engine::writeXls(workbook, args[1]);
    } catch (const pq::Failure& failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }
    return 0;
}
