#include "pushbutton.h"

#include <QMouseEvent>

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

} // namespace pq
