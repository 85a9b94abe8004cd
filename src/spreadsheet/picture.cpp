#include "picture.h"

#include "base/failure.h"
#include "base/safefile.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <optional>
#include <utility>
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
        QRectF extent; // picture pixels: where the band lies
        // Picture pixels: the bounds of the band's drawing, which drawing the band alone maps
        // onto the target; measured when the band is first drawn, as measuring strokes is slow.
        mutable std::optional<QRectF> bounds;
    };

    explicit BandedSvgRenderer(const QByteArray& svg) : QSvgRenderer(svg) {
        if (isValid())
            findBands(svg);
    }

    const std::vector<Band>& bands() const { return mBands; }

    const QRectF& boundsOf(const Band& band) const {
        if (!band.bounds)
            band.bounds = toPixels(boundsOnElement(band.id));
        return *band.bounds;
    }

private:
    // The bands' bounds are in the drawing's user units; the picture's pixels follow the view
    // box.
    QRectF toPixels(const QRectF& r) const {
        const QRectF box = viewBoxF();
        const QSizeF size = defaultSize();
        const double sx = box.width() > 0 ? size.width() / box.width() : 1.0;
        const double sy = box.height() > 0 ? size.height() / box.height() : 1.0;
        return QRectF((r.left() - box.left()) * sx, (r.top() - box.top()) * sy, r.width() * sx,
                      r.height() * sy);
    }

    void findBands(const QByteArray& svg) {
        for (const auto& [id, extent] : bandTags(svg)) {
            if (!elementExists(id))
                continue;
            Band band{id, toPixels(extent.value_or(QRectF())), std::nullopt};
            // A band that does not state its extent is measured now.
            if (!extent)
                band.extent = boundsOf(band);
            // A band without an area cannot be placed by its bounds: draw the whole picture.
            if (band.extent.isEmpty()) {
                mBands.clear();
                return;
            }
            mBands.push_back(std::move(band));
        }
    }

    // The quoted "rows-K" texts of the drawing with the extent their tag states (the writer's
    // pq:extent="x y width height"), scanned as bytes: a tall chart's text is large.
    static std::vector<std::pair<QString, std::optional<QRectF>>> bandTags(const QByteArray& svg) {
        std::vector<std::pair<QString, std::optional<QRectF>>> tags;
        for (qsizetype at = svg.indexOf("rows-"); at >= 0; at = svg.indexOf("rows-", at + 5)) {
            if (at == 0 || (svg[at - 1] != '"' && svg[at - 1] != '\''))
                continue;
            qsizetype end = at + 5;
            while (end < svg.size() && svg[end] >= '0' && svg[end] <= '9')
                ++end;
            if (end > at + 5 && end < svg.size() && svg[end] == svg[at - 1])
                tags.emplace_back(QString::fromLatin1(svg.mid(at, end - at)),
                                  statedExtent(svg, end + 1));
        }
        return tags;
    }

    static std::optional<QRectF> statedExtent(const QByteArray& svg, qsizetype from) {
        const qsizetype tagEnd = svg.indexOf('>', from);
        const qsizetype at = svg.indexOf("pq:extent=\"", from);
        if (tagEnd < 0 || at < 0 || at > tagEnd)
            return std::nullopt;
        const qsizetype start = at + 11;
        const qsizetype close = svg.indexOf('"', start);
        if (close < 0 || close > tagEnd)
            return std::nullopt;
        const QList<QByteArray> numbers = svg.mid(start, close - start).split(' ');
        if (numbers.size() != 4)
            return std::nullopt;
        double v[4];
        for (int i = 0; i < 4; ++i) {
            bool ok = false;
            v[i] = numbers[i].toDouble(&ok);
            if (!ok)
                return std::nullopt;
        }
        return QRectF(v[0], v[1], v[2], v[3]);
    }

    std::vector<Band> mBands;
};
} // namespace

namespace {

// The last drawing read, with its renderer. A run reads each drawing twice, from the clipboard
// and at once again from the file it was saved to; the second reading then costs a comparison
// instead of a parse. Renderers are shared anyway (copies of a picture share theirs); the
// second reading or the application's end releases the one kept here.
struct LastDrawing {
    QByteArray svg;
    std::shared_ptr<BandedSvgRenderer> renderer;
};

LastDrawing& lastDrawing() {
    static LastDrawing last;
    static const bool releasedAtEnd = [] {
        qAddPostRoutine([] { lastDrawing() = LastDrawing(); });
        return true;
    }();
    Q_UNUSED(releasedAtEnd);
    return last;
}

std::shared_ptr<BandedSvgRenderer> rendererFor(const QByteArray& svg) {
    LastDrawing& last = lastDrawing();
    if (last.renderer && last.svg == svg) {
        // Kept for this second reading only: from here on the picture that takes it does.
        return std::exchange(last, LastDrawing()).renderer;
    }
    last = LastDrawing(); // not kept alive beside the new one
    auto renderer = std::make_shared<BandedSvgRenderer>(svg);
    if (!renderer->isValid())
        throw Failure(kInvalidPicture);
    if (QCoreApplication::instance())
        last = {svg, renderer};
    return renderer;
}

} // namespace

Picture Picture::fromSvg(const QByteArray& svg) {
    Picture p;
    p.mSvgRenderer = rendererFor(svg);
    p.mSvg = svg;
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

void Picture::save(const QString& path, ExistingFile existing) const {
    if (isNull())
        throw Failure(kInvalidPicture);
    if (mSvgRenderer) {
        writeFileSafely(path, mSvg, existing);
        return;
    }
    writeFileSafely(
        path,
        [&](QIODevice& file) {
            if (!mImage.save(&file, "PNG"))
                throw WriteFailure(path, QStringLiteral("the picture cannot be encoded"));
        },
        existing);
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
        const auto& renderer = static_cast<const BandedSvgRenderer&>(*mSvgRenderer);
        if (renderer.bands().empty()) {
            mSvgRenderer->render(&painter, toTarget(QRectF(QPointF(0, 0), size())));
        } else {
            // Strokes may reach a little beyond a band's extent.
            const QRectF wanted = source.adjusted(-2, -2, 2, 2);
            for (const auto& band : renderer.bands()) {
                if (!band.extent.intersects(wanted))
                    continue;
                if (const QRectF& bounds = renderer.boundsOf(band); !bounds.isEmpty())
                    mSvgRenderer->render(&painter, band.id, toTarget(bounds));
            }
        }
        painter.restore();
    } else if (!mImage.isNull()) {
        painter.drawImage(target, mImage, source);
    }
}

} // namespace pq
