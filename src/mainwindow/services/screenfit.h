#pragma once

// Keeps a fixed-size window within reach on a small screen (a laptop at 125 %, a large display
// at 200 %). Where the window with its frame does not fit the screen's available area, its
// contents, unchanged, move into a scroll area and the window takes the largest size the area
// allows, still fixed and without a maximize button; every control can then be scrolled to.
// Where the window fits, nothing changes. It works on whatever the window holds when it is
// shown, so controls added to a window later are included.

#include <QObject>
#include <QSize>

class QScrollArea;
class QWidget;

namespace pq {

// The window size that fits `available` (the screen's area less the window's frame) for
// contents of `content` size, with `scrollBar` pixels for each scroll bar the contents then
// need; `content` itself when it fits.
QSize sizeWithinScreen(const QSize& content, const QSize& available, int scrollBar);

class ScreenFit final : public QObject {
public:
    // Fits `window` each time it is shown and when it changes screen; owned by the window.
    static ScreenFit* install(QWidget* window);

    // The scroll area holding the contents, once the window needed one.
    QScrollArea* scrollArea() const { return mArea; }
    void fit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit ScreenFit(QWidget* window);
    void moveContentsIntoScrollArea();
    void keepFrameOnScreen();
    void showInArea(QWidget* control);

    QWidget* mWindow;
    QScrollArea* mArea = nullptr;
    QSize mContentSize;
};

} // namespace pq
