#include "screenfit.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QWidget>
#include <algorithm>
#include <vector>

namespace pq {

QSize sizeWithinScreen(const QSize& content, const QSize& available, int scrollBar) {
    // A bar along one side takes room from the other direction, which may then need its own.
    bool vertical = content.height() > available.height();
    const bool horizontal = content.width() + (vertical ? scrollBar : 0) > available.width();
    vertical = content.height() + (horizontal ? scrollBar : 0) > available.height();
    return {std::min(content.width() + (vertical ? scrollBar : 0), available.width()),
            std::min(content.height() + (horizontal ? scrollBar : 0), available.height())};
}

ScreenFit::ScreenFit(QWidget* window) : QObject(window), mWindow(window) {
    window->installEventFilter(this);
}

ScreenFit* ScreenFit::install(QWidget* window) {
    return new ScreenFit(window);
}

bool ScreenFit::eventFilter(QObject* watched, QEvent* event) {
    // The show event comes before the window is mapped, so a window that needs less room
    // never appears at its full size; the window's own show handler (centring) follows.
    if (watched == mWindow &&
        (event->type() == QEvent::Show || event->type() == QEvent::ScreenChangeInternal))
        fit();
    return QObject::eventFilter(watched, event);
}

void ScreenFit::fit() {
    const QScreen* screen =
        mWindow->screen() ? mWindow->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QSize content = mArea ? mContentSize : mWindow->size();
    QSize frame = mWindow->frameGeometry().size() - mWindow->geometry().size();
    // Until the window system has framed the window, its frame is unknown; the title bar is
    // the most of it.
    if (frame.isEmpty() && !(mWindow->windowFlags() & Qt::FramelessWindowHint))
        frame =
            QSize(0, mWindow->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, mWindow));
    const QSize available = screen->availableGeometry().size() - frame;
    const int bar = mWindow->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, mWindow);
    const QSize fitted = sizeWithinScreen(content, available, bar);
    if (fitted == content && !mArea)
        return; // the screen holds it: nothing changes
    if (!mArea) {
        mContentSize = content;
        moveContentsIntoScrollArea();
    }
    mWindow->setFixedSize(fitted);
    mArea->setGeometry(mWindow->rect());
    keepFrameOnScreen();
}

void ScreenFit::moveContentsIntoScrollArea() {
    // The tab order and the focus go with the controls.
    std::vector<QPointer<QWidget>> chain;
    for (QWidget* w = mWindow->nextInFocusChain(); w && w != mWindow; w = w->nextInFocusChain())
        chain.emplace_back(w);
    QPointer<QWidget> focus = mWindow->focusWidget();

    mArea = new QScrollArea(mWindow);
    mArea->setFrameShape(QFrame::NoFrame);
    mArea->setFocusPolicy(Qt::NoFocus);
    auto* contents = new QWidget;
    contents->setObjectName(QStringLiteral("screenFitContents"));
    contents->setFixedSize(mContentSize);
    // A copy: each move takes a child out of the window's own list.
    const QObjectList children = mWindow->children();
    for (QObject* child : children) {
        auto* w = qobject_cast<QWidget*>(child);
        if (!w || w == mArea || w->isWindow())
            continue;
        const bool hidden = w->isHidden();
        w->setParent(contents);
        w->setVisible(!hidden);
    }
    mArea->setWidget(contents);
    // Whatever takes the focus (Tab, a shortcut, a click) is scrolled into view.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now && mArea && mArea->widget() && mArea->widget()->isAncestorOf(now))
            showInArea(now);
    });
    // The window's own background, not the scroll area's; moves over it reach the window's
    // handler as before, which only widgets that track the mouse pass on.
    contents->setAutoFillBackground(mWindow->autoFillBackground());
    for (QWidget* w :
         {static_cast<QWidget*>(contents), mArea->viewport(), static_cast<QWidget*>(mArea)})
        w->setMouseTracking(mWindow->hasMouseTracking());
    mArea->viewport()->setBackgroundRole(mWindow->backgroundRole());
    mArea->show();

    for (std::size_t i = 0; i + 1 < chain.size(); ++i)
        if (chain[i] && chain[i + 1])
            QWidget::setTabOrder(chain[i], chain[i + 1]);
    if (focus)
        focus->setFocus();
}

void ScreenFit::showInArea(QWidget* control) {
    // Only the part its parents let show: a picture larger than its viewport need not fit.
    QWidget* contents = mArea->widget();
    QRect shown(control->mapTo(contents, QPoint(0, 0)), control->size());
    for (QWidget* p = control->parentWidget(); p && p != contents; p = p->parentWidget())
        shown &= QRect(p->mapTo(contents, QPoint(0, 0)), p->size());
    mArea->ensureVisible(shown.center().x(), shown.center().y(), shown.width() / 2,
                         shown.height() / 2);
}

void ScreenFit::keepFrameOnScreen() {
    const QRect available = mWindow->screen()->availableGeometry();
    QRect frame = mWindow->frameGeometry();
    frame.moveLeft(std::clamp(frame.left(), available.left(),
                              std::max(available.left(), available.right() - frame.width() + 1)));
    frame.moveTop(std::clamp(frame.top(), available.top(),
                             std::max(available.top(), available.bottom() - frame.height() + 1)));
    mWindow->move(frame.topLeft());
}

} // namespace pq
