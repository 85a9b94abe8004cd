// Moving the picture: scroll bars fitted at set-up, their change handlers, dragging and the
// drop onto the scroll bars' grid.

#include "previewfixture.h"
#include "spreadsheet/engine/rangepicture.h"
#include "support/samplechart.h"

#include <QApplication>
#include <QPaintEvent>
#include <QScrollBar>
#include <QStyleOptionSlider>

namespace pq::test {
namespace {

// The picture's outer size is its size plus Picture1's frame of 1 pixel each side.
Picture pictureWithOuter(int outerWidth, int outerHeight) {
    return svgPicture(outerWidth - 2, outerHeight - 2);
}

using Form2Scroll = PreviewTest;

TEST_F(Form2Scroll, BarsFitTheOverhangAndPlaceThePictureOnTheirGrid) {
    handOver(pictureWithOuter(622 + 50, 495 + 1000));
    EXPECT_TRUE(form->HScroll1->isEnabled());
    EXPECT_EQ(form->HScroll1->maximum(), 50);
    EXPECT_EQ(int{form->mHStep}, 1);
    EXPECT_EQ(form->VScroll1->maximum(), 100);
    EXPECT_EQ(int{form->mVStep}, 10);

    form->HScroll1->setValue(50);
    form->VScroll1->setValue(37);
    EXPECT_EQ(picture1Pos(), QPoint(-50, -370));

    // A zoom puts the picture back at the corner with both bars at 0.
    form->PushButton2->click();
    EXPECT_EQ(picture1Pos(), QPoint(0, 0));
    EXPECT_EQ(form->HScroll1->value(), 0);
    EXPECT_FALSE(form->HScroll1->isEnabled()); // 0.75 of 670 fits
    EXPECT_EQ(int{form->mHStep}, 0);
}

TEST_F(Form2Scroll, OddTenthsRoundToTheEvenMaximum) {
    handOver(pictureWithOuter(622 + 1005, 495 + 1015));
    EXPECT_EQ(form->HScroll1->maximum(), 100);
    EXPECT_EQ(form->VScroll1->maximum(), 102);
}

TEST_F(Form2Scroll, PictureAsWideAsTheViewportDisablesItsBar) {
    handOver(pictureWithOuter(622, 495));
    EXPECT_FALSE(form->HScroll1->isEnabled());
    EXPECT_FALSE(form->VScroll1->isEnabled());
    EXPECT_EQ(int{form->mVStep}, 0);
    // A disabled bar keeps its value but shows no thumb anywhere along it.
    for (QScrollBar* bar : {form->HScroll1, form->VScroll1}) {
        const QImage atStart = bar->grab().toImage();
        bar->setValue(bar->maximum());
        EXPECT_EQ(bar->grab().toImage(), atStart);
    }
}

// The pixels a widget is asked to paint.
struct PaintedArea : QObject {
    qint64 pixels = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            for (const QRect& r : static_cast<QPaintEvent*>(event)->region())
                pixels += qint64(r.width()) * r.height();
        return false;
    }
};

TEST_F(Form2Scroll, AStepRepaintsOnlyWhatComesIntoView) {
    // Nothing over the viewport, a focus mark included, keeps Qt from shifting the pixels.
    handOver(pictureWithOuter(622 + 50, 495 + 1000));
    form->show();
    QApplication::setActiveWindow(form.get());
    form->setAttribute(Qt::WA_KeyboardFocusChange);
    for (QWidget* focused : std::initializer_list<QWidget*>{form->PushButton1, form->Picture2}) {
        focused->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        PaintedArea painted;
        form->Picture1->installEventFilter(&painted);
        form->VScroll1->setValue(form->VScroll1->value() + 1);
        QApplication::processEvents();
        form->Picture1->removeEventFilter(&painted);
        EXPECT_EQ(painted.pixels, 618 * 10); // the strip of one step, as wide as the inside
    }
}

TEST_F(Form2Scroll, PictureTallerThanSixteenBitsOfTenPixelsStaysReachable) {
    const int overhang = 650000 - 495;
    handOver(pictureWithOuter(300, 650000)); // over the ceiling: shown as it arrived
    EXPECT_TRUE(dialogs.errorReports().empty());
    ASSERT_TRUE(form->VScroll1->isEnabled());
    form->VScroll1->setValue(form->VScroll1->maximum());
    EXPECT_LE(picture1Pos().y(), -overhang);
    EXPECT_GT(picture1Pos().y(), -overhang - int{form->mVStep});
}

TEST_F(Form2Scroll, OnePastTheTenPixelLimitStillFits) {
    handOver(pictureWithOuter(300, 495 + 327671));
    EXPECT_TRUE(dialogs.errorReports().empty());
    EXPECT_EQ(form->VScroll1->maximum(), 32767);
    EXPECT_EQ(int{form->mVStep}, 10);
}

class Form2Drag : public PreviewTest {
protected:
    void drag(QPointF from, QPointF to, Qt::MouseButton button = Qt::LeftButton) {
        sendMouse(form->Picture1, QEvent::MouseButtonPress, from, button, button);
        sendMouse(form->Picture1, QEvent::MouseMove, to, Qt::NoButton, button);
    }
    void release(QPointF at, Qt::MouseButton button = Qt::LeftButton) {
        sendMouse(form->Picture1, QEvent::MouseButtonRelease, at, button, Qt::NoButton);
    }
};

TEST_F(Form2Drag, KeepsTheGrabbedPointUnderThePointer) {
    handOver(pictureWithOuter(622 + 1000, 495 + 1000));
    drag({300, 300}, {260, 210});
    EXPECT_EQ(picture1Pos(), QPoint(-40, -90));
    // The position is relative to the moved picture: the same point again moves no further.
    sendMouse(form->Picture1, QEvent::MouseMove, {300, 300}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(picture1Pos(), QPoint(-40, -90));
}

TEST_F(Form2Drag, ClampsAtBothEdgesWithoutAGap) {
    handOver(pictureWithOuter(622 + 1000, 495 + 1000));
    const QWidget* inside = form->viewportInside();
    drag({10, 10}, {5000, 5000}); // towards the top left: no gap opens
    EXPECT_EQ(picture1Pos(), QPoint(0, 0));
    drag({10, 10}, {-5000, -5000});
    EXPECT_EQ(picture1Pos(), QPoint(inside->width() - 1622, inside->height() - 1495));
    // The inside is smaller than the viewport: the far edge lies a few pixels past -1000.
    EXPECT_LT(picture1Pos().x(), -1000);
}

TEST_F(Form2Drag, AnyButtonDragsAndNoButtonDoesNothing) {
    handOver(pictureWithOuter(1622, 1495));
    drag({100, 100}, {90, 100}, Qt::RightButton);
    EXPECT_EQ(picture1Pos(), QPoint(-10, 0));
    release({90, 100}, Qt::RightButton);
    drag({100, 100}, {100, 80}, Qt::MiddleButton);
    EXPECT_EQ(picture1Pos().y(), -20);
    const QPoint before = picture1Pos();
    form->Picture1_MouseMove(0, 0, 0.0f, 0.0f);
    EXPECT_EQ(picture1Pos(), before);
}

TEST_F(Form2Drag, ReleaseSnapsToTheGridOnlyWithinAPixel) {
    handOver(pictureWithOuter(622 + 1000, 495 + 1000));
    drag({400, 400}, {30, 400}); // left at -370: 37 percent, on the grid
    release({30, 400});
    EXPECT_EQ(form->HScroll1->value(), 37);
    EXPECT_EQ(picture1Pos().x(), -370);
    // 37.3 percent: the whole percent would move the picture 3 pixels, so it stays put and the
    // bar takes the nearest value.
    drag({400, 400}, {397, 400});
    release({397, 400});
    EXPECT_EQ(form->HScroll1->value(), 37);
    EXPECT_EQ(picture1Pos().x(), -373);
    form->HScroll1->setValue(36);
    EXPECT_EQ(picture1Pos().x(), -363);
    // At the bar's end the picture meets the grid again, and the steps back keep to it.
    form->HScroll1->setValue(0);
    EXPECT_EQ(picture1Pos().x(), 0);
    form->HScroll1->setValue(1);
    EXPECT_EQ(picture1Pos().x(), -10);
}

TEST_F(Form2Drag, ReleasePastTheFarEndTakesTheBarToItsEnd) {
    // 5 pixels wider than the viewport's outside; the inside lets it go 9 pixels.
    handOver(pictureWithOuter(622 + 5, 495));
    EXPECT_EQ(form->HScroll1->maximum(), 5);
    drag({50, 50}, {0, 50});
    const int dropped = picture1Pos().x();
    EXPECT_LT(dropped, -5);
    release({0, 50});
    // The picture stays; the bar says it is at the end, so a step back moves it back.
    EXPECT_EQ(form->HScroll1->value(), 5);
    EXPECT_EQ(picture1Pos().x(), dropped);
    form->HScroll1->setValue(4);
    EXPECT_EQ(picture1Pos().x(), dropped + 1);
}

// The picture of a chart of so many generation columns, as the run hands it over.
Picture chartPicture(int columns) {
    engine::WorkbookModel workbook;
    buildSampleChart(workbook, columns);
    const engine::SheetModel& sheet = workbook.activeSheet();
    return Picture::fromSvg(engine::renderRangeSvg(sheet, *sheet.usedRange()));
}

// Clicks a scroll bar's arrow: towards the end (add) or the start.
void clickArrow(QScrollBar* bar, bool add) {
    struct Options : QScrollBar {
        static QStyleOptionSlider of(QScrollBar* b) {
            QStyleOptionSlider option;
            static_cast<Options*>(b)->initStyleOption(&option);
            return option;
        }
    };
    const QStyleOptionSlider option = Options::of(bar);
    const QPoint at =
        bar->style()
            ->subControlRect(QStyle::CC_ScrollBar, &option,
                             add ? QStyle::SC_ScrollBarAddLine : QStyle::SC_ScrollBarSubLine, bar)
            .center();
    sendMouse(bar, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    sendMouse(bar, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

TEST_F(Form2Drag, ChartsOfEverySizeStayWhereDroppedAndStepOnFromThere) {
    for (int columns : {5, 10, 12, 15}) {
        SCOPED_TRACE(testing::Message() << columns << " generations");
        handOver(chartPicture(columns));
        for (QScrollBar* bar : {form->HScroll1, form->VScroll1}) {
            ASSERT_TRUE(bar->isEnabled());
            bar->setValue(bar->maximum() / 2);
        }
        drag({300, 300}, {263, 277});
        const QPoint dropped = picture1Pos();
        release({263, 277});
        EXPECT_LE(std::abs(picture1Pos().x() - dropped.x()), 1);
        EXPECT_LE(std::abs(picture1Pos().y() - dropped.y()), 1);
        const QPoint released = picture1Pos();
        clickArrow(form->VScroll1, true);
        EXPECT_EQ(picture1Pos(), released - QPoint(0, form->mVStep));
        clickArrow(form->HScroll1, false);
        EXPECT_EQ(picture1Pos(), released + QPoint(form->mHStep, -form->mVStep));
    }
    // Dropped a few pixels from the top, the picture reaches the top with the first step up.
    form->VScroll1->setValue(0);
    drag({300, 300}, {300, 296});
    release({300, 296});
    EXPECT_EQ(picture1Pos().y(), -4);
    clickArrow(form->VScroll1, false);
    EXPECT_EQ(picture1Pos().y(), 0);
}

TEST_F(Form2Drag, NarrowPictureDoesNotMove) {
    handOver(pictureWithOuter(300, 200));
    drag({50, 50}, {0, 0});
    EXPECT_EQ(picture1Pos(), QPoint(0, 0));
    drag({50, 50}, {150, 150});
    EXPECT_EQ(picture1Pos(), QPoint(0, 0));
    release({150, 150});
    EXPECT_EQ(picture1Pos(), QPoint(0, 0));
    EXPECT_TRUE(dialogs.messages.empty());
}

} // namespace
} // namespace pq::test
