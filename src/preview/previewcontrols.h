#pragma once

// How the preview's scroll bars and viewport look beyond what the style draws: a disabled scroll
// bar without a thumb, and the keyboard focus marked on the scroll bars, the viewport and the
// picture inside it.

#include <QRect>
#include <QScrollBar>
#include <QWidget>

namespace pq {

// A scroll bar that draws no thumb while it is disabled, as the classic platform does: a
// disabled bar keeps its value, but that value places nothing and should not look as if it did.
class ScrollBar : public QScrollBar {
public:
    explicit ScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Lies over the viewport and marks which of the two has the keyboard focus: the viewport along
// its frame, the picture with a dotted line around the part of it that shows. It takes no mouse
// events, so wheel, drag and clicks reach what lies beneath.
class ViewportFocus : public QWidget {
public:
    ViewportFocus(QWidget* viewport, QWidget* picture);

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRect pictureMark() const;
    void updateMarks();

    QWidget* mViewport;
    QWidget* mPicture;
    QRect mShownViewportMark;
    QRect mShownPictureMark;
};

} // namespace pq
