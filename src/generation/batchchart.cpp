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

#include <QBuffer>
#include <QFileInfo>
#include <QLocale>
#include <cerrno>
#include <limits>
#include <new>
#include <optional>

namespace pq {

namespace {

// Collects the failed steps instead of showing them. The first tells what went wrong; once
// memory runs out every later step fails too, so the rest are counted, not listed.
class CollectingFailures final : public FailureListener {
public:
    void stepFailed(const StepFailure& failure) override {
        if (mFirst.label == 0)
            mFirst = failure;
        else
            ++mMore;
    }
    bool any() const { return mFirst.label != 0; }
    QStringList errors() const {
        QStringList out{QStringLiteral("step %1: %2").arg(mFirst.label).arg(mFirst.description)};
        if (mMore > 0)
            out << QStringLiteral("%1 more steps failed after it").arg(mMore);
        return out;
    }

private:
    StepFailure mFirst;
    int mMore = 0;
};

BatchResult fail(int code, const QString& message,
                 const QList<gedcom::FileWarning>& warnings = {}) {
    return BatchResult{false, code, {message}, warnings};
}

bool isPng(const QString& path) {
    return path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive);
}

QString tooLargeForABitmap() {
    return QStringLiteral("the chart is too large for a bitmap; write an SVG picture instead");
}

// A bitmap's size is known from the chart's geometry alone, before anything is drawn.
bool bitmapAffordable(const engine::SheetModel& sheet, const engine::CellRect& used) {
    const QSize size = engine::rangeGeometry(sheet, used).size();
    return qint64(size.width()) * size.height() <= engine::kMaxPictureBitmapPixels;
}

// The picture's bytes, SVG or PNG. A PNG is encoded in memory first, so that a disk that fills
// up is reported once, by the writer, not by the encoder as well.
QByteArray pictureBytes(const engine::SheetModel& sheet, const engine::CellRect& used,
                        const QString& path) {
    if (!isPng(path))
        return engine::renderRangeSvg(sheet, used);
    if (!bitmapAffordable(sheet, used))
        throw Failure(tooLargeForABitmap());
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!engine::renderRangeImage(sheet, used).save(&buffer, "PNG"))
        throw WriteFailure(path, QStringLiteral("the picture cannot be encoded"));
    return png;
}

} // namespace

void writeChartPicture(const engine::SheetModel& sheet, const engine::CellRect& used,
                       const QString& path, ExistingFile existing) {
    writeFileSafely(path, pictureBytes(sheet, used, path), existing);
}

QString chartTitleOf(const engine::SheetModel& sheet) {
    return sheet.cell(2, 2) ? sheet.cell(2, 2)->value() : QString();
}

namespace {

// A print-ready PDF, each page drawing only its part of the chart.
void completePdf(SafeWrite& write, const engine::SheetModel& sheet, const engine::CellRect& used,
                 const PagePlan& plan) {
    const engine::RangePrintout chart(sheet, used);
    write.complete([&](QIODevice& file) { writeChartPdf(file, chart, plan, chartTitleOf(sheet)); });
}

QString existsMessage(const QString& path) {
    return QStringLiteral("%1 exists; use --force to overwrite it").arg(path);
}

BatchResult writeFailed(const WriteFailure& f, bool force,
                        const QList<gedcom::FileWarning>& warnings = {}) {
    // Without --force nothing is replaced, not even a file another writer made meanwhile.
    if (f.systemError() == EEXIST && !force)
        return fail(3, existsMessage(f.path()), warnings);
    // A link that leads nowhere or another user's link in a shared folder: bad input.
    return fail(f.targetRefused() ? 2 : 1, f.description(), warnings);
}

// The run's outputs, written all or nothing: each is completed under no final name, and only
// when all are complete do they take their names together. Dropped before that (a failure, a
// signal's cleanup), they leave every target as it was.
struct Outputs {
    std::optional<SafeWrite> workbook, picture, pdf;

    static Outputs open(const BatchRequest& request) {
        const ExistingFile existing = request.force ? ExistingFile::Replace : ExistingFile::Keep;
        Outputs outputs;
        outputs.workbook.emplace(request.workbookPath, existing);
        if (!request.picturePath.isEmpty())
            outputs.picture.emplace(request.picturePath, existing);
        if (!request.pdfPath.isEmpty())
            outputs.pdf.emplace(request.pdfPath, existing);
        return outputs;
    }

    void commitAll() {
        std::vector<SafeWrite> writes;
        for (std::optional<SafeWrite>* write : {&workbook, &picture, &pdf})
            if (*write)
                writes.push_back(std::move(**write));
        pq::commitAll(writes);
    }
};

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

BatchResult makeChartFilesOrThrow(const BatchRequest& request) {
    if (!IsNumeric(request.generations))
        return fail(2, QStringLiteral("the number of generations must be a number, not \"%1\"")
                           .arg(request.generations));
    const double columns = generationColumnsFor(request.generations);
    if (columns > kMaxGenerationColumns)
        return fail(2, tooManyGenerationsMessage());
    // The run counts its columns down from a 32-bit number: anything below gives no chart.
    if (columns - 1.0 < static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return fail(2, QStringLiteral("the number of generations is out of range"));
    if (auto refusal = checkName(request.name))
        return *refusal;
    const QStringList targets{request.workbookPath, request.picturePath, request.pdfPath};
    if (auto refusal = checkDistinctTargets(targets))
        return *refusal;
    for (const QString& target : targets)
        if (auto refusal = checkTarget(target, request.force))
            return *refusal;
    // Every output is opened before any work, each target looked at again and its new file
    // made, so that a folder that takes no file fails the run at once.
    Outputs outputs;
    try {
        outputs = Outputs::open(request);
    } catch (const WriteFailure& f) {
        return writeFailed(f, request.force);
    }

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
        LayOutChartSheet(g, sheet, {[&] { return name; }, [&] { return request.generations; }},
                         fill, request.pdf.paper);
        // A chart with a failed step is not written: a batch never leaves a partial file.
        if (!failures.any())
            g(214, [&] { workbookFile = engine::workbookFile(workbook); });
        g(220, [&] { app->quit(); });
    }
    if (failures.any())
        return BatchResult{false, 1, failures.errors(), fill.warnings};

    try {
        // The picture and the PDF are drawn from the workbook's bytes, as the window's preview
        // is; the known limits (a bitmap's size, the PDF's page count) refuse the run before
        // anything is written.
        std::unique_ptr<engine::WorkbookModel> model;
        std::optional<engine::CellRect> used;
        std::optional<PagePlan> plan;
        if (!request.picturePath.isEmpty() || !request.pdfPath.isEmpty()) {
            model = engine::decodeXls(workbookFile);
            used = model->activeSheet().usedRange();
            if (!used)
                throw Failure(QStringLiteral("the chart is empty"));
            if (isPng(request.picturePath) && !bitmapAffordable(model->activeSheet(), *used))
                return fail(2, request.picturePath + QStringLiteral(": ") + tooLargeForABitmap(),
                            fill.warnings);
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
        outputs.workbook->complete(workbookFile);
        if (outputs.picture)
            outputs.picture->complete(
                pictureBytes(model->activeSheet(), *used, request.picturePath));
        if (outputs.pdf)
            completePdf(*outputs.pdf, model->activeSheet(), *used, *plan);
        outputs.commitAll();
    } catch (const WriteFailure& f) {
        return writeFailed(f, request.force, fill.warnings);
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
