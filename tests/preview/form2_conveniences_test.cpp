// The preview's wheel, keys and button hints: each reaches the state its button or scroll bar
// would, and a high-resolution display gets the vector picture drawn at its own resolution.

#include "preview/previewmath.h"
#include "previewfixture.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

namespace pq::test {
namespace {

// One notch away from the user (positive) or towards (negative).
constexpr int kNotch = 120;

void sendWheel(QWidget* to, QPoint angleDelta, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
               QPointF at = {20, 20}) {
    QWheelEvent e(at, to->mapToGlobal(at), QPoint(), angleDelta, Qt::NoButton, modifiers,
                  Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(to, &e);
}

class Form2Conveniences : public PreviewTest {
protected:
    // A second window handed the same picture, for what the buttons do.
    std::unique_ptr<Form2> twin(const Picture& picture) {
        auto other = std::make_unique<Form2>(dialogs);
        other->setPicture(picture);
        other->Form_Activate();
        return other;
    }

    void expectSameZoom(const Form2& other) {
        EXPECT_EQ(form->mZoom, other.mZoom);
        EXPECT_EQ(form->Picture1->size(), other.Picture1->size());
        EXPECT_EQ(form->VScroll1->maximum(), other.VScroll1->maximum());
        EXPECT_EQ(form->Picture1->pos(), other.Picture1->pos());
    }

    // Shortcuts belong to the active window.
    void showActive() {
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }
};

// --- Wheel zoom ---

TEST_F(Form2Conveniences, CtrlWheelZoomsAsTheButtonsDo) {
    const Picture picture = svgPicture(900, 700);
    handOver(picture);
    auto buttons = twin(picture);

    sendWheel(form->Picture1, {0, kNotch}, Qt::ControlModifier);
    buttons->PushButton1->click();
    expectSameZoom(*buttons);
    EXPECT_EQ(form->mZoom, 1.25f);

    sendWheel(form->viewportInside(), {0, -2 * kNotch}, Qt::ControlModifier);
    buttons->PushButton2->click();
    buttons->PushButton2->click();
    expectSameZoom(*buttons);
    EXPECT_EQ(form->mZoom, 0.75f);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Form2Conveniences, SmoothWheelZoomsOncePerWholeNotch) {
    handOver(svgPicture(300, 200));
    for (int i = 0; i < 3; ++i)
        sendWheel(form->Picture1, {0, 30}, Qt::ControlModifier);
    EXPECT_EQ(form->mZoom, 1.0f);
    sendWheel(form->Picture1, {0, 30}, Qt::ControlModifier);
    EXPECT_EQ(form->mZoom, 1.25f);
    // Turning back starts afresh: three quarters of a notch out do nothing yet.
    sendWheel(form->Picture1, {0, 90}, Qt::ControlModifier);
    sendWheel(form->Picture1, {0, -90}, Qt::ControlModifier);
    EXPECT_EQ(form->mZoom, 1.25f);
    sendWheel(form->Picture1, {0, -30}, Qt::ControlModifier);
    EXPECT_EQ(form->mZoom, 1.0f);
}

TEST_F(Form2Conveniences, CtrlWheelStopsAtTheEndsOfTheRange) {
    handOver(svgPicture(300, 200));
    sendWheel(form->Picture1, {0, -10 * kNotch}, Qt::ControlModifier);
    EXPECT_EQ(form->mZoom, 0.25f);
    EXPECT_EQ(form->Picture1->width(), 300 / 4 + 2);
    sendWheel(form->Picture1, {0, 40 * kNotch}, Qt::ControlModifier);
    EXPECT_EQ(form->mZoom, 4.0f);
}

// --- Wheel scrolling ---

TEST_F(Form2Conveniences, WheelMovesTheVerticalBarAndThePictureFollowsIt) {
    handOver(svgPicture(1620, 1493)); // outer 1622 x 1495: ten pixels a unit both ways
    ASSERT_EQ(int{form->mVStep}, 10);

    sendWheel(form->Picture1, {0, -kNotch});
    EXPECT_EQ(form->VScroll1->value(), kWheelNotchPixels / 10);
    EXPECT_EQ(picture1Pos(), QPoint(0, -kWheelNotchPixels));
    EXPECT_EQ(form->HScroll1->value(), 0);

    sendWheel(form->Picture1, {0, kNotch});
    EXPECT_EQ(form->VScroll1->value(), 0);
    EXPECT_EQ(picture1Pos(), QPoint(0, 0));
}

TEST_F(Form2Conveniences, WheelStopsAtTheBarsEnds) {
    handOver(svgPicture(1620, 1493));
    sendWheel(form->Picture1, {0, -1000 * kNotch});
    EXPECT_EQ(form->VScroll1->value(), form->VScroll1->maximum());
    EXPECT_EQ(picture1Pos().y(), -10 * form->VScroll1->maximum());
    sendWheel(form->Picture1, {0, 1000 * kNotch});
    EXPECT_EQ(form->VScroll1->value(), 0);
}

TEST_F(Form2Conveniences, WheelOverTheEmptyViewportScrollsToo) {
    handOver(svgPicture(200, 1493)); // narrow: the viewport's right part is empty
    sendWheel(form->viewportInside(), {0, -kNotch}, Qt::NoModifier, {500, 100});
    EXPECT_EQ(form->VScroll1->value(), kWheelNotchPixels / 10);
}

TEST_F(Form2Conveniences, SinglePixelBarMovesTheSameDistancePerNotch) {
    handOver(svgPicture(622 + 50 - 2, 495 + 80 - 2)); // one pixel a unit both ways
    ASSERT_EQ(int{form->mVStep}, 1);
    sendWheel(form->Picture1, {0, -kNotch});
    EXPECT_EQ(form->VScroll1->value(), kWheelNotchPixels);
    EXPECT_EQ(picture1Pos().y(), -kWheelNotchPixels);
}

TEST_F(Form2Conveniences, ShiftWheelAndTiltMoveTheHorizontalBar) {
    handOver(svgPicture(1620, 1493));
    sendWheel(form->Picture1, {0, -kNotch}, Qt::ShiftModifier);
    EXPECT_EQ(form->HScroll1->value(), kWheelNotchPixels / 10);
    EXPECT_EQ(form->VScroll1->value(), 0);
    EXPECT_EQ(picture1Pos(), QPoint(-kWheelNotchPixels, 0));

    sendWheel(form->Picture1, {-kNotch, 0}); // a tilting wheel
    EXPECT_EQ(form->HScroll1->value(), 2 * kWheelNotchPixels / 10);
    EXPECT_EQ(form->VScroll1->value(), 0);
}

TEST_F(Form2Conveniences, WheelOnADisabledBarChangesNothing) {
    handOver(svgPicture(300, 200));
    ASSERT_FALSE(form->VScroll1->isEnabled());
    ASSERT_FALSE(form->HScroll1->isEnabled());
    const int vBefore = form->VScroll1->value();
    const int hBefore = form->HScroll1->value();
    sendWheel(form->Picture1, {0, -kNotch});
    sendWheel(form->Picture1, {0, -kNotch}, Qt::ShiftModifier);
    EXPECT_EQ(form->VScroll1->value(), vBefore);
    EXPECT_EQ(form->HScroll1->value(), hBefore);
    EXPECT_EQ(picture1Pos(), QPoint(0, 0));
}

// --- Keys ---

TEST_F(Form2Conveniences, ZoomKeysPressTheZoomButtons) {
    const Picture picture = svgPicture(900, 700);
    handOver(picture);
    auto buttons = twin(picture);
    showActive();

    QTest::keyClick(form.get(), Qt::Key_Equal, Qt::ControlModifier);
    QTest::keyClick(form.get(), Qt::Key_Plus, Qt::ControlModifier);
    buttons->PushButton1->click();
    buttons->PushButton1->click();
    expectSameZoom(*buttons);
    EXPECT_EQ(form->mZoom, 1.5f);

    QTest::keyClick(form.get(), Qt::Key_Minus, Qt::ControlModifier);
    buttons->PushButton2->click();
    expectSameZoom(*buttons);
    EXPECT_EQ(form->mZoom, 1.25f);
}

TEST_F(Form2Conveniences, CtrlSSavesACopyAndSaysDone) {
    const QString workbook = dir.filePath(QStringLiteral("qorrow1.xls"));
    {
        QFile f(workbook);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("workbook bytes");
    }
    handOver(svgPicture(300, 200), workbook);
    const QString target = dir.filePath(QStringLiteral("smith.xls"));
    dialogs.savePaths = {target};
    showActive();

    QTest::keyClick(form.get(), Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    QFile copy(target);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), QByteArray("workbook bytes"));
    EXPECT_EQ(dialogs.texts(), QStringList{kDoneMessage});
}

TEST_F(Form2Conveniences, EscapeGoesBackAndDeletesTheWorkbook) {
    const QString workbook = dir.filePath(QStringLiteral("qorrow2.xls"));
    {
        QFile f(workbook);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    handOver(svgPicture(300, 200), workbook);
    showActive();

    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_FALSE(QFileInfo::exists(workbook));
    EXPECT_EQ(form1Shown, 1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(processEnded, 0);
}

TEST_F(Form2Conveniences, ButtonsNameTheirKeysInTheirHints) {
    EXPECT_TRUE(form->PushButton1->toolTip().contains(QStringLiteral("(Ctrl+=)")));
    EXPECT_TRUE(form->PushButton2->toolTip().contains(QStringLiteral("(Ctrl+-)")));
    EXPECT_TRUE(form->PushButton6->toolTip().contains(QStringLiteral("(Ctrl+S)")));
    EXPECT_TRUE(form->PushButton8->toolTip().contains(QStringLiteral("(Esc)")));
}

// --- High-resolution displays ---

// The picture's red half ends 50.5 pixels in: at twice the resolution that is a whole device
// pixel, so a vector drawing meets it exactly, while a 1x bitmap scaled up blurs both sides.
TEST_F(Form2Conveniences, PictureIsDrawnAtTheDevicePixelRatio) {
    handOver(svgPicture(101, 20));
    QImage image(form->Picture1->size() * 2, QImage::Format_RGB32);
    image.setDevicePixelRatio(2.0);
    image.fill(Qt::black);
    form->Picture1->render(&image);
    // Picture1's frame is 1 pixel, so the edge lies at (1 + 50.5) x 2 = 103 device pixels.
    EXPECT_EQ(image.pixelColor(102, 20), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(103, 20), QColor(Qt::blue));

    // Zoomed drawings are stretched from the vector picture as well: at 2.0 the edge is 101
    // picture pixels in, 2 x (1 + 101) = 204 device pixels.
    for (int i = 0; i < 4; ++i)
        form->PushButton1->click();
    ASSERT_EQ(form->mZoom, 2.0f);
    QImage zoomed(form->Picture1->size() * 2, QImage::Format_RGB32);
    zoomed.setDevicePixelRatio(2.0);
    form->Picture1->render(&zoomed);
    EXPECT_EQ(zoomed.pixelColor(203, 20), QColor(Qt::red));
    EXPECT_EQ(zoomed.pixelColor(204, 20), QColor(Qt::blue));
}

TEST(WheelSteps, AddsUpPartsOfANotchAndScalesByStepsPerNotch) {
    WheelSteps steps;
    EXPECT_EQ(steps.take(60, 4), 2);
    EXPECT_EQ(steps.take(15, 4), 0);
    EXPECT_EQ(steps.take(15, 4), 1);
    EXPECT_EQ(steps.take(-120, 4), -4);
    EXPECT_EQ(wheelUnitsPerNotch(10), kWheelNotchPixels / 10);
    EXPECT_EQ(wheelUnitsPerNotch(1), kWheelNotchPixels);
    EXPECT_EQ(wheelUnitsPerNotch(0), 0);
}

} // namespace
} // namespace pq::test
