// The preview window: its make-up, the set-up at activation, zooming and the pointer rules.

#include "generation/generationrun.h"
#include "mainwindow/services/appearance.h"
#include "mainwindow/services/pointer.h"
#include "mainwindow/services/pushbutton.h"
#include "previewfixture.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QImageWriter>
#include <QKeyEvent>
#include <QLabel>
#include <QScrollBar>

namespace pq::test {
namespace {

using Form2Zoom = PreviewTest;

TEST_F(Form2Zoom, WindowMakeUpAndTabOrder) {
    EXPECT_EQ(form->size(), QSize(656, 696)); // with a row for the status and the find field
    EXPECT_EQ(form->StatusLine->geometry(), QRect(8, 661, 640, 27));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form->windowTitle(), kProductTitle);
    EXPECT_EQ(form->Picture2->geometry(), QRect(8, 8, 622, 495));
    EXPECT_EQ(form->HScroll1->geometry(), QRect(8, 503, 622, 17));
    EXPECT_EQ(form->VScroll1->geometry(), QRect(630, 8, 17, 495));
    EXPECT_EQ(form->Frame1->geometry(), QRect(8, 524, 640, 57));
    EXPECT_EQ(form->PushButton1->parentWidget(), form->Frame1);
    EXPECT_EQ(form->PushButton1->geometry(), QRect(16, 20, 296, 27));
    EXPECT_EQ(form->PushButton6->text(), QStringLiteral("Save Results To Excel File"));
    EXPECT_EQ(form->PushButton8->text(), QStringLiteral("< Back"));
    // The printing row between the seed's controls and the status row.
    EXPECT_EQ(form->PrintButton->geometry(), QRect(8, 626, 208, 27));
    EXPECT_EQ(form->ExportPictureButton->geometry(), QRect(440, 626, 208, 27));
    EXPECT_EQ(form->ExportPdfButton->text(), QStringLiteral("Export PDF…"));
    EXPECT_DOUBLE_EQ(form->PushButton2->font().pointSizeF(), 11.25);
    EXPECT_TRUE(form->font().bold());
    EXPECT_FALSE(form->Zoom_Ori->isVisibleTo(form.get()));
    EXPECT_EQ(form->HScroll1->maximum(), 32767);
    EXPECT_FALSE(form->HScroll1->hasTracking());

    // Tab visits the focusable controls in their order and wraps around, and each shows the
    // focus where it can be seen (the picture within the viewport); both bars are enabled for a
    // picture larger than the viewport.
    handOver(svgPicture(2000, 2000));
    form->show();
    QApplication::setActiveWindow(form.get());
    const QImage noFocus = form->grab().toImage();
    form->HScroll1->setFocus();
    const QWidget* expected[] = {form->VScroll1,        form->Picture2,
                                 form->Picture1,        form->PushButton1,
                                 form->PushButton2,     form->PushButton6,
                                 form->PushButton8,     form->PrintButton,
                                 form->ExportPdfButton, form->ExportPictureButton,
                                 form->HScroll1};
    for (const QWidget* w : expected) {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QCoreApplication::sendEvent(QApplication::focusWidget(), &tab);
        EXPECT_EQ(QApplication::focusWidget(), w);
        const QRect clip = w == form->Picture1 ? form->Picture2->geometry() : form->rect();
        const QRect area = QRect(w->mapTo(form.get(), QPoint(0, 0)), w->size()) & clip;
        EXPECT_NE(form->grab().toImage().copy(area), noFocus.copy(area))
            << w->metaObject()->className();
    }
}

TEST_F(Form2Zoom, ActivationAfterAHandOffRunsTheSetUpOnce) {
    form->setPicture(svgPicture(300, 200));
    form->showPreview();
    for (int i = 0; i < 50 && form->mFirstActivate != 0; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(int{form->mFirstActivate}, 0);
    EXPECT_EQ(form->mOrigWidth, 300);
    EXPECT_EQ(form->mOrigHeight, 200);
    EXPECT_EQ(picture1Size(), QSize(302, 202));

    // A later activation leaves the factor alone.
    form->PushButton1->click();
    form->Form_Activate();
    EXPECT_EQ(form->mZoom, 1.25f);
}

TEST_F(Form2Zoom, TwelveStepsInReachFourAndThreeOutReachAQuarter) {
    // The largest picture that reaches 4.0, and the 5-generation chart.
    for (const QSize orig : {QSize(999, 2249), QSize(866, 598)}) {
        handOver(svgPicture(orig.width(), orig.height()));
        EXPECT_EQ(form->mZoom, 1.0f);
        EXPECT_EQ(picture1Size(), orig + QSize(2, 2));
        for (int i = 0; i < 12; ++i)
            form->PushButton1->click();
        EXPECT_EQ(form->mZoom, 4.0f);
        EXPECT_EQ(picture1Size(), orig * 4 + QSize(2, 2));
        form->PushButton1->click();
        EXPECT_EQ(form->mZoom, 4.0f);
        EXPECT_EQ(picture1Size(), orig * 4 + QSize(2, 2));

        form->SetZoom(1.0f);
        for (int i = 0; i < 3; ++i)
            form->PushButton2->click();
        const QSize quarter(orig.width() / 4 + 2, orig.height() / 4 + 2);
        EXPECT_EQ(form->mZoom, 0.25f);
        EXPECT_EQ(picture1Size(), quarter);
        form->PushButton2->click();
        EXPECT_EQ(form->mZoom, 0.25f);
        EXPECT_EQ(picture1Size(), quarter);
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Form2Zoom, InThenOutReturnsToTheSetUpSize) {
    handOver(svgPicture(333, 777));
    const QSize setUp = picture1Size();
    form->PushButton1->click();
    EXPECT_NE(picture1Size(), setUp);
    form->PushButton2->click();
    EXPECT_EQ(form->mZoom, 1.0f);
    EXPECT_EQ(picture1Size(), setUp);
    EXPECT_EQ(form->mWidth, 333);
}

TEST_F(Form2Zoom, ZoomDrawsTheUntouchedCopyStretched) {
    handOver(svgPicture(200, 100)); // red up to x 100, blue beyond
    form->show();
    auto colourAt = [&](int x) {
        return form->viewportInside()->grab().toImage().pixelColor(x, 50);
    };
    EXPECT_EQ(colourAt(150), QColor(Qt::blue));
    for (int i = 0; i < 4; ++i)
        form->PushButton1->click(); // 2.0: red up to x 200
    EXPECT_EQ(colourAt(150), QColor(Qt::red));
    EXPECT_EQ(colourAt(250), QColor(Qt::blue));
}

TEST_F(Form2Zoom, PictureAtTheCeilingIsNotRedrawnUntilItFits) {
    handOver(svgPicture(4000, 700));
    EXPECT_EQ(form->mZoom, 1.0f);
    EXPECT_EQ(picture1Size(), QSize(4002, 702)); // as fitted on arrival

    form->PushButton1->click(); // 5000 wide: refused, factor and screen unchanged
    EXPECT_EQ(form->mZoom, 1.0f);
    EXPECT_EQ(form->mWidth, 4000);
    EXPECT_EQ(picture1Size(), QSize(4002, 702));

    form->PushButton2->click();
    EXPECT_EQ(form->mZoom, 0.75f);
    EXPECT_EQ(picture1Size(), QSize(3002, 527));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Form2Zoom, TallChartsWalkOutToTheFirstFactorThatFits) {
    struct Walk {
        QSize chart;
        int pressesOut;
        float reached;
    };
    // 10 generations fit at 0.5, 11 at 0.25; 40,000 pixels high fits nowhere.
    for (const Walk w : {Walk{{1186, 17462}, 2, 0.5f}, Walk{{1250, 34870}, 3, 0.25f},
                         Walk{{100, 40000}, 3, 0.25f}}) {
        handOver(svgPicture(w.chart.width(), w.chart.height()));
        const QSize arrived = picture1Size();
        form->PushButton1->click(); // refused in: the next press out is not wasted
        for (int i = 1; i < w.pressesOut; ++i) {
            form->PushButton2->click(); // refused out: the screen stays as it arrived
            EXPECT_EQ(picture1Size(), arrived);
        }
        form->PushButton2->click();
        EXPECT_EQ(form->mZoom, w.reached);
        const QSize atReached = zoomedSize(w.chart.width(), w.chart.height(), w.reached);
        EXPECT_EQ(picture1Size(), withinDrawLimits(atReached) ? atReached + QSize(2, 2) : arrived);
        EXPECT_EQ(QSize(form->mWidth, form->mHeight), atReached);

        const QSize shown = picture1Size();
        form->PushButton1->click(); // every larger factor is over the limits
        EXPECT_EQ(form->mZoom, w.reached);
        EXPECT_EQ(picture1Size(), shown);
    }
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Form2Zoom, SecondHandOffIsSetUpAfreshAndZoomsTheNewPicture) {
    handOver(svgPicture(300, 200));
    form->PushButton1->click();
    form->PushButton8->click();

    handOver(svgPicture(500, 400));
    EXPECT_EQ(form->mZoom, 1.0f);
    EXPECT_EQ(picture1Size(), QSize(502, 402));
    form->PushButton1->click();
    EXPECT_EQ(picture1Size(), QSize(627, 502));
    EXPECT_EQ(form->Zoom_Ori->picture().size(), QSize(500, 400));

    // A picture too large to zoom, after a zoomed one: the zoomed drawing (blue from x 312)
    // must not cover the new picture, red over the whole viewport.
    form->PushButton8->click();
    handOver(svgPicture(4000, 700));
    form->show();
    const QImage shown = form->viewportInside()->grab().toImage();
    int notRed = 0;
    for (int y = 2; y < shown.height(); y += 4)
        for (int x = 2; x < shown.width(); x += 4)
            notRed += shown.pixelColor(x, y) != QColor(Qt::red);
    EXPECT_EQ(notRed, 0);
}

TEST_F(Form2Zoom, PointerFollowsButtonsAndBackgroundButNeverTheHourglass) {
    form->show();
    sendMouse(form->PushButton6, QEvent::MouseMove, {5, 5}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(form->MousePointer(), kPointerCustom);
    sendMouse(form->Picture2, QEvent::MouseMove, {5, 5}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(form->MousePointer(), kPointerCustom); // the viewport leaves it
    sendMouse(form.get(), QEvent::MouseMove, {650, 585}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(form->MousePointer(), kPointerDefault);
    sendMouse(form->PushButton1, QEvent::MouseMove, {5, 5}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(form->MousePointer(), kPointerCustom);
    sendMouse(form->Frame1, QEvent::MouseMove, {3, 3}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(form->MousePointer(), kPointerDefault);

    form->setMousePointer(kPointerHourglass);
    sendMouse(form->PushButton2, QEvent::MouseMove, {5, 5}, Qt::NoButton, Qt::NoButton);
    sendMouse(form.get(), QEvent::MouseMove, {650, 585}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(form->MousePointer(), kPointerHourglass);
    EXPECT_EQ(form->cursor().shape(), Qt::WaitCursor);
}

TEST(Form2Load, HandCursorFileBecomesTheCustomPointer) {
    if (!QImageWriter::supportedImageFormats().contains("ico"))
        GTEST_SKIP() << "no icon writer to make a cursor file";
    QTemporaryDir folder;
    const QString cursorPath = folder.filePath(QStringLiteral("HAND-M.CUR"));
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::black);
    ASSERT_TRUE(image.save(cursorPath, "ICO"));
    QFile f(cursorPath);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek(2);
    f.write(QByteArray("\x02\x00", 2)); // a cursor's type
    f.close();

    setAppFolderForTesting(folder.path());
    ScriptedDialogs dialogs;
    Form2 withCursor(dialogs);
    setAppFolderForTesting(QString());
    EXPECT_TRUE(withCursor.hasCustomPointer());
    withCursor.setMousePointer(kPointerCustom);
    EXPECT_EQ(withCursor.cursor().shape(), Qt::BitmapCursor);
    EXPECT_TRUE(dialogs.messages.empty());

    Form2 without(dialogs); // the build folder has no cursor file: no report, the arrow
    EXPECT_FALSE(without.hasCustomPointer());
    without.setMousePointer(kPointerCustom);
    EXPECT_EQ(without.cursor().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST(Form2Host, CreatesTheWindowOnceOnFirstTouch) {
    ScriptedDialogs dialogs;
    int made = 0;
    Form2Host host([&] {
        ++made;
        return std::make_unique<Form2>(dialogs);
    });
    EXPECT_FALSE(host.created());
    host.setPicture(svgPicture(10, 10));
    host.setExcelFile(QStringLiteral("x.xls"));
    EXPECT_EQ(made, 1);
    EXPECT_EQ(host.form().mExcelFile, QStringLiteral("x.xls"));
    EXPECT_EQ(int{host.form().mFirstActivate}, -1);
}

} // namespace
} // namespace pq::test
