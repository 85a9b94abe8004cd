#include "picture.h"

#include "base/failure.h"
#include "base/safefile.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <vector>

namespace pq {

namespace {
const QString kInvalidPicture = QStringLiteral("Invalid picture");

bool looksLikeSvg(const QByteArray& data) {
    const QByteArray head = data.left(512).trimmed();
    return head.startsWith("<?xml") || head.startsWith("<svg") || head.contains("<svg");
}

// A renderer that knows the row bands of its drawing (<g id="rows-K">) and where each lies in
// picture pixels, so that a paint can skip every band outside the part it draws.
class BandedSvgRenderer final : public QSvgRenderer {
public:
    struct Band {
        QString id;
        QRectF bounds; // picture pixels
    };

    explicit BandedSvgRenderer(const QByteArray& svg) : QSvgRenderer(svg) {
        if (isValid())
            findBands(svg);
    }

    const std::vector<Band>& bands() const { return mBands; }

private:
    void findBands(const QByteArray& svg) {
        // The bands' bounds are in the drawing's user units; the picture's pixels follow the
        // view box.
        const QRectF box = viewBoxF();
        const QSizeF size = defaultSize();
        const double sx = box.width() > 0 ? size.width() / box.width() : 1.0;
        const double sy = box.height() > 0 ? size.height() / box.height() : 1.0;
        for (const QString& id : bandIds(svg)) {
            if (!elementExists(id))
                continue;
            const QRectF b = boundsOnElement(id);
            // A band without an area cannot be placed by its bounds: draw the whole picture.
            if (b.isEmpty()) {
                mBands.clear();
                return;
            }
            mBands.push_back({id, QRectF((b.left() - box.left()) * sx, (b.top() - box.top()) * sy,
                                         b.width() * sx, b.height() * sy)});
        }
    }

    // The quoted "rows-K" texts of the drawing, scanned as bytes: a tall chart's text is large.
    static std::vector<QString> bandIds(const QByteArray& svg) {
        std::vector<QString> ids;
        for (qsizetype at = svg.indexOf("rows-"); at >= 0; at = svg.indexOf("rows-", at + 5)) {
            if (at == 0 || (svg[at - 1] != '"' && svg[at - 1] != '\''))
                continue;
            qsizetype end = at + 5;
            while (end < svg.size() && svg[end] >= '0' && svg[end] <= '9')
                ++end;
            if (end > at + 5 && end < svg.size() && svg[end] == svg[at - 1])
                ids.push_back(QString::fromLatin1(svg.mid(at, end - at)));
        }
        return ids;
    }

    std::vector<Band> mBands;
};
} // namespace

Picture Picture::fromSvg(const QByteArray& svg) {
    auto renderer = std::make_shared<BandedSvgRenderer>(svg);
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
    if (mSvgRenderer) {
        writeFileSafely(path, mSvg);
        return;
    }
    writeFileSafely(path, [&](QIODevice& file) {
        if (!mImage.save(&file, "PNG"))
            throw WriteFailure(path, QStringLiteral("the picture cannot be encoded"));
    });
}

void Picture::paint(QPainter& painter, const QRectF& target, const QRectF& source) const {
    if (mSvgRenderer) {
        painter.save();
        painter.setClipRect(target, Qt::IntersectClip);
        // The map from picture pixels to the painter that puts `source` on `target`.
        const double sx = target.width() / source.width();
        const double sy = target.height() / source.height();
        auto toTarget = [&](const QRectF& r) {
            return QRectF(target.left() + (r.left() - source.left()) * sx,
                          target.top() + (r.top() - source.top()) * sy, r.width() * sx,
                          r.height() * sy);
        };
        const auto& bands = static_cast<const BandedSvgRenderer&>(*mSvgRenderer).bands();
        if (bands.empty()) {
            mSvgRenderer->render(&painter, toTarget(QRectF(QPointF(0, 0), size())));
        } else {
            // Strokes may reach a little beyond a band's bounds.
            const QRectF wanted = source.adjusted(-2, -2, 2, 2);
            for (const auto& band : bands)
                if (band.bounds.intersects(wanted))
                    mSvgRenderer->render(&painter, band.id, toTarget(band.bounds));
        }
        painter.restore();
    } else if (!mImage.isNull()) {
        painter.drawImage(target, mImage, source);
    }
}

} // namespace pq
