#include "picturebox.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPen>

namespace pq {

PictureBox::PictureBox(int frameWidth, QWidget* parent) : QFrame(parent) {
    setFrameShape(frameWidth > 0 ? QFrame::Box : QFrame::NoFrame);
    setLineWidth(frameWidth);
    // Every pixel is painted here, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setProperty("pictureBox", true);
}

void PictureBox::setPicture(const Picture& picture) {
    mPicture = picture;
    // A new picture replaces whatever was drawn over the old one: kept, an earlier zoomed
    // drawing would cover the new picture until the next drawing, and a picture too large to
    // zoom never gets one.
    mDrawing.reset();
    mMark = QRect();
    if (mAutoSize)
        fitToPicture();
    update();
}

void PictureBox::clearPicture() {
    mPicture = Picture();
    update();
}

void PictureBox::fitToPicture() {
    if (mPicture.isNull())
        return;
    const int frame = 2 * frameWidth();
    resize(mPicture.size() + QSize(frame, frame));
}

void PictureBox::drawStretched(const Picture& picture, const QRectF& target, const QRectF& source) {
    mDrawing = Drawing{picture, target, source};
    update();
}

void PictureBox::setMark(const QRect& picturePart) {
    if (!mMark.isEmpty())
        update(markFrame());
    mMark = picturePart;
    if (!mMark.isEmpty())
        update(markFrame());
}

QRectF PictureBox::markInBox() const {
    const QPointF origin = contentsRect().topLeft();
    if (!mDrawing || mDrawing->source.isEmpty())
        return QRectF(mMark).translated(origin);
    const QRectF& from = mDrawing->source;
    const QRectF& to = mDrawing->target;
    const double sx = to.width() / from.width();
    const double sy = to.height() / from.height();
    return QRectF(origin.x() + to.left() + (mMark.left() - from.left()) * sx,
                  origin.y() + to.top() + (mMark.top() - from.top()) * sy, mMark.width() * sx,
                  mMark.height() * sy);
}

namespace {
constexpr int kMarkWidth = 3;
const QColor kMarkColor(0xE0, 0x40, 0x10);
} // namespace

// The frame lies just outside the marked part, so the box's own text and edges stay visible.
QRect PictureBox::markFrame() const {
    const int out = kMarkWidth + 1;
    return markInBox().toAlignedRect().adjusted(-out, -out, out, out);
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect inner = contentsRect();
    // Qt hands over only what is visible through the viewport, whatever the box's size.
    const QRect exposed = event->rect() & inner;
    painter.fillRect(exposed, Qt::white);
    const QPointF origin = inner.topLeft();
    if (!mPicture.isNull())
        paintPart(painter, exposed, mPicture, QRectF(origin, QSizeF(mPicture.size())),
                  QRectF(QPointF(0, 0), QSizeF(mPicture.size())));
    if (mDrawing)
        paintPart(painter, exposed, mDrawing->picture, mDrawing->target.translated(origin),
                  mDrawing->source);
    if (!mMark.isEmpty()) {
        const QRectF frame =
            QRectF(markFrame())
                .adjusted(kMarkWidth / 2.0, kMarkWidth / 2.0, -kMarkWidth / 2.0, -kMarkWidth / 2.0);
        painter.setPen(QPen(kMarkColor, kMarkWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(frame);
    }
    drawFrame(&painter);
}

void PictureBox::paintPart(QPainter& painter, const QRect& exposed, const Picture& picture,
                           const QRectF& target, const QRectF& source) const {
    const QRectF part = QRectF(exposed) & target;
    if (part.isEmpty() || source.isEmpty())
        return;
    // The same linear map for every part, so adjoining parts meet without seams.
    const double sx = source.width() / target.width();
    const double sy = source.height() / target.height();
    const QRectF from(source.left() + (part.left() - target.left()) * sx,
                      source.top() + (part.top() - target.top()) * sy, part.width() * sx,
                      part.height() * sy);
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setClipRect(part, Qt::IntersectClip);
    picture.paint(painter, part, from);
    painter.restore();
}

} // namespace pq
