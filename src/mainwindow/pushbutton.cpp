#include "pushbutton.h"

#include <QMouseEvent>

namespace pq {

PushButton::PushButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    // Moves without a held button reach the button only with tracking on.
    setMouseTracking(true);
}

void PushButton::mouseMoveEvent(QMouseEvent* event) {
    QPushButton::mouseMoveEvent(event);
    emit mouseMoved();
}

} // namespace pq
