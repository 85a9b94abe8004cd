#include "picturebox.h"

#include <QPaintEvent>
#include <QPainter>

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
