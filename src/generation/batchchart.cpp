#include "batchchart.h"

#include "base/numeric.h"
#include "chartlayout.h"
#include "chartpdf.h"
#include "generationrun.h"
#include "mainwindow/services/dialogs.h"
#include "mainwindow/services/errorreport.h"
#include "spreadsheet/engine/rangepicture.h"
#include "spreadsheet/engine/xls/xlsfile.h"

#include <QFileInfo>
#include <QSaveFile>

namespace pq {

namespace {

// Collects error reports as text instead of showing them.
class CollectingDialogs final : public DialogService {
public:
    MsgResult message(const MessageRequest& request) override {
        // The report's first line is the description, its second names the step.
        const QStringList lines = displayText(request.text).split(QLatin1Char('\n'));
        const QString step = lines.value(1).section(QStringLiteral("at line "), 1);
        errors << QStringLiteral("step %1: %2").arg(step, lines.value(0));
        return MsgResult::Ok;
    }
    QString saveFileName(const SaveDialogRequest&) override { return QString(); }
    QStringList errors;
};

BatchResult fail(int code, const QString& message) {
    return BatchResult{false, code, {message}};
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Failure(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
}

void writePicture(const engine::SheetModel& sheet, const engine::CellRect& used,
                  const QString& path) {
    if (path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive)) {
        const QImage image = engine::renderRangeImage(sheet, used);
        if (image.isNull())
            throw Failure(QStringLiteral("the chart is too large for a bitmap; write an SVG "
                                         "picture instead"));
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit())
            throw Failure(QStringLiteral("cannot write %1").arg(path));
        return;
    }
    writeBytes(path, engine::renderRangeSvg(sheet, used));
}

// A print-ready PDF, each page drawing only its part of the chart.
void writePdf(const engine::SheetModel& sheet, const engine::CellRect& used, const QString& path,
              const PdfOptions& options) {
    const engine::RangePrintout chart(sheet, used);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    writeChartPdf(file, chart, sheet.cell(2, 2) ? sheet.cell(2, 2)->value : QString(), options);
    if (!file.commit())
        throw Failure(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
}

QString checkTarget(const QString& path, bool force) {
    if (path.isEmpty())
        return QString();
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("%1 is a folder").arg(path);
    if (info.exists() && !force)
        return QStringLiteral("%1 exists; use --force to overwrite it").arg(path);
    return QString();
}

} // namespace

BatchResult makeChartFiles(const BatchRequest& request) {
    if (!IsNumeric(request.generations))
        return fail(2, QStringLiteral("the number of generations must be a number, not \"%1\"")
                           .arg(request.generations));
    if (generationColumnsFor(request.generations) > kMaxGenerationColumns)
        return fail(2, tooManyGenerationsMessage());
    for (const QString& target : {request.workbookPath, request.picturePath, request.pdfPath})
        if (const QString problem = checkTarget(target, request.force); !problem.isEmpty())
            return fail(problem.contains(QLatin1String("--force")) ? 3 : 2, problem);

    CollectingDialogs dialogs;
    {
        Guard g(dialogs, loc::kForm1PushButton1Click);
        xl::Ref<xl::Application> app;
        xl::Ref<xl::Workbook> workbook;
        g(110, [&] { app = xl::CreateObject(xl::kProgId); });
        g(112, [&] { workbook = app->workbooks()->add(); });
        xl::Ref<xl::Worksheet> sheet;
        g(116, [&] { sheet = workbook->activeSheet(); });
        LayOutChart(g, sheet, {[&] { return request.name; }, [&] { return request.generations; }});
        // A chart with a failed step is not written: a batch never leaves a partial file.
        if (dialogs.errors.isEmpty())
            g(214, [&] { workbook->saveAs(request.workbookPath, xl::xlExcel8); });
        g(220, [&] { app->quit(); });
    }
    if (!dialogs.errors.isEmpty())
        return BatchResult{false, 1, dialogs.errors};

    try {
        if (!request.picturePath.isEmpty() || !request.pdfPath.isEmpty()) {
            // The picture is drawn from the saved file, as the window's preview is.
            const auto model = engine::readXls(request.workbookPath);
            const engine::SheetModel& sheet = model->activeSheet();
            const auto used = sheet.usedRange();
            if (!used)
                throw Failure(QStringLiteral("the chart is empty"));
            if (!request.picturePath.isEmpty())
                writePicture(sheet, *used, request.picturePath);
            if (!request.pdfPath.isEmpty())
                writePdf(sheet, *used, request.pdfPath, request.pdf);
        }
    } catch (const Failure& f) {
        return fail(1, f.description());
    }
    return BatchResult{true, 0, {}};
}

} // namespace pq
