#include "batchchart.h"

#include "base/numeric.h"
#include "base/safefile.h"
#include "chartfill.h"
#include "chartlayout.h"
#include "chartpdf.h"
#include "generationrun.h"
#include "mainwindow/services/errorreport.h"
#include "spreadsheet/engine/engineapp.h"
#include "spreadsheet/engine/rangepicture.h"
#include "spreadsheet/engine/xls/xlsfile.h"
#include "spreadsheet/picture.h"

#include <QFileInfo>
#include <QLocale>
#include <cerrno>
#include <new>
#include <optional>

namespace pq {

namespace {

// Collects the failed steps instead of showing them.
class CollectingFailures final : public FailureListener {
public:
    void stepFailed(const StepFailure& failure) override {
        errors << QStringLiteral("step %1: %2").arg(failure.label).arg(failure.description);
    }
    QStringList errors;
};

BatchResult fail(int code, const QString& message,
                 const QList<gedcom::FileWarning>& warnings = {}) {
    return BatchResult{false, code, {message}, warnings};
}

} // namespace

void writeChartPicture(const engine::SheetModel& sheet, const engine::CellRect& used,
                       const QString& path, ExistingFile existing) {
    if (path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) {
        const QImage image = engine::renderRangeImage(sheet, used);
        if (image.isNull())
            throw Failure(QStringLiteral("the chart is too large for a bitmap; write an SVG "
                                         "picture instead"));
        Picture::fromImage(image).save(path, existing);
        return;
    }
    writeFileSafely(path, engine::renderRangeSvg(sheet, used), existing);
}

QString chartTitleOf(const engine::SheetModel& sheet) {
    return sheet.cell(2, 2) ? sheet.cell(2, 2)->value() : QString();
}

namespace {

// A print-ready PDF, each page drawing only its part of the chart.
void writePdf(const engine::SheetModel& sheet, const engine::CellRect& used, const QString& path,
              const PagePlan& plan, ExistingFile existing) {
    const engine::RangePrintout chart(sheet, used);
    writeFileSafely(
        path, [&](QIODevice& file) { writeChartPdf(file, chart, plan, chartTitleOf(sheet)); },
        existing);
}

QString existsMessage(const QString& path) {
    return QStringLiteral("%1 exists; use --force to overwrite it").arg(path);
}

// Refuses a target before any work: a folder, something other than a regular file (a FIFO, a
// device), or without --force anything at all. The write itself checks again.
std::optional<BatchResult> checkTarget(const QString& path, bool force) {
    if (path.isEmpty())
        return std::nullopt;
    const QFileInfo info(path);
    if (info.isDir())
        return fail(2, QStringLiteral("%1 is a folder").arg(path));
    if ((info.exists() || info.isSymLink()) && !force)
        return fail(3, existsMessage(path));
    if (info.exists() && !info.isFile())
        return fail(2, QStringLiteral("%1 is not a regular file; only regular files are "
                                      "replaced")
                           .arg(path));
    return std::nullopt;
}

// The file a path names, however spelled: links and ".." resolved as far as the path exists.
QString fileIdentity(const QString& path) {
    const QFileInfo info(path);
    if (info.exists())
        return info.canonicalFilePath();
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? info.absoluteFilePath() : folder + QLatin1Char('/') + info.fileName();
}

// Two outputs on one path would silently replace each other.
std::optional<BatchResult> checkDistinctTargets(const QStringList& paths) {
    for (qsizetype i = 0; i < paths.size(); ++i)
        for (qsizetype j = i + 1; j < paths.size(); ++j)
            if (!paths[i].isEmpty() && !paths[j].isEmpty() &&
                fileIdentity(paths[i]) == fileIdentity(paths[j]))
                return fail(2, QStringLiteral("%1 and %2 are the same file; give each output "
                                              "its own name")
                                   .arg(paths[i], paths[j]));
    return std::nullopt;
}

std::optional<BatchResult> checkName(const QString& name) {
    const qsizetype longest = engine::kMaxCellTextLength - chartTitle(QString()).size();
    if (name.size() <= longest)
        return std::nullopt;
    return fail(2, QStringLiteral("the name is too long: the chart's title holds at most %1 "
                                  "characters of it")
                       .arg(QLocale(QLocale::English).toString(longest)));
}

} // namespace

namespace {

BatchResult makeChartFilesOrThrow(const BatchRequest& request) {
    if (!IsNumeric(request.generations))
        return fail(2, QStringLiteral("the number of generations must be a number, not \"%1\"")
                           .arg(request.generations));
    if (generationColumnsFor(request.generations) > kMaxGenerationColumns)
        return fail(2, tooManyGenerationsMessage());
    if (auto refusal = checkName(request.name))
        return *refusal;
    const QStringList targets{request.workbookPath, request.picturePath, request.pdfPath};
    if (auto refusal = checkDistinctTargets(targets))
        return *refusal;
    for (const QString& target : targets)
        if (auto refusal = checkTarget(target, request.force))
            return *refusal;
    // Without --force nothing is replaced, not even a file another writer made meanwhile.
    const ExistingFile existing = request.force ? ExistingFile::Replace : ExistingFile::Keep;

    ChartFill fill;
    if (!request.gedcomPath.isEmpty()) {
        PreparedFill prepared =
            prepareChartFill(request.gedcomPath, request.name,
                             static_cast<int>(generationColumnsFor(request.generations)));
        if (!prepared.errors.isEmpty())
            return BatchResult{false, 2, prepared.errors, prepared.fill.warnings};
        fill = std::move(prepared.fill);
        if (auto refusal = checkName(fill.name)) // the name as the file spells it
            return *refusal;
    }
    const QString name = request.gedcomPath.isEmpty() ? request.name : fill.name;

    CollectingFailures failures;
    QByteArray workbookFile;
    {
        Guard g(failures, loc::kForm1PushButton1Click);
        xl::Ref<xl::Application> app;
        xl::Ref<xl::Workbook> workbook;
        g(110, [&] { app = xl::CreateObject(xl::kProgId); });
        g(112, [&] { workbook = app->workbooks()->add(); });
        xl::Ref<xl::Worksheet> sheet;
        g(116, [&] { sheet = workbook->activeSheet(); });
        LayOutChart(g, sheet, {[&] { return name; }, [&] { return request.generations; }});
        FillChart(g, sheet, fill);
        SetUpPrinting(g, sheet, request.pdf.paper);
        // A chart with a failed step is not written: a batch never leaves a partial file.
        if (failures.errors.isEmpty())
            g(214, [&] { workbookFile = engine::workbookFile(workbook); });
        g(220, [&] { app->quit(); });
    }
    if (!failures.errors.isEmpty())
        return BatchResult{false, 1, failures.errors, fill.warnings};

    try {
        // The picture is drawn from the saved file, as the window's preview is; the PDF's
        // pages are counted before anything is written.
        std::unique_ptr<engine::WorkbookModel> model;
        std::optional<engine::CellRect> used;
        std::optional<PagePlan> plan;
        if (!request.picturePath.isEmpty() || !request.pdfPath.isEmpty()) {
            model = engine::decodeXls(workbookFile);
            used = model->activeSheet().usedRange();
            if (!used)
                throw Failure(QStringLiteral("the chart is empty"));
        }
        if (!request.pdfPath.isEmpty()) {
            plan = planPages(chartShape(model->activeSheet(), *used), request.pdf);
            if (const QString problem = pageLimitProblem(*plan, request.maxPages);
                !problem.isEmpty())
                return fail(2,
                            QStringLiteral("%1: %2; give --max-pages %3 to write it all the same")
                                .arg(request.pdfPath, problem)
                                .arg(plan->pageCount()),
                            fill.warnings);
        }
        writeFileSafely(request.workbookPath, workbookFile, existing);
        if (!request.picturePath.isEmpty())
            writeChartPicture(model->activeSheet(), *used, request.picturePath, existing);
        if (!request.pdfPath.isEmpty())
            writePdf(model->activeSheet(), *used, request.pdfPath, *plan, existing);
    } catch (const WriteFailure& f) {
        if (f.systemError() == EEXIST && !request.force)
            return fail(3, existsMessage(f.path()), fill.warnings);
        // A link that leads nowhere or another user's link in a shared folder: bad input.
        return fail(f.targetRefused() ? 2 : 1, f.description(), fill.warnings);
    } catch (const Failure& f) {
        return fail(1, f.description(), fill.warnings);
    }
    return BatchResult{true, 0, {}, fill.warnings};
}

} // namespace

BatchResult makeChartFiles(const BatchRequest& request) {
    try {
        return makeChartFilesOrThrow(request);
    } catch (const std::bad_alloc&) {
        return fail(1, QStringLiteral("Out of memory"));
    } catch (const Failure& f) {
        return fail(1, f.description());
    }
}

} // namespace pq
