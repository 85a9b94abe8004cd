#include "picture.h"

#include "mainwindow/failure.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QSaveFile>
#include <QSvgRenderer>

namespace pq {

namespace {
const QString kInvalidPicture = QStringLiteral("Invalid picture");

bool looksLikeSvg(const QByteArray& data) {
    const QByteArray head = data.left(512).trimmed();
    return head.startsWith("<?xml") || head.startsWith("<svg") || head.contains("<svg");
}
} // namespace

Picture Picture::fromSvg(const QByteArray& svg) {
    auto renderer = std::make_shared<QSvgRenderer>(svg);
    if (!renderer->isValid())
        throw Failure(kInvalidPicture);
    Picture p;
    p.mSvg = svg;
    p.mSvgRenderer = std::move(renderer);
    return p;
}

Picture Picture::fromImage(const QImage& image) {
    if (image.isNull())
        throw Failure(kInvalidPicture);
    Picture p;
    p.mImage = image;
    return p;
}

Picture Picture::load(const QString& path) {
    QFile file(path);
    if (!file.exists())
        throw Failure(failures::kFileNotFound);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(failures::kPermissionDenied);
    const QByteArray data = file.readAll();
    if (looksLikeSvg(data))
        return fromSvg(data);
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    if (image.isNull())
        throw Failure(kInvalidPicture);
    return fromImage(image);
}

QSize Picture::size() const {
    if (mSvgRenderer)
        return mSvgRenderer->defaultSize();
    return mImage.size();
}

void Picture::save(const QString& path) const {
    if (isNull())
        throw Failure(kInvalidPicture);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Failure(failures::kPathFileAccess);
    bool ok = true;
    if (mSvgRenderer)
        ok = file.write(mSvg) == mSvg.size();
    else
        ok = mImage.save(&file, "PNG");
    if (!ok || !file.commit())
        throw Failure(failures::kPathFileAccess);
}

void Picture::paint(QPainter& painter, const QRectF& target, const QRectF& source) const {
    if (mSvgRenderer) {
        painter.save();
        painter.setClipRect(target, Qt::IntersectClip);
        // Map the whole picture so that `source` lands on `target`.
        const QSizeF full = mSvgRenderer->defaultSize();
        const double sx = target.width() / source.width();
        const double sy = target.height() / source.height();
        const QRectF whole(target.left() - source.left() * sx, target.top() - source.top() * sy,
                           full.width() * sx, full.height() * sy);
        mSvgRenderer->render(&painter, whole);
        painter.restore();
    } else if (!mImage.isNull()) {
        painter.drawImage(target, mImage, source);
    }
}

} // namespace pq
