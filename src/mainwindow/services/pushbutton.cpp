#include "pushbutton.h"

#include "appearance.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace pq {

PushButton::PushButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    // Movements without a pressed button must arrive too.
    setMouseTracking(true);
}

void PushButton::mouseMoveEvent(QMouseEvent* event) {
    QPushButton::mouseMoveEvent(event);
    // The button ignores moves without a pressed button; taken here, they do not reach the
    // window beneath, whose own handler would set its pointer back to the arrow.
    event->accept();
    emit mouseMoved();
}

void PushButton::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // Outside a dialog Qt leaves Enter to the window; a held key presses the button once.
    if (!enter || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
        QPushButton::keyPressEvent(event);
        return;
    }
    event->accept();
    if (!event->isAutoRepeat())
        click();
}

void PushButton::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    if (!showsKeyboardFocus(this))
        return;
    QPainter painter(this);
    // Inside the bevel, clear of the caption, where the classic dotted rectangle sits.
    drawFocusMark(painter, rect().adjusted(3, 3, -3, -3), palette());
}

} // namespace pq
