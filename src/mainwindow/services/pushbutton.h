#pragma once

// The push button of both windows: shows a caption in the font it is given, notifies clicks
// (clicked) and every mouse movement over itself (mouseMoved), so that a window can switch its
// pointer to the hand while the mouse is over a button. The keyboard focus shows as the focus
// mark of every control of the windows. Enter (main or keypad key) presses a focused button as
// Space does.

#include <QPushButton>

namespace pq {

class PushButton : public QPushButton {
    Q_OBJECT
public:
    explicit PushButton(const QString& caption, QWidget* parent = nullptr);

signals:
    void mouseMoved();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

} // namespace pq
