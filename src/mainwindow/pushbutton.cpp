#include "pushbutton.h"

namespace pq {

PushButton::PushButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    // Movements without a pressed button must arrive too.
    setMouseTracking(true);
}

void PushButton::mouseMoveEvent(QMouseEvent* event) {
    QPushButton::mouseMoveEvent(event);
    emit mouseMoved();
}

} // namespace pq
