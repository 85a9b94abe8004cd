// pedigrafa-cli: blank family-tree chart workbooks from the command line.

#include "generation/batchchart.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <cstdio>

namespace {

void printErrors(const QStringList& errors, const char* kind = "") {
    for (const QString& e : errors)
        std::fprintf(stderr, "pedigrafa-cli: %s%s\n", kind, qPrintable(e));
}

} // namespace

int main(int argc, char* argv[]) {
    // Fonts and pictures need a GUI application, never a window: draw offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("pedigrafa-cli"));
    QGuiApplication::setApplicationVersion(QStringLiteral(PQ_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Makes a blank family-tree (pedigree) chart as a 97-2003 workbook (.xls),\n"
                       "or one filled from a GEDCOM file with --gedcom.\n"
                       "GENERATIONS counts the person's own generation too (1 to 15)."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("NAME"),
                                 QStringLiteral("Whose family tree it is; with --gedcom, a name "
                                                "in the file or a cross-reference (@I12@)."));
    parser.addPositionalArgument(QStringLiteral("GENERATIONS"),
                                 QStringLiteral("Number of generations, including the person."));
    parser.addPositionalArgument(QStringLiteral("OUTPUT"),
                                 QStringLiteral("The workbook to write (.xls)."));
    const QCommandLineOption picture(
        QStringLiteral("picture"), QStringLiteral("Also write the chart's picture (.svg or .png)."),
        QStringLiteral("FILE"));
    const QCommandLineOption pdf(QStringLiteral("pdf"),
                                 QStringLiteral("Also write a print-ready PDF of the chart."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption force({QStringLiteral("f"), QStringLiteral("force")},
                                   QStringLiteral("Overwrite files that exist."));
    const QCommandLineOption gedcom(
        QStringLiteral("gedcom"),
        QStringLiteral("Fill the chart with the person's ancestors from this GEDCOM file."),
        QStringLiteral("FILE"));
    parser.addOptions({picture, pdf, force, gedcom});
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "pedigrafa-cli: expected NAME GENERATIONS OUTPUT (see --help)\n");
        return 2;
    }
    pq::BatchRequest request{
        args[0], args[1], args[2], parser.value(picture), parser.value(pdf), parser.isSet(force)};
    request.gedcomPath = parser.value(gedcom);
    const pq::BatchResult result = pq::makeChartFiles(request);
    printErrors(result.warnings, "warning: ");
    printErrors(result.errors);
    return result.exitCode;
}
