#include "previewcontrols.h"

#include "mainwindow/services/appearance.h"

#include <QEvent>
#include <QPainter>
#include <QRegion>
#include <QStyleOptionSlider>

namespace pq {

ScrollBar::ScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent) {}

void ScrollBar::paintEvent(QPaintEvent* event) {
    if (isEnabled()) {
        QScrollBar::paintEvent(event);
    } else {
        QPainter painter(this);
        QStyleOptionSlider option;
        initStyleOption(&option);
        option.subControls = QStyle::SubControls(QStyle::SC_All);
        option.subControls &= ~QStyle::SubControls(QStyle::SC_ScrollBarSlider);
        option.activeSubControls = QStyle::SC_None;
        style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);
    }
    if (showsKeyboardFocus(this)) {
        QPainter painter(this);
        drawFocusMark(painter, rect(), palette());
    }
}

ViewportFocus::ViewportFocus(QWidget* viewport, QWidget* picture)
    : QWidget(viewport), mViewport(viewport), mPicture(picture) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(viewport->rect());
    raise();
    viewport->installEventFilter(this);
    picture->installEventFilter(this);
    hide(); // until there is a mark to show
}

QRect ViewportFocus::pictureMark() const {
    // The part of the picture that shows: the picture moves inside the viewport's frame.
    const QRect picture(mPicture->mapTo(mViewport, QPoint(0, 0)), mPicture->size());
    return picture & mViewport->contentsRect();
}

bool ViewportFocus::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::FocusIn:
    case QEvent::FocusOut:
    case QEvent::Move:
    case QEvent::Resize:
        updateMarks();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void ViewportFocus::updateMarks() {
    const QRect viewportMark = showsKeyboardFocus(mViewport) ? rect() : QRect();
    const QRect picture = showsKeyboardFocus(mPicture) ? pictureMark() : QRect();
    if (viewportMark == mShownViewportMark && picture == mShownPictureMark)
        return;
    mShownViewportMark = viewportMark;
    mShownPictureMark = picture;
    // The overlay is no more than the marks' lines, and hidden without a mark: wherever it lay
    // over the picture, Qt could not shift the picture's pixels when it moves, and every step of
    // a scroll or drag would repaint all that the viewport shows.
    QRegion lines;
    for (const QRect& r : {viewportMark, picture})
        if (!r.isEmpty())
            lines += QRegion(r) - QRegion(r.adjusted(2, 2, -2, -2));
    if (lines.isEmpty()) {
        hide();
        return;
    }
    setMask(lines);
    show();
}

void ViewportFocus::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!mShownViewportMark.isEmpty())
        drawFocusMark(painter, mShownViewportMark, palette());
    if (!mShownPictureMark.isEmpty())
        drawFocusMark(painter, mShownPictureMark, palette(), true);
}

} // namespace pq
