#include "snapshot.h"

#include "mainwindow/services/errorreport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace pq {

void saveCellsActivesheet(DialogService& dialogs, xl::Ref<xl::Workbook> workbook, QString path) {
    Guard g(dialogs, loc::kExcel1SaveCellsActivesheet);
    xl::Ref<xl::Worksheet> sheet;
    std::int32_t lastRow = 0;
    std::int32_t lastColumn = 0;
    g(100, [&] { sheet = workbook->activeSheet(); });
    g(102, [&] {
        auto rows = sheet->usedRange()->rows();
        lastRow = rows->item(rows->count())->row();
    });
    g(104, [&] {
        auto columns = sheet->usedRange()->columns();
        lastColumn = columns->item(columns->count())->column();
    });
    if (!g.test(106, [&] { return lastRow > 1 && lastColumn > 1; }))
        return;
    g(110, [&] { sheet->usedRange()->copyPicture(); });
    g(112, [&] {
        const std::optional<Picture> picture = GetClipboardPicture(0);
        if (!picture)
            throw Failure(QStringLiteral("Invalid picture"));
        picture->save(path);
    });
}

namespace {
std::optional<Picture> readClipboardOnce(int format) {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data)
        return std::nullopt;
    const QString svgType = QStringLiteral("image/svg+xml");
    if ((format == 0 || format == 1) && data->hasFormat(svgType)) {
        try {
            return Picture::fromSvg(data->data(svgType));
        } catch (const Failure&) {
        }
    }
    if ((format == 0 || format == 2) && data->hasImage()) {
        const QImage image = qvariant_cast<QImage>(data->imageData());
        if (!image.isNull())
            return Picture::fromImage(image);
    }
    return std::nullopt;
}
} // namespace

std::optional<Picture> GetClipboardPicture(int format) {
    for (int attempts = 0; attempts < 1000; ++attempts)
        if (auto picture = readClipboardOnce(format))
            return picture;
    return std::nullopt;
}

} // namespace pq
