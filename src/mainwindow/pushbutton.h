#pragma once

// The push button of both windows: a caption in the font it is given, a click, and a
// notification of every mouse move over it (with or without a button held).

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
};

} // namespace pq
