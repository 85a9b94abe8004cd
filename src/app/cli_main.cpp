// pedigrafa-cli: blank family-tree chart workbooks from the command line.

#include "base/numeric.h"
#include "cli_cleanup.h"
#include "generation/batchchart.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <new>

namespace {

void printErrors(const QStringList& errors, const char* kind = "") {
    for (const QString& e : errors)
        std::fprintf(stderr, "pedigrafa-cli: %s%s\n", kind, qPrintable(e));
}

// "family.ged line 12: text", as compilers name a place in a file.
QString located(const pq::gedcom::FileWarning& w) {
    return w.line ? QStringLiteral("%1 line %2: %3").arg(w.file).arg(w.line).arg(w.text)
                  : QStringLiteral("%1: %2").arg(w.file, w.text);
}

// The PDF's fit from its two options; a problem is returned as the message to show.
QString readPdfOptions(const QCommandLineParser& parser, const QCommandLineOption& fit,
                       const QCommandLineOption& pagesWide, pq::PdfOptions& options) {
    if ((parser.isSet(fit) || parser.isSet(pagesWide)) && !parser.isSet(QStringLiteral("pdf")))
        return QStringLiteral("--pdf-fit and --pdf-pages-wide need --pdf FILE");
    const QString mode = parser.value(fit);
    if (mode == QLatin1String("page"))
        options.fit = pq::PdfFit::Page;
    else if (mode == QLatin1String("width") || (mode.isEmpty() && parser.isSet(pagesWide)))
        options.fit = pq::PdfFit::Width;
    else if (!mode.isEmpty() && mode != QLatin1String("pages"))
        return QStringLiteral("--pdf-fit must be pages, page or width, not \"%1\"").arg(mode);
    if (parser.isSet(pagesWide)) {
        bool ok = false;
        options.pagesWide = parser.value(pagesWide).toInt(&ok);
        if (!ok || options.pagesWide < 1 || options.pagesWide > pq::kMaxPosterPagesWide)
            return QStringLiteral("--pdf-pages-wide must be a whole number from 1 to %1")
                .arg(pq::kMaxPosterPagesWide);
        if (options.fit != pq::PdfFit::Width)
            return QStringLiteral("--pdf-pages-wide goes with --pdf-fit width");
    }
    return QString();
}

// The paper (the locale's unless given) and the PDF's page limit.
QString readPaperOptions(const QCommandLineParser& parser, const QCommandLineOption& paper,
                         const QCommandLineOption& maxPages, pq::BatchRequest& request) {
    request.pdf.paper = pq::localePaper();
    if (parser.isSet(paper)) {
        const auto chosen = pq::paperFromName(parser.value(paper));
        if (!chosen)
            return QStringLiteral("--paper must be one of %1, not \"%2\"")
                .arg(pq::paperNames().join(QStringLiteral(", ")), parser.value(paper));
        request.pdf.paper = *chosen;
    }
    if (parser.isSet(maxPages)) {
        bool ok = false;
        request.maxPages = parser.value(maxPages).toInt(&ok);
        if (!ok || request.maxPages < 1)
            return QStringLiteral("--max-pages must be a whole number of at least 1");
    }
    return QString();
}

// A negative number ("-3", "-0") is a GENERATIONS argument, not an option: the parser sees it
// under a stand-in that cannot look like one, and `restore` gives it back.
class NegativeNumbers {
public:
    QStringList shield(const QStringList& arguments) {
        QStringList shielded;
        bool options = true;
        for (const QString& argument : arguments) {
            if (argument == QLatin1String("--"))
                options = false;
            const bool negative = options && argument.size() > 1 &&
                                  argument.startsWith(QLatin1Char('-')) && pq::IsNumeric(argument);
            shielded << (negative ? stand(argument) : argument);
        }
        return shielded;
    }
    QString restore(const QString& argument) const {
        bool ok = false;
        const int index = argument.startsWith(kMark) ? argument.mid(1).toInt(&ok) : -1;
        return ok && index >= 0 && index < mOriginals.size() ? mOriginals[index] : argument;
    }

private:
    QString stand(const QString& number) {
        mOriginals << number;
        return kMark + QString::number(mOriginals.size() - 1);
    }
    static constexpr QChar kMark = QChar(0xFDD0); // a noncharacter: never typed
    QStringList mOriginals;
};

// Whether the command line asks for a picture or a PDF (the options, as "--pdf" or "--pdf=F").
bool drawsAnything(int argc, char* argv[]) {
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
        if (std::strncmp(argv[i], "--picture", 9) == 0 || std::strncmp(argv[i], "--pdf", 5) == 0)
            return true;
    return false;
}

int run(int argc, char* argv[]) {
    // Pictures and PDFs need fonts, which need a GUI application, never a window: draw
    // offscreen. A workbook alone starts sooner without one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const bool draws = drawsAnything(argc, argv);
    if (draws)
        pq::cli::usePrivateRuntimeFolderIfNone();
    const std::unique_ptr<QCoreApplication> app =
        draws ? std::make_unique<QGuiApplication>(argc, argv)
              : std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("pedigrafa-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PQ_VERSION));

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
    const QCommandLineOption pdfFit(
        QStringLiteral("pdf-fit"),
        QStringLiteral("How the PDF fits the paper: \"pages\" (the paper's width, continued "
                       "pages; the default), \"page\" (the whole chart on one page) or "
                       "\"width\" (a poster several pages wide)."),
        QStringLiteral("MODE"));
    const QCommandLineOption pdfPagesWide(
        QStringLiteral("pdf-pages-wide"),
        QStringLiteral("How many pages wide the poster is (1 to %1; default 2); implies "
                       "--pdf-fit width.")
            .arg(pq::kMaxPosterPagesWide),
        QStringLiteral("N"));
    const QCommandLineOption force({QStringLiteral("f"), QStringLiteral("force")},
                                   QStringLiteral("Overwrite files that exist."));
    const QCommandLineOption gedcom(
        QStringLiteral("gedcom"),
        QStringLiteral("Fill the chart with the person's ancestors from this GEDCOM file."),
        QStringLiteral("FILE"));
    const QCommandLineOption paper(
        QStringLiteral("paper"),
        QStringLiteral("The paper of the PDF and of the workbook's page set-up: %1 (default: "
                       "%2, from the locale).")
            .arg(pq::paperNames().join(QStringLiteral(", ")), pq::paperName(pq::localePaper())),
        QStringLiteral("NAME"));
    const QCommandLineOption maxPages(
        QStringLiteral("max-pages"),
        QStringLiteral("Write a PDF of up to N pages (default %1); a plan of more is refused.")
            .arg(pq::kPageLimit),
        QStringLiteral("N"));
    parser.addOptions({picture, pdf, pdfFit, pdfPagesWide, force, gedcom, paper, maxPages});
    NegativeNumbers numbers;
    parser.process(numbers.shield(QCoreApplication::arguments()));

    QStringList args = parser.positionalArguments();
    for (QString& arg : args)
        arg = numbers.restore(arg);
    if (args.size() != 3) {
        std::fprintf(stderr, "pedigrafa-cli: expected NAME GENERATIONS OUTPUT (see --help)\n");
        return 2;
    }
    pq::BatchRequest request{
        args[0], args[1], args[2], parser.value(picture), parser.value(pdf), parser.isSet(force),
        {}};
    request.picturePath = numbers.restore(request.picturePath);
    request.pdfPath = numbers.restore(request.pdfPath);
    request.gedcomPath = numbers.restore(parser.value(gedcom));
    if (const QString problem = readPdfOptions(parser, pdfFit, pdfPagesWide, request.pdf);
        !problem.isEmpty()) {
        printErrors({problem});
        return 2;
    }
    if (const QString problem = readPaperOptions(parser, paper, maxPages, request);
        !problem.isEmpty()) {
        printErrors({problem});
        return 2;
    }
    const pq::BatchResult result = pq::makeChartFiles(request);
    for (const pq::gedcom::FileWarning& w : result.warnings)
        std::fprintf(stderr, "pedigrafa-cli: warning: %s\n", qPrintable(located(w)));
    printErrors(result.errors);
    return result.exitCode;
}

} // namespace

int main(int argc, char* argv[]) {
    pq::cli::cleanUpAtSignals();
    try {
        return run(argc, argv);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "pedigrafa-cli: Out of memory\n");
        return 1;
    } catch (const std::exception& e) { // ends through exit, so the runtime folder goes too
        std::fprintf(stderr, "pedigrafa-cli: %s\n", e.what());
        return 1;
    }
}
