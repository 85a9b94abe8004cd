#pragma once

// A picture box: shows its own picture at natural size and, on top of it, one stretched
// drawing of another picture (what a persistent drawing surface keeps). Nothing is held as a
// pixmap: every paint draws only the exposed part from the picture itself, so the memory used
// does not grow with the picture's or the zoom's size.

#include "spreadsheet/picture.h"

#include <QFrame>
#include <QRectF>
#include <optional>

namespace pq {

class PictureBox : public QFrame {
    Q_OBJECT
public:
    // frameWidth: the thin frame drawn around the contents (0 for none).
    explicit PictureBox(int frameWidth, QWidget* parent = nullptr);

    // The box's own picture, replacing any drawing on the box. With auto-size on, the box fits
    // itself to it (plus the frame).
    void setPicture(const Picture& picture);
    const Picture& picture() const { return mPicture; }
    void clearPicture();
    void setAutoSize(bool on) { mAutoSize = on; }
    void fitToPicture();

    // Keeps a drawing of `source` (picture pixels) of `picture`, stretched into `target`
    // (pixels inside the frame); it replaces any earlier drawing.
    void drawStretched(const Picture& picture, const QRectF& target, const QRectF& source);

    // The size inside the frame.
    QSize innerSize() const { return contentsRect().size(); }

    // Frames a part of the picture (its pixels at factor 1) wherever and however large the
    // picture is drawn; an empty rectangle removes the frame. A new picture removes it too.
    void setMark(const QRect& picturePart);
    bool hasMark() const { return !mMark.isEmpty(); }
    // Where the marked part lies in the box's own coordinates.
    QRectF markInBox() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Drawing {
        Picture picture;
        QRectF target;
        QRectF source;
    };
    void paintPart(QPainter& painter, const QRect& exposed, const Picture& picture,
                   const QRectF& target, const QRectF& source) const;

    QRect markFrame() const;

    Picture mPicture;
    std::optional<Drawing> mDrawing;
    QRect mMark;
    bool mAutoSize = false;
};

} // namespace pq
