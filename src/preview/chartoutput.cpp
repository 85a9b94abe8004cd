#include "chartoutput.h"

#include "base/failure.h"
#include "generation/batchchart.h"
#include "generation/chartpdf.h"
#include "spreadsheet/engine/rangepicture.h"
#include "spreadsheet/engine/xls/xlsfile.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QPrinter>

namespace pq {

namespace {

const QString kOverwrite = QStringLiteral("Are you sure you wish to overwrite ");

QString count(int n) {
    return QLocale(QLocale::English).toString(n);
}

QString planDescription(const PagePlan& plan) {
    if (plan.pageCount() == 1)
        return QStringLiteral("1 page");
    return QStringLiteral("%1 pages (%2 across, %3 down)")
        .arg(count(plan.pageCount()), count(plan.pagesWide()), count(plan.pagesTall()));
}

} // namespace

// The chart as the printer and the files need it, read once from the workbook.
struct ChartOutput::Chart {
    std::unique_ptr<engine::WorkbookModel> model;
    engine::CellRect used{};
    ChartShape shape;
    std::unique_ptr<engine::RangePrintout> printout;
    QString title;
    const engine::SheetModel& sheet() const { return model->activeSheet(); }
};

QStringList pagePlanCaptions() {
    return {QStringLiteral("Continued Pages"), QStringLiteral("One Page"),
            QStringLiteral("Poster")};
}

QStringList pageTurnCaptions() {
    return {QStringLiteral("Upright, or turned to fit one page"), QStringLiteral("Upright"),
            QStringLiteral("Turned")};
}

PageOptions pageOptionsOf(const PrintPreviewRequest& choices) {
    PageOptions options;
    options.fit = static_cast<PageFit>(std::clamp(choices.plan, 0, 2));
    options.pagesWide = std::clamp(choices.pagesWide, 1, kMaxPosterPagesWide);
    options.paper = kPapers[std::clamp<qsizetype>(choices.paper, 0, std::size(kPapers) - 1)];
    options.turn = static_cast<PageTurn>(std::clamp(choices.turn, 0, 2));
    return options;
}

void setChoices(PrintPreviewRequest& request, const PageOptions& options) {
    request.plans = pagePlanCaptions();
    request.papers = paperNames();
    request.turns = pageTurnCaptions();
    request.plan = static_cast<int>(options.fit);
    request.pagesWide = options.pagesWide;
    request.maxPagesWide = kMaxPosterPagesWide;
    request.paper = static_cast<int>(
        std::find(std::begin(kPapers), std::end(kPapers), options.paper) - std::begin(kPapers));
    request.turn = static_cast<int>(options.turn);
}

QString suggestedBaseName(const QString& title) {
    static const QString prefix = QStringLiteral("Family Tree for ");
    QString name = title.startsWith(prefix) ? title.mid(prefix.size()) : title;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    name.remove(QChar(0));
    name = name.trimmed();
    // A name of dots alone would name a folder.
    if (name.isEmpty() || name.count(QLatin1Char('.')) == name.size())
        name = QStringLiteral("chart");
    return name.left(200);
}

ChartOutput::ChartOutput(DialogService& dialogs) : mDialogs(dialogs), mFolder(QDir::homePath()) {}

ChartOutput::~ChartOutput() = default;

void ChartOutput::setWorkbook(const QString& path) {
    mWorkbook = path;
    mChart.reset();
}

void ChartOutput::noteSaved(const QString& path) {
    mFolder = QFileInfo(path).absolutePath();
}

void ChartOutput::report(const QString& text) {
    mDialogs.message({text, QString(), MsgButtons::Ok, MsgIcon::Exclamation, true});
}

ChartOutput::Chart* ChartOutput::chart() {
    if (mChart)
        return mChart.get();
    try {
        auto chart = std::make_unique<Chart>();
        chart->model = engine::readXls(mWorkbook);
        const auto used = chart->sheet().usedRange();
        if (!used)
            throw Failure(QStringLiteral("the chart is empty"));
        chart->used = *used;
        chart->shape = chartShape(chart->sheet(), chart->used);
        chart->printout = std::make_unique<engine::RangePrintout>(chart->sheet(), chart->used);
        chart->title = chartTitleOf(chart->sheet());
        mChart = std::move(chart);
    } catch (const Failure& f) {
        report(QStringLiteral("cannot read the chart from %1: %2").arg(mWorkbook, f.description()));
    }
    return mChart.get();
}

// The preview, starting from the last choices (the remembered paper the first time); the
// choices are kept, and the paper remembered, only when the user goes on.
bool ChartOutput::choosePlan(const QString& title, const QString& acceptText) {
    Chart* shown = chart();
    if (!shown)
        return false;
    if (!mOptionsChosen)
        mOptions.paper = mStore ? rememberedPaper(*mStore) : localePaper();
    PrintPreviewRequest request;
    request.title = title;
    request.acceptText = acceptText;
    setChoices(request, mOptions);
    request.paint = [shown](QPrinter& printer, const PrintPreviewRequest& choices) {
        try {
            paintPages(printer, *shown->printout, planPages(shown->shape, pageOptionsOf(choices)));
        } catch (const Failure&) {
            // The preview then shows no pages; the description says why.
        }
    };
    request.describe = [shown](const PrintPreviewRequest& choices) {
        try {
            return planDescription(planPages(shown->shape, pageOptionsOf(choices)));
        } catch (const Failure& f) {
            return f.description();
        }
    };
    if (!mDialogs.printPreview(request))
        return false;
    mOptions = pageOptionsOf(request);
    mOptionsChosen = true;
    if (mStore)
        rememberPaper(*mStore, mOptions.paper);
    return true;
}

PageOptions optionsAfterPrintDialog(const PageOptions& options, const PagePlan& plan,
                                    const QPageLayout& chosen) {
    PageOptions out = options;
    if (const auto paper = paperOf(chosen.pageSize()))
        out.paper = *paper;
    const bool turned = chosen.orientation() == QPageLayout::Landscape;
    if (turned != plan.landscape)
        out.turn = turned ? PageTurn::Turned : PageTurn::Upright;
    return out;
}

std::pair<int, int> pagesToPrint(const QPrinter& printer, int pageCount) {
    if (printer.printRange() != QPrinter::PageRange || printer.fromPage() < 1)
        return {0, pageCount - 1};
    const int first = std::min(printer.fromPage(), pageCount) - 1;
    const int last = std::clamp(printer.toPage(), printer.fromPage(), pageCount) - 1;
    return {first, last};
}

bool ChartOutput::allowPageCount(const PagePlan& plan) {
    const QString problem = pageLimitProblem(plan);
    if (problem.isEmpty())
        return true;
    const QString question =
        QStringLiteral("The chart would take %1 pages, more than the limit of %2. Go on with all "
                       "%1 pages?")
            .arg(count(plan.pageCount()), count(kPageLimit));
    return MsgBox(mDialogs, question, MsgButtons::YesNo) == MsgResult::Yes;
}

void ChartOutput::print() {
    if (!choosePlan(kPrintTitle, QStringLiteral("Print…")))
        return;
    Chart* shown = chart();
    PagePlan plan = planPages(shown->shape, mOptions);
    if (!allowPageCount(plan))
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(plan.pageLayout());
    printer.setDocName(shown->title);
    printer.setCreator(QStringLiteral("Pedigrafa Quorvell Sheet Builder Kit"));
    if (!mDialogs.printDialog(printer, plan.pageCount()))
        return;
    // The system's dialog has the last word on the paper and the turn: a change there plans the
    // pages again, and a paper of ours chosen there is remembered as if chosen in the preview.
    const PageOptions chosen = optionsAfterPrintDialog(mOptions, plan, printer.pageLayout());
    if (chosen.paper != plan.paper || chosen.turn != mOptions.turn) {
        plan = planPages(shown->shape, chosen);
        if (!allowPageCount(plan))
            return;
        mOptions = chosen;
        if (mStore)
            rememberPaper(*mStore, mOptions.paper);
    }
    // Pages are planned for our papers only: another one chosen there gets the plan's.
    printer.setPageLayout(plan.pageLayout());
    const auto [first, last] = pagesToPrint(printer, plan.pageCount());
    QString cause;
    try {
        paintPages(printer, *shown->printout, plan, first, last);
    } catch (const Failure& f) {
        cause = f.description();
    }
    if (cause.isEmpty() && printer.printerState() == QPrinter::Error)
        cause = QStringLiteral("the print system did not take the job");
    if (!cause.isEmpty()) {
        const QString where =
            printer.outputFileName().isEmpty() ? printer.printerName() : printer.outputFileName();
        report(QStringLiteral("cannot print on %1: %2").arg(where, cause));
    }
}

bool ChartOutput::askTarget(const QString& title, const QString& filter, const QString& suffix,
                            QString& path, ExistingFile& existing) {
    const QString suggested =
        QDir(mFolder).filePath(suggestedBaseName(mChart ? mChart->title : QString()) + suffix);
    path = mDialogs.saveFileName({suggested, title, filter});
    if (path.isEmpty())
        return false;
    existing = ExistingFile::Keep;
    const QFileInfo target(path);
    if (target.exists() || target.isSymLink()) {
        if (MsgBox(mDialogs, kOverwrite + path + QStringLiteral(" ?"), MsgButtons::YesNo) !=
            MsgResult::Yes)
            return false;
        existing = ExistingFile::Replace;
    }
    return true;
}

void ChartOutput::exportPdf() {
    if (!choosePlan(kExportPdfTitle, QStringLiteral("Export…")))
        return;
    Chart* shown = chart();
    const PagePlan plan = planPages(shown->shape, mOptions);
    if (!allowPageCount(plan))
        return;
    QString path;
    ExistingFile existing;
    if (!askTarget(kExportPdfTitle, kPdfFilter, QStringLiteral(".pdf"), path, existing))
        return;
    try {
        writeFileSafely(
            path,
            [&](QIODevice& file) { writeChartPdf(file, *shown->printout, plan, shown->title); },
            existing);
        noteSaved(path);
    } catch (const Failure& f) {
        report(f.description());
    }
}

void ChartOutput::exportPicture() {
    Chart* shown = chart();
    if (!shown)
        return;
    QString path;
    ExistingFile existing;
    if (!askTarget(kExportPictureTitle, kPictureFilter, QStringLiteral(".svg"), path, existing))
        return;
    try {
        writeChartPicture(shown->sheet(), shown->used, path, existing);
        noteSaved(path);
    } catch (const Failure& f) {
        report(f.description());
    }
}

} // namespace pq
