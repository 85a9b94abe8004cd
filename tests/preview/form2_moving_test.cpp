// Moving about a large chart from the keyboard: pages and edges, finding a text in the chart,
// the word on a zoom press the chart's size refused, and Enter on a focused button.

#include "preview/previewmath.h"
#include "previewfixture.h"
#include "spreadsheet/engine/rangepicture.h"
#include "spreadsheet/engine/xls/xlsfile.h"
#include "support/samplechart.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <algorithm>

namespace pq::test {
namespace {

class Form2Moving : public PreviewTest {
protected:
    // A chart of so many generations with a name in every box, saved where the run leaves
    // its workbook, and handed over with its picture.
    void handOverFilledChart(int columns) {
        engine::WorkbookModel workbook;
        buildSampleChart(workbook, columns);
        engine::SheetModel& sheet = workbook.activeSheet();
        for (int t = 0; t < columns; ++t)
            for (int i = 0; i < sampleBoxCount(columns, t); ++i)
                sheet.setValue(sampleBoxRow(t, i), 2 + t,
                               QStringLiteral("Person %1 of %2").arg(i).arg(t));
        const QString path = dir.filePath(QStringLiteral("qorrow12345678.xls"));
        engine::writeXls(workbook, path);
        handOver(Picture::fromSvg(engine::renderRangeSvg(sheet, *sheet.usedRange())), path);
    }

    void showActive() {
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    }

    // Whether the marked box lies wholly inside the viewport.
    bool markShown() const {
        const QRect mark = form->Picture1->markInBox().toAlignedRect();
        const QRect shown(form->Picture1->mapTo(form->viewportInside(), mark.topLeft()),
                          mark.size());
        return form->Picture1->hasMark() && form->viewportInside()->rect().contains(shown);
    }
};

TEST_F(Form2Moving, PagesAndEdgesMoveByTheViewportAndStopAtTheEnds) {
    handOver(svgPicture(3000, 20000));
    showActive();
    form->PushButton1->setFocus();
    const int step = form->mVStep;
    const int page = pageUnits(form->viewportInside()->height(), step);
    EXPECT_GT(page * step, form->viewportInside()->height() - kPageOverlap - step);
    EXPECT_LE(page * step, form->viewportInside()->height() - kPageOverlap);

    key(Qt::Key_PageDown);
    key(Qt::Key_PageDown);
    EXPECT_EQ(form->VScroll1->value(), 2 * page);
    key(Qt::Key_PageUp);
    EXPECT_EQ(picture1Pos(), QPoint(0, -page * step));
    key(Qt::Key_End);
    EXPECT_EQ(form->VScroll1->value(), form->VScroll1->maximum());
    EXPECT_EQ(form->HScroll1->value(), 0);
    key(Qt::Key_PageDown); // nothing beyond the end
    EXPECT_EQ(form->VScroll1->value(), form->VScroll1->maximum());
    key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(form->HScroll1->value(), form->HScroll1->maximum());
    key(Qt::Key_Home);
    EXPECT_EQ(picture1Pos(), QPoint(-form->mHStep * form->HScroll1->maximum(), 0));
    key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(picture1Pos(), QPoint(0, 0));
    // The bars' own steps stay one unit.
    form->VScroll1->setFocus();
    key(Qt::Key_Down);
    EXPECT_EQ(form->VScroll1->value(), 1);
}

TEST_F(Form2Moving, FindScrollsToEachBoxThatHoldsTheTextAndMarksIt) {
    handOverFilledChart(9);
    showActive();
    key(Qt::Key_F, Qt::ControlModifier);
    ASSERT_TRUE(form->FindField->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), form->FindField);
    QTest::keyClicks(form->FindField, QStringLiteral("person 100 of"));
    // The first in reading order lies far down the chart, out of the first view.
    EXPECT_TRUE(markShown());
    EXPECT_LT(picture1Pos().y(), -1000);
    EXPECT_EQ(form->StatusLine->text(), QStringLiteral("1 of 2: Person 100 of 0"));

    key(Qt::Key_Return);
    EXPECT_TRUE(markShown());
    EXPECT_EQ(form->StatusLine->text(), QStringLiteral("2 of 2: Person 100 of 1"));
    key(Qt::Key_F3);
    EXPECT_TRUE(form->StatusLine->text().startsWith(QStringLiteral("1 of 2")));
    key(Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_TRUE(form->StatusLine->text().startsWith(QStringLiteral("2 of 2")));
    // Home and End stay the field's own there.
    const QPoint before = picture1Pos();
    key(Qt::Key_Home);
    EXPECT_EQ(form->FindField->cursorPosition(), 0);
    EXPECT_EQ(picture1Pos(), before);

    QTest::keyClicks(form->FindField, QStringLiteral("x"));
    EXPECT_FALSE(form->Picture1->hasMark());
    EXPECT_TRUE(form->StatusLine->text().startsWith(QStringLiteral("No box holds")));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Form2Moving, EscapeInTheFindFieldClosesItOnlyAndElsewhereGoesBack) {
    handOverFilledChart(3);
    showActive();
    key(Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(form->FindField, QStringLiteral("generations"));
    EXPECT_TRUE(form->Picture1->hasMark());
    key(Qt::Key_Escape);
    EXPECT_FALSE(form->FindField->isVisible());
    EXPECT_FALSE(form->Picture1->hasMark());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form1Shown, 0);
    key(Qt::Key_Escape);
    EXPECT_EQ(form1Shown, 1);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(Form2Moving, FindInAWorkbookThatCannotBeReadSaysSo) {
    handOver(svgPicture(300, 200), dir.filePath(QStringLiteral("gone.xls")));
    showActive();
    key(Qt::Key_F, Qt::ControlModifier);
    QTest::keyClicks(form->FindField, QStringLiteral("a"));
    EXPECT_TRUE(form->StatusLine->text().contains(QStringLiteral("cannot be read")));
    EXPECT_FALSE(form->Picture1->hasMark());
}

TEST_F(Form2Moving, ZoomPressRefusedForTheChartsSizeSaysSoAndRangeEndsStaySilent) {
    handOver(svgPicture(1000, 12000)); // too tall to draw at 1.0 and at 0.75
    form->PushButton1->click();
    EXPECT_EQ(form->StatusLine->text(), kZoomInRefused);
    form->PushButton2->click();
    EXPECT_EQ(form->StatusLine->text(), kZoomOutRefused);
    for (const QString& text : {kZoomInRefused, kZoomOutRefused}) // the factor stays unseen
        EXPECT_FALSE(std::any_of(text.begin(), text.end(),
                                 [](QChar c) { return c.isDigit() || c == QLatin1Char('%'); }));
    form->PushButton2->click(); // 0.5 fits
    EXPECT_TRUE(form->StatusLine->text().isEmpty());
    form->PushButton2->click();
    form->PushButton2->click(); // past 0.25: nothing to say
    EXPECT_EQ(form->mZoom, 0.25f);
    EXPECT_TRUE(form->StatusLine->text().isEmpty());
    // A new chart starts without a word.
    form->PushButton1->click();
    handOver(svgPicture(1000, 12000));
    form->PushButton1->click();
    handOver(svgPicture(300, 200));
    EXPECT_TRUE(form->StatusLine->text().isEmpty());
}

TEST_F(Form2Moving, EnterOnAFocusedButtonPressesIt) {
    handOver(svgPicture(300, 200));
    showActive();
    form->PushButton1->setFocus();
    key(Qt::Key_Return);
    EXPECT_EQ(form->mZoom, 1.25f);
    key(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(form->mZoom, 1.5f);
    form->PushButton2->setFocus();
    key(Qt::Key_Return, Qt::ControlModifier); // not Enter alone: nothing
    EXPECT_EQ(form->mZoom, 1.5f);
    form->PushButton8->setFocus();
    key(Qt::Key_Return);
    EXPECT_EQ(form1Shown, 1);
}

} // namespace
} // namespace pq::test
