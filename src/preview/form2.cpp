#include "form2.h"

#include "base/failure.h"
#include "filecopy.h"
#include "generation/generationrun.h"
#include "mainwindow/services/appearance.h"
#include "mainwindow/services/errorreport.h"
#include "mainwindow/services/pointer.h"
#include "mainwindow/services/pushbutton.h"
#include "mainwindow/services/screenfit.h"
#include "previewcontrols.h"
#include "previewmath.h"
#include "spreadsheet/excel1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <utility>

namespace pq {

namespace {
constexpr int kActivationFallbackMs = 250;
}

namespace {
constexpr int kPicture1Frame = 1;
constexpr int kViewportFrame = 2;

// Ends the process without running any other window's handlers: the windows are hidden, not
// closed, and every event loop is left.
void endProcess() {
    for (QWidget* window : QApplication::topLevelWidgets())
        window->hide();
    QCoreApplication::exit(0);
}

std::int16_t buttonMask(Qt::MouseButtons buttons) {
    std::int16_t mask = 0;
    if (buttons & Qt::LeftButton)
        mask |= 1;
    if (buttons & Qt::RightButton)
        mask |= 2;
    if (buttons & Qt::MiddleButton)
        mask |= 4;
    return mask;
}

std::int16_t shiftMask(Qt::KeyboardModifiers modifiers) {
    std::int16_t mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= 1;
    if (modifiers & Qt::ControlModifier)
        mask |= 2;
    if (modifiers & Qt::AltModifier)
        mask |= 4;
    return mask;
}

void initScrollbar(QScrollBar* bar) {
    bar->setRange(0, kScrollMaximumLimit);
    bar->setSingleStep(1);
    bar->setPageStep(1);
    // The picture follows the bar when the thumb is released, not while it moves.
    bar->setTracking(false);
    bar->setFocusPolicy(Qt::StrongFocus);
    bar->setAttribute(Qt::WA_NoMousePropagation);
}
} // namespace

Form2::Form2(DialogService& dialogs, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      mDialogs(dialogs), mKillFile(KillFile), mEndProcess(endProcess) {
    createControls();
    Form_Load();
    // On a screen too small for the window, its contents scroll inside it.
    ScreenFit::install(this);
}

// ---- Controls ------------------------------------------------------------------------------

void Form2::createControls() {
    setFixedSize(656, 696);
    setFont(windowFont());
    // Moves over the background reach Form_MouseMove only with tracking on.
    setMouseTracking(true);

    HScroll1 = new ScrollBar(Qt::Horizontal, this);
    HScroll1->setGeometry(8, 503, 622, 17);
    VScroll1 = new ScrollBar(Qt::Vertical, this);
    VScroll1->setGeometry(630, 8, 17, 495);
    for (QScrollBar* bar : {HScroll1, VScroll1})
        initScrollbar(bar);
    connect(HScroll1, &QScrollBar::valueChanged, this, [this] { HScroll1_Change(); });
    connect(VScroll1, &QScrollBar::valueChanged, this, [this] { VScroll1_Change(); });
    for (QScrollBar* bar : {HScroll1, VScroll1}) {
        // A step that finds the bar at its end changes no value, but still brings a picture
        // that a drop left off the grid to the edge.
        connect(bar, &QAbstractSlider::actionTriggered, this, [this, bar] {
            if (bar->sliderPosition() == bar->value())
                placeAlongBar(bar);
        });
    }

    createViewport();

    Frame1 = new QGroupBox(QStringLiteral("Zoom:"), this);
    Frame1->setGeometry(8, 524, 640, 57);
    Frame1->setMouseTracking(true);
    Frame1->installEventFilter(this);

    Zoom_Ori = new PictureBox(0, this);
    Zoom_Ori->move(688, 32);
    Zoom_Ori->setFocusPolicy(Qt::NoFocus);
    Zoom_Ori->hide();

    createButtons();
    createOutputRow();
    createFindRow();
    setTabOrderOfControls();
    createShortcuts();
}

void Form2::createViewport() {
    Picture2 = new QFrame(this);
    Picture2->setGeometry(8, 8, 622, 495);
    Picture2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Picture2->setLineWidth(kViewportFrame);
    Picture2->setFocusPolicy(Qt::TabFocus);
    Picture2->setProperty("pictureBox", true);
    // The inside of the viewport clips the picture and is where its position counts from.
    mViewportInside = new QWidget(Picture2);
    mViewportInside->setGeometry(Picture2->contentsRect());
    QPalette white = mViewportInside->palette();
    white.setColor(QPalette::Window, Qt::white);
    for (QWidget* w : {static_cast<QWidget*>(Picture2), mViewportInside}) {
        w->setPalette(white);
        w->setAutoFillBackground(true);
        w->setAttribute(Qt::WA_NoMousePropagation);
    }

    Picture1 = new PictureBox(kPicture1Frame, mViewportInside);
    Picture1->setAutoSize(true);
    Picture1->setFocusPolicy(Qt::TabFocus);
    Picture1->setAttribute(Qt::WA_NoMousePropagation);
    // The wheel stops wherever mouse events stop, so each part of the viewport is watched.
    for (QWidget* w :
         {static_cast<QWidget*>(Picture2), mViewportInside, static_cast<QWidget*>(Picture1)})
        w->installEventFilter(this);
    new ViewportFocus(Picture2, Picture1);
}

void Form2::createButtons() {
    PushButton1 = new PushButton(QStringLiteral("Zoom In"), Frame1);
    PushButton1->setGeometry(16, 20, 296, 27);
    PushButton2 = new PushButton(QStringLiteral("Zoom Out"), Frame1);
    PushButton2->setGeometry(320, 20, 304, 27);
    PushButton8 = new PushButton(QStringLiteral("< Back"), this);
    PushButton8->setGeometry(8, 590, 312, 27);
    PushButton6 = new PushButton(QStringLiteral("Save Results To Excel File"), this);
    PushButton6->setGeometry(328, 590, 320, 27);
    PushButton1->setToolTip(QStringLiteral("Zoom in one step (Ctrl+=)"));
    PushButton2->setToolTip(QStringLiteral("Zoom out one step (Ctrl+-)"));
    PushButton6->setToolTip(QStringLiteral("Save a copy of the workbook (Ctrl+S)"));
    PushButton8->setToolTip(QStringLiteral("Back to the main window (Esc)"));
    for (PushButton* b : {PushButton1, PushButton2, PushButton6, PushButton8}) {
        b->setFont(buttonFont());
        // A move over a button is the button's alone; the frame or window behind it would
        // otherwise turn the hand back into the arrow.
        b->setAttribute(Qt::WA_NoMousePropagation);
    }
    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton2, &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { PushButton6_Click(); });
    connect(PushButton8, &QPushButton::clicked, this, [this] { PushButton8_Click(); });
    connect(PushButton1, &PushButton::mouseMoved, this, [this] { PushButton1_MouseMove(); });
    connect(PushButton2, &PushButton::mouseMoved, this, [this] { PushButton2_MouseMove(); });
    connect(PushButton6, &PushButton::mouseMoved, this, [this] { PushButton6_MouseMove(); });
    connect(PushButton8, &PushButton::mouseMoved, this, [this] { PushButton8_MouseMove(); });
}

void Form2::createOutputRow() {
    PrintButton = new PushButton(QStringLiteral("Print…"), this);
    ExportPdfButton = new PushButton(QStringLiteral("Export PDF…"), this);
    ExportPictureButton = new PushButton(QStringLiteral("Export Picture…"), this);
    const std::pair<PushButton*, QString> tips[] = {
        {PrintButton, QStringLiteral("Print the chart, with a preview of its pages (Ctrl+P)")},
        {ExportPdfButton, QStringLiteral("Write the chart's pages as a PDF file (Ctrl+E)")},
        {ExportPictureButton, QStringLiteral("Write the chart as an SVG or PNG picture")},
    };
    int x = 8;
    for (const auto& [button, tip] : tips) {
        button->setGeometry(x, 626, 208, 27);
        x += 216;
        button->setToolTip(tip);
        button->setFont(buttonFont());
        button->setAttribute(Qt::WA_NoMousePropagation);
    }
    connect(PrintButton, &QPushButton::clicked, this, [this] { mOutput.print(); });
    connect(ExportPdfButton, &QPushButton::clicked, this, [this] { mOutput.exportPdf(); });
    connect(ExportPictureButton, &QPushButton::clicked, this, [this] { mOutput.exportPicture(); });
    connect(new QShortcut(QKeySequence::Print, this), &QShortcut::activated, this,
            [this] { mOutput.print(); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_E), this), &QShortcut::activated, this,
            [this] { mOutput.exportPdf(); });
}

void Form2::setTabOrderOfControls() {
    // Frame1 and Zoom_Ori take no focus; Tab passes over them.
    Frame1->setFocusPolicy(Qt::NoFocus);
    const QWidget* order[] = {HScroll1, VScroll1,    Picture2,    Picture1,    Frame1,
                              Zoom_Ori, PushButton1, PushButton2, PushButton6, PushButton8};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
    // The printing row follows the seed's controls; the find field, when shown, comes last.
    QWidget::setTabOrder(PushButton8, PrintButton);
    QWidget::setTabOrder(PrintButton, ExportPdfButton);
    QWidget::setTabOrder(ExportPdfButton, ExportPictureButton);
    QWidget::setTabOrder(ExportPictureButton, FindField);
}

void Form2::createFindRow() {
    StatusLine = new QLabel(this);
    StatusLine->setTextFormat(Qt::PlainText);
    StatusLine->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    FindField = new QLineEdit(this);
    FindField->setPlaceholderText(QStringLiteral("Find in the chart (Enter: next)"));
    FindField->setToolTip(
        QStringLiteral("Part of a name or any text in a box (Enter or F3: next, Esc: close)"));
    FindField->setClearButtonEnabled(true);
    FindField->hide();
    FindField->installEventFilter(this);
    connect(FindField, &QLineEdit::textEdited, this, [this] { findFromStart(); });
    connect(FindField, &QLineEdit::returnPressed, this, [this] { findNext(); });
    layOutFindRow();
}

// The status line takes the whole row while the find field is closed, the left half beside it.
void Form2::layOutFindRow() {
    const bool finding = !FindField->isHidden();
    StatusLine->setGeometry(8, 661, finding ? 312 : 640, 27);
    FindField->setGeometry(328, 661, 320, 27);
}

void Form2::showStatus(const QString& text) {
    StatusLine->setText(text);
}

void Form2::createShortcuts() {
    // The keys run the buttons' own handlers, so their reports and rules stay the same.
    const std::pair<QKeySequence, void (Form2::*)()> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Equal), &Form2::PushButton1_Click},
        {QKeySequence(Qt::CTRL | Qt::Key_Plus), &Form2::PushButton1_Click},
        {QKeySequence(Qt::CTRL | Qt::Key_Minus), &Form2::PushButton2_Click},
        {QKeySequence(Qt::CTRL | Qt::Key_S), &Form2::PushButton6_Click},
        {QKeySequence(Qt::Key_Escape), &Form2::PushButton8_Click},
        {QKeySequence(QKeySequence::Find), &Form2::openFind},
    };
    for (const auto& [key, handler] : keys) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, handler);
    }
    // Moving about a large chart. A text field keeps Home and End for its own text.
    const std::pair<QKeySequence, std::function<void()>> moves[] = {
        {QKeySequence(Qt::Key_PageDown), [this] { pageKey(1); }},
        {QKeySequence(Qt::Key_PageUp), [this] { pageKey(-1); }},
        {QKeySequence(Qt::Key_Home), [this] { edgeKey(false, false); }},
        {QKeySequence(Qt::Key_End), [this] { edgeKey(true, false); }},
        {QKeySequence(Qt::CTRL | Qt::Key_Home), [this] { edgeKey(false, true); }},
        {QKeySequence(Qt::CTRL | Qt::Key_End), [this] { edgeKey(true, true); }},
        {QKeySequence(QKeySequence::FindNext), [this] { findNext(); }},
        {QKeySequence(QKeySequence::FindPrevious), [this] { findNext(true); }},
    };
    for (const auto& [key, move] : moves)
        connect(new QShortcut(key, this), &QShortcut::activated, this, move);
}

// ---- Hand-off and window events ------------------------------------------------------------

void Form2::setPicture(const Picture& picture) {
    Picture1->setPicture(picture);
    // What was found and said was of the previous chart.
    mChartTexts.reset();
    mFoundIndex.reset();
    showStatus(QString());
    // A new picture is set up afresh at the next activation.
    mFirstActivate = -1;
}

void Form2::setExcelFile(const QString& path) {
    mExcelFile = path;
    mOutput.setWorkbook(path);
    mChartTexts.reset();
}

void Form2::showPreview() {
    if (!mPlaced) {
        const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
        if (screen)
            move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                     screen->availableGeometry())
                     .topLeft());
        mPlaced = true;
    }
    show();
    raise();
    activateWindow();
    // The set-up runs when the window becomes active; a window manager that does not activate
    // a new window (some Wayland compositors refuse) would leave the new picture unset, so the
    // set-up runs shortly after the show in any case, once.
    QTimer::singleShot(kActivationFallbackMs, this, [this] {
        if (isVisible())
            Form_Activate();
    });
}

bool Form2::event(QEvent* event) {
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::WindowActivate)
        Form_Activate();
    return handled;
}

void Form2::closeEvent(QCloseEvent* event) {
    Form_QueryUnload();
    event->accept();
    Form_Unload();
}

void Form2::mouseMoveEvent(QMouseEvent* event) {
    QWidget::mouseMoveEvent(event);
    Form_MouseMove();
}

bool Form2::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel &&
        (watched == Picture1 || watched == Picture2 || watched == mViewportInside)) {
        viewportWheel(*static_cast<QWheelEvent*>(event));
        return true;
    }
    if (watched == Frame1 && event->type() == QEvent::MouseMove)
        Frame1_MouseMove();
    if (watched == FindField && findFieldEvent(event))
        return true;
    if (watched == Picture1)
        return picture1MouseEvent(event);
    return QWidget::eventFilter(watched, event);
}

bool Form2::picture1MouseEvent(QEvent* event) {
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonDblClick &&
        type != QEvent::MouseMove && type != QEvent::MouseButtonRelease)
        return false;
    const auto* e = static_cast<QMouseEvent*>(event);
    const auto x = static_cast<float>(e->position().x());
    const auto y = static_cast<float>(e->position().y());
    const std::int16_t shift = shiftMask(e->modifiers());
    if (type == QEvent::MouseMove)
        Picture1_MouseMove(buttonMask(e->buttons()), shift, x, y);
    else if (type == QEvent::MouseButtonRelease)
        Picture1_MouseUp(buttonMask(e->button()), shift, x, y);
    else
        Picture1_MouseDown(buttonMask(e->button()), shift, x, y);
    return true;
}

// ---- Load and set-up -----------------------------------------------------------------------

void Form2::Form_Load() {
    Guard g(mDialogs, loc::kForm2FormLoad);
    g(100, [&] { SetFormColors(this); });
    g(104, [&] { setWindowTitle(kProductTitle); });
    g(106, [&] { setWindowIcon(appIcon()); });
    if (g.test(108, [&] { return FileExists(handCursorPath()); }))
        g(110, [&] { mMouseIcon = loadCursorFile(handCursorPath()); });
    g(112, [&] { mFirstActivate = -1; });
}

void Form2::Form_Activate() {
    // A report shown during the set-up hands the activation back when it closes; the set-up
    // in progress must not start over inside itself.
    if (mActivating)
        return;
    mActivating = true;
    Guard g(mDialogs, loc::kForm2FormActivate);
    if (!g.test(100, [&] { return mFirstActivate == 0; })) {
        g(108, [&] { Picture1->fitToPicture(); });
        g(118, [&] { Zoom_Ori->hide(); });
        g(120, [&] { Zoom_Ori->resize(Picture1->size()); });
        g(126, [&] { Zoom_Ori->setPicture(Picture1->picture()); });
        g(128, [&] { mZoom = 1.0f; });
        g(130, [&] { mOrigWidth = Zoom_Ori->innerSize().width() - 2 * kPicture1Frame; });
        g(132, [&] { mOrigHeight = Zoom_Ori->innerSize().height() - 2 * kPicture1Frame; });
        g(134, [&] { mWidth = mOrigWidth; });
        g(136, [&] { mHeight = mOrigHeight; });
        g(138, [&] { DrawZoomed(); });
        g(140, [&] { SetupScrollbars(); });
    }
    g(142, [&] { mFirstActivate = 0; });
    mActivating = false;
}

// ---- Zoom ----------------------------------------------------------------------------------

void Form2::PushButton1_Click() {
    Guard g(mDialogs, loc::kForm2PushButton1Click);
    g(100, [&] { ZoomStep(0); });
}

void Form2::PushButton2_Click() {
    Guard g(mDialogs, loc::kForm2PushButton2Click);
    g(100, [&] { ZoomStep(1); });
}

void Form2::ZoomStep(std::int32_t direction) {
    showStatus(QString());
    SetZoom(nextZoom(mZoom, direction));
}

void Form2::SetZoom(float factor) {
    if (!zoomInRange(factor))
        return;
    const float previousZoom = mZoom;
    mZoom = factor;
    if (DrawZoomed()) {
        SetupScrollbars();
        return;
    }
    // Too large to draw: the screen is left as it was, and the factor is the one kept for the
    // next step, with the size that goes with it.
    mZoom = factorAfterRefusal(previousZoom, factor);
    // Without a word the press would look lost.
    showStatus(factor > previousZoom ? kZoomInRefused : kZoomOutRefused);
    const QSize size = zoomedSize(mOrigWidth, mOrigHeight, mZoom);
    mWidth = size.width();
    mHeight = size.height();
}

bool Form2::DrawZoomed() {
    const QSize size = zoomedSize(mOrigWidth, mOrigHeight, mZoom);
    mWidth = size.width();
    mHeight = size.height();
    if (!withinDrawLimits(size))
        return false;
    Picture1->clearPicture();
    Picture1->resize(mWidth + 2 * kPicture1Frame, mHeight + 2 * kPicture1Frame);
    // Always from the untouched copy, so no number of steps degrades the picture.
    Picture1->drawStretched(Zoom_Ori->picture(), QRectF(0, 0, mWidth, mHeight),
                            QRectF(0, 0, mOrigWidth, mOrigHeight));
    setMousePointer(kPointerDefault);
    HScroll1->setValue(0);
    VScroll1->setValue(0);
    return true;
}

// ---- Scroll bars ---------------------------------------------------------------------------

void Form2::SetupScrollbars() {
    Picture1->move(0, 0);
    mHRemainder = 0;
    mVRemainder = 0;
    struct Axis {
        QScrollBar* bar;
        Int16& step;
        ScrollFit fit;
    };
    Axis axes[] = {
        {HScroll1, mHStep, fitScrollbar(Picture1->width(), Picture2->width())},
        {VScroll1, mVStep, fitScrollbar(Picture1->height(), Picture2->height())},
    };
    for (Axis& a : axes) {
        if (!a.fit.enabled) {
            // A disabled bar keeps its value; with step 0 it places the picture at 0.
            a.bar->setEnabled(false);
            a.step = 0;
            continue;
        }
        a.bar->setEnabled(true);
        a.bar->setMaximum(a.fit.maximum);
        a.step = a.fit.step;
        a.bar->setValue(0);
    }
}

void Form2::HScroll1_Change() {
    if (HScroll1->value() <= 0 || HScroll1->value() >= HScroll1->maximum())
        mHRemainder = 0;
    Picture1->move(positionForValue(HScroll1->value(), HScroll1->maximum(), mHStep, mHRemainder),
                   Picture1->y());
}

void Form2::VScroll1_Change() {
    if (VScroll1->value() <= 0 || VScroll1->value() >= VScroll1->maximum())
        mVRemainder = 0;
    Picture1->move(Picture1->x(),
                   positionForValue(VScroll1->value(), VScroll1->maximum(), mVStep, mVRemainder));
}

void Form2::placeAlongBar(QScrollBar* bar) {
    if (bar == HScroll1)
        HScroll1_Change();
    else
        VScroll1_Change();
}

void Form2::moveBarTo(QScrollBar* bar, int value) {
    value = std::clamp(value, bar->minimum(), bar->maximum());
    // A bar already at its end still brings a picture left off its grid by a drop to the edge.
    if (value == bar->value())
        placeAlongBar(bar);
    else
        bar->setValue(value);
}

void Form2::SetHScrollbarByPercent(QScrollBar* HScrollbar, std::int16_t percent) {
    setScrollbarByPercent(HScrollbar, percent);
}

void Form2::SetVScrollbarByPercent(QScrollBar* VScrollbar, std::int16_t percent) {
    setScrollbarByPercent(VScrollbar, percent);
}

void Form2::setScrollbarByPercent(QScrollBar* bar, std::int16_t percent) {
    if (const auto value = valueForPercent(percent, bar->maximum()))
        bar->setValue(*value);
}

// ---- Wheel -------------------------------------------------------------------------------

void Form2::viewportWheel(const QWheelEvent& event) {
    const QPoint delta = event.angleDelta();
    // Some systems turn a modified vertical wheel into a horizontal one.
    const int turn = delta.y() != 0 ? delta.y() : delta.x();
    if (event.modifiers() & Qt::ControlModifier) {
        wheelZoom(turn);
    } else if (event.modifiers() & Qt::ShiftModifier) {
        wheelScroll(HScroll1, mHStep, mHWheel, turn);
    } else {
        wheelScroll(HScroll1, mHStep, mHWheel, delta.x());
        wheelScroll(VScroll1, mVStep, mVWheel, delta.y());
    }
}

void Form2::wheelZoom(int delta) {
    // More steps than the range holds change nothing further.
    const int steps = std::clamp(mZoomWheel.take(delta), -16, 16);
    for (int i = 0; i < steps; ++i)
        PushButton1_Click();
    for (int i = 0; i > steps; --i)
        PushButton2_Click();
}

void Form2::wheelScroll(QScrollBar* bar, Int16 step, WheelSteps& steps, int delta) {
    if (delta == 0 || !bar->isEnabled())
        return;
    const int units = steps.take(delta, wheelUnitsPerNotch(step));
    if (units == 0)
        return;
    // Turning away from the user shows what lies above (or to the left): the value falls.
    // Setting the value runs the bar's change handler, which places the picture.
    moveBarTo(bar, bar->value() - units);
}

// ---- Keys ----------------------------------------------------------------------------------

void Form2::pageKey(int direction) {
    if (VScroll1->isEnabled())
        moveBarTo(VScroll1,
                  VScroll1->value() + direction * pageUnits(mViewportInside->height(), mVStep));
}

void Form2::edgeKey(bool toEnd, bool sideways) {
    std::initializer_list<QScrollBar*> bars = {VScroll1, HScroll1};
    for (QScrollBar* bar : bars) {
        if (bar == HScroll1 && !sideways)
            continue;
        if (bar->isEnabled())
            moveBarTo(bar, toEnd ? bar->maximum() : 0);
    }
}

// ---- Find in the chart ---------------------------------------------------------------------

void Form2::openFind() {
    FindField->show();
    layOutFindRow();
    FindField->setFocus(Qt::ShortcutFocusReason);
    FindField->selectAll();
}

void Form2::closeFind() {
    const bool hadFocus = FindField->hasFocus();
    FindField->hide();
    layOutFindRow();
    Picture1->setMark(QRect());
    mFoundIndex.reset();
    showStatus(QString());
    if (hadFocus)
        Picture2->setFocus(Qt::OtherFocusReason);
}

bool Form2::findFieldEvent(QEvent* event) {
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    // Esc in the field closes the field only: taken before the window's Esc ("< Back") sees it.
    if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
        event->accept();
        if (event->type() == QEvent::KeyPress)
            closeFind();
        return true;
    }
    const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (event->type() == QEvent::KeyPress && enter && (key->modifiers() & Qt::ShiftModifier)) {
        findNext(true);
        return true;
    }
    return false;
}

bool Form2::loadChartTexts() {
    if (mChartTexts)
        return true;
    try {
        mChartTexts = ChartFind::fromWorkbookFile(mExcelFile);
        return true;
    } catch (const Failure& failure) {
        showStatus(
            QStringLiteral("The chart's texts cannot be read: %1").arg(failure.description()));
        return false;
    }
}

void Form2::findFromStart() {
    mFoundIndex.reset();
    findNext();
}

void Form2::findNext(bool backwards) {
    if (FindField->isHidden()) {
        openFind();
        if (FindField->text().isEmpty())
            return;
    }
    const QString typed = FindField->text();
    if (typed.trimmed().isEmpty()) {
        Picture1->setMark(QRect());
        showStatus(QString());
        return;
    }
    if (!loadChartTexts())
        return;
    const std::optional<ChartFind::Found> found = mChartTexts->find(typed, mFoundIndex, backwards);
    if (!found) {
        mFoundIndex.reset();
        Picture1->setMark(QRect());
        showStatus(QStringLiteral("No box holds \u201C%1\u201D.").arg(typed.trimmed()));
        return;
    }
    showFound(*found);
}

void Form2::showFound(const ChartFind::Found& found) {
    mFoundIndex = found.index;
    Picture1->setMark(mChartTexts->box(found.index));
    scrollToShow(Picture1->markInBox());
    showStatus(QStringLiteral("%1 of %2: %3")
                   .arg(found.ordinal)
                   .arg(found.total)
                   .arg(mChartTexts->text(found.index)));
}

// Brings a part of the picture (Picture1's coordinates) into the viewport, in its middle where
// it fits and as far as the bars reach, on the bars' grid.
void Form2::scrollToShow(const QRectF& part) {
    struct Axis {
        QScrollBar* bar;
        Int16 step;
        std::int32_t& remainder;
        double start;
        double length;
        int inside;
    };
    Axis axes[] = {
        {HScroll1, mHStep, mHRemainder, part.left(), part.width(), mViewportInside->width()},
        {VScroll1, mVStep, mVRemainder, part.top(), part.height(), mViewportInside->height()},
    };
    for (Axis& a : axes) {
        if (!a.bar->isEnabled() || a.step <= 0)
            continue;
        a.remainder = 0;
        moveBarTo(a.bar, valueToShow(a.start, a.length, a.inside, a.step, a.bar->maximum()));
    }
}

// ---- Dragging ------------------------------------------------------------------------------

void Form2::Picture1_MouseDown(std::int16_t, std::int16_t, float x, float y) {
    Guard g(mDialogs, loc::kForm2Picture1MouseDown);
    g(100, [&] { mStartX = x; });
    g(102, [&] { mStartY = y; });
}

void Form2::Picture1_MouseMove(std::int16_t button, std::int16_t, float x, float y) {
    Guard g(mDialogs, loc::kForm2Picture1MouseMove);
    // No button held: no drag, the held button is the only drag state.
    if (!g.test(100, [&] { return button != 0; }))
        return;
    PictureBox* picture = nullptr;
    float newLeft = 0.0f;
    float newTop = 0.0f;
    g(102, [&] { picture = Picture1; });
    g(104, [&] { newLeft = picture->x() - mStartX + x; });
    g(106, [&] {
        newLeft = dragPosition(newLeft, picture->x(), mViewportInside->width(), picture->width());
    });
    g(114, [&] { newTop = picture->y() - mStartY + y; });
    g(116, [&] {
        newTop = dragPosition(newTop, picture->y(), mViewportInside->height(), picture->height());
    });
    g(124, [&] { picture->move(CLng(newLeft), CLng(newTop)); });
}

void Form2::Picture1_MouseUp(std::int16_t, std::int16_t, float, float) {
    Guard g(mDialogs, loc::kForm2Picture1MouseUp);
    const QPoint dropped = Picture1->pos();
    // A bar that scrolls (a step above 0) takes the drop so that the picture stays where it
    // was let go; otherwise the whole percentage is all there is.
    std::optional<std::int32_t> hPercent;
    std::optional<std::int32_t> vPercent;
    g(100, [&] {
        if (mHStep <= 0)
            hPercent = dropPercent(dropped.x(), Picture1->width(), Picture2->width());
    });
    g(102, [&] {
        if (mVStep <= 0)
            vPercent = dropPercent(dropped.y(), Picture1->height(), Picture2->height());
    });
    // Where the sizes are equal there is no range: that bar is left alone.
    g(104, [&] {
        if (mHStep > 0)
            dropOnScrollbar(HScroll1, mHStep, mHRemainder, dropped.x(), Picture1->width(),
                            Picture2->width());
        else if (hPercent)
            SetHScrollbarByPercent(HScroll1, CInt(*hPercent));
    });
    g(106, [&] {
        if (mVStep > 0)
            dropOnScrollbar(VScroll1, mVStep, mVRemainder, dropped.y(), Picture1->height(),
                            Picture2->height());
        else if (vPercent)
            SetVScrollbarByPercent(VScroll1, CInt(*vPercent));
    });
}

void Form2::dropOnScrollbar(QScrollBar* bar, Int16 step, std::int32_t& remainder, int position,
                            int pictureOuter, int viewportOuter) {
    const BarDrop drop = dropOnBar(position, pictureOuter, viewportOuter, bar->maximum(), step);
    bar->setValue(drop.value);
    // At either end the bar's handler puts the picture back on the grid; the drop stands there
    // too until the bar moves on.
    remainder = drop.remainder;
    const std::int32_t placed = -(std::int32_t{step} * drop.value) + drop.remainder;
    if (bar == HScroll1)
        Picture1->move(placed, Picture1->y());
    else
        Picture1->move(Picture1->x(), placed);
}

// ---- Pointer -------------------------------------------------------------------------------

void Form2::setMousePointer(int pointer) {
    mMousePointer = pointer;
    setCursor(cursorForPointer(pointer, mMouseIcon));
}

void Form2::showPointerUnlessBusy(int pointer) {
    setMousePointer(pointerAfterHover(mMousePointer, pointer));
}

void Form2::Form_MouseMove() {
    showPointerUnlessBusy(kPointerDefault);
}
void Form2::Frame1_MouseMove() {
    showPointerUnlessBusy(kPointerDefault);
}
void Form2::PushButton1_MouseMove() {
    showPointerUnlessBusy(kPointerCustom);
}
void Form2::PushButton2_MouseMove() {
    showPointerUnlessBusy(kPointerCustom);
}
void Form2::PushButton6_MouseMove() {
    showPointerUnlessBusy(kPointerCustom);
}
void Form2::PushButton8_MouseMove() {
    showPointerUnlessBusy(kPointerCustom);
}

// ---- Save, back, close ---------------------------------------------------------------------

void Form2::PushButton6_Click() {
    Guard g(mDialogs, loc::kForm2PushButton6Click);
    SaveDialogRequest CommonDialog1;
    QString path;
    Int16 answer = 0;
    bool copyFailed = false;
    g(106, [&] { CommonDialog1.fileName = QString(); });
    g(108, [&] { CommonDialog1.title = kSaveDialogTitle; });
    g(110, [&] { CommonDialog1.filter = kSaveDialogFilter; });
    g(112, [&] { CommonDialog1.fileName = mDialogs.saveFileName(CommonDialog1); });
    g(114, [&] { path = CommonDialog1.fileName; });
    if (!g.test(116, [&] { return path.isEmpty(); })) {
        if (g.test(118, [&] { return FileExists(path); })) {
            // The temporary workbook itself counts as saved already: copying it onto itself
            // could only lose it.
            if (!g.test(118, [&] { return sameExistingFile(path, mExcelFile); })) {
                // No delete on Yes: the copy replaces the old file only once it is complete.
                g(120, [&] {
                    answer = static_cast<int>(
                        MsgBox(mDialogs, kOverwriteQuestion + path + QStringLiteral(" ?"),
                               MsgButtons::YesNo));
                });
            }
        } else {
            g(126, [&] { answer = static_cast<int>(MsgResult::Yes); });
        }
    }
    if (g.test(128, [&] { return answer == static_cast<int>(MsgResult::Yes); })) {
        const int failuresBefore = g.failures();
        g(130, [&] { copyFileSafely(mExcelFile, path); });
        copyFailed = g.failures() > failuresBefore;
        if (!copyFailed)
            mOutput.noteSaved(path);
    }
    // After a failed copy "Done." would contradict the report just shown.
    if (!copyFailed)
        g(132, [&] { MsgBox(mDialogs, kDoneMessage); });
}

void Form2::PushButton8_Click() {
    Guard g(mDialogs, loc::kForm2PushButton8Click);
    g(102, [&] { mKillFile(mExcelFile); });
    g(104, [&] {
        if (!mShowForm1)
            throw Failure(failures::kObjectNotSet);
        mShowForm1();
    });
    g(106, [&] { hide(); });
}

void Form2::Form_QueryUnload() {
    Guard g(mDialogs, loc::kForm2FormQueryUnload);
    g(100, [&] { mKillFile(mExcelFile); });
    g(102, [&] { QCoreApplication::processEvents(); });
    g(104, [&] { QCoreApplication::processEvents(); });
}

void Form2::Form_Unload() {
    if (mEndProcess)
        mEndProcess();
}

// ---- Host ----------------------------------------------------------------------------------

Form2& Form2Host::form() {
    if (!mForm)
        mForm = mMake();
    return *mForm;
}

} // namespace pq
