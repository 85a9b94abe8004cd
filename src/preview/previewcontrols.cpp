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
    // Only the marks' own lines are repainted: a drag that leaves them in place costs nothing.
    QRegion dirty;
    for (const QRect& r : {viewportMark, mShownViewportMark, picture, mShownPictureMark})
        if (!r.isEmpty())
            dirty += QRegion(r) - QRegion(r.adjusted(2, 2, -2, -2));
    mShownViewportMark = viewportMark;
    mShownPictureMark = picture;
    update(dirty);
}

void ViewportFocus::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!mShownViewportMark.isEmpty())
        drawFocusMark(painter, mShownViewportMark, palette());
    if (!mShownPictureMark.isEmpty())
        drawFocusMark(painter, mShownPictureMark, palette(), true);
}

} // namespace pq
