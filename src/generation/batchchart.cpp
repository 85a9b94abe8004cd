#include "batchchart.h"

#include "base/numeric.h"
#include "chartfill.h"
#include "chartlayout.h"
#include "generationrun.h"
#include "mainwindow/services/dialogs.h"
#include "mainwindow/services/errorreport.h"
#include "spreadsheet/engine/rangepicture.h"
#include "spreadsheet/engine/xls/xlsfile.h"

#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgRenderer>
#include <cmath>

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

// A print-ready PDF: the chart scaled to the page width, continued over as many pages as its
// height needs.
void writePdf(const engine::SheetModel& sheet, const engine::CellRect& used, const QString& path) {
    QSvgRenderer renderer(engine::renderRangeSvg(sheet, used));
    if (!renderer.isValid())
        throw Failure(QStringLiteral("cannot draw the chart"));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    {
        QPdfWriter pdf(&file);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setPageMargins(QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter);
        pdf.setTitle(sheet.cell(2, 2) ? sheet.cell(2, 2)->value : QString());
        pdf.setCreator(QStringLiteral("Pedigrafa Quorvell Sheet Builder Kit"));
        QPainter painter(&pdf);
        const QSizeF picture = renderer.defaultSize();
        const QRectF page = painter.viewport();
        const double scale = page.width() / picture.width();
        const double pageHeightInPicture = page.height() / scale;
        const int pages =
            std::max(1, static_cast<int>(std::ceil(picture.height() / pageHeightInPicture)));
        for (int i = 0; i < pages; ++i) {
            if (i > 0)
                pdf.newPage();
            painter.save();
            painter.setClipRect(page);
            painter.translate(0, -i * page.height());
            renderer.render(&painter, QRectF(0, 0, page.width(), picture.height() * scale));
            painter.restore();
        }
    }
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

    ChartFill fill;
    if (!request.gedcomPath.isEmpty()) {
        PreparedFill prepared =
            prepareChartFill(request.gedcomPath, request.name,
                             static_cast<int>(generationColumnsFor(request.generations)));
        if (!prepared.errors.isEmpty())
            return BatchResult{false, 2, prepared.errors, prepared.fill.warnings};
        fill = std::move(prepared.fill);
    }
    const QString name = request.gedcomPath.isEmpty() ? request.name : fill.name;

    CollectingDialogs dialogs;
    {
        Guard g(dialogs, loc::kForm1PushButton1Click);
        xl::Ref<xl::Application> app;
        xl::Ref<xl::Workbook> workbook;
        g(110, [&] { app = xl::CreateObject(xl::kProgId); });
        g(112, [&] { workbook = app->workbooks()->add(); });
        xl::Ref<xl::Worksheet> sheet;
        g(116, [&] { sheet = workbook->activeSheet(); });
        LayOutChart(g, sheet, {[&] { return name; }, [&] { return request.generations; }});
        FillChart(g, sheet, fill);
        // A chart with a failed step is not written: a batch never leaves a partial file.
        if (dialogs.errors.isEmpty())
            g(214, [&] { workbook->saveAs(request.workbookPath, xl::xlExcel8); });
        g(220, [&] { app->quit(); });
    }
    if (!dialogs.errors.isEmpty())
        return BatchResult{false, 1, dialogs.errors, fill.warnings};

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
                writePdf(sheet, *used, request.pdfPath);
        }
    } catch (const Failure& f) {
        return BatchResult{false, 1, {f.description()}, fill.warnings};
    }
    return BatchResult{true, 0, {}, fill.warnings};
}

} // namespace pq
