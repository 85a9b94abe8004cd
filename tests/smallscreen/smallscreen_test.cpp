// The two windows on a laptop's small screen (1366 x 768 at 125 %: 1093 x 614 logical pixels)
// and on a large screen beside it, both given to the offscreen platform by screens.json: on the
// laptop every control can be reached, by Tab and by the mouse; on the large screen nothing
// changes.

#include "mainwindow/form1.h"
#include "mainwindow/services/appearance.h"
#include "mainwindow/services/pointer.h"
#include "mainwindow/services/pushbutton.h"
#include "mainwindow/services/screenfit.h"
#include "mainwindow/services/settingsstore.h"
#include "preview/form2.h"
#include "support/fakewindow.h"
#include "support/scripteddialogs.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace pq::test {
namespace {

TEST(SizeWithinScreen, ScrollBarsTakeRoomOnlyWhereTheContentsOverflow) {
    EXPECT_EQ(sizeWithinScreen({656, 696}, {1200, 900}, 16), QSize(656, 696));
    EXPECT_EQ(sizeWithinScreen({656, 696}, {1093, 590}, 16), QSize(672, 590));
    EXPECT_EQ(sizeWithinScreen({656, 696}, {500, 590}, 16), QSize(500, 590));
    // Too wide only, but the bar below then leaves too little height: both bars.
    EXPECT_EQ(sizeWithinScreen({656, 500}, {600, 510}, 16), QSize(600, 510));
    EXPECT_EQ(sizeWithinScreen({656, 500}, {600, 530}, 16), QSize(600, 516));
}

class SmallScreen : public ::testing::Test {
protected:
    void SetUp() override {
        const QList<QScreen*> screens = QGuiApplication::screens();
        ASSERT_EQ(screens.size(), 2) << "needs QT_QPA_PLATFORM=offscreen:configfile="
                                        "tests/smallscreen/screens.json";
        laptop = screens[0];
        desk = screens[1];
        ASSERT_EQ(laptop->availableGeometry().size(), QSize(1093, 614));
        setAppFolderForTesting(dir.path());
    }
    void TearDown() override { setAppFolderForTesting(QString()); }

    // The window comes up within the screen's area, fixed in size, without a maximize button.
    static void expectWithinScreen(QWidget& window, const QScreen* screen) {
        EXPECT_TRUE(screen->availableGeometry().contains(window.frameGeometry()))
            << window.frameGeometry().x() << "," << window.frameGeometry().y() << " "
            << window.frameGeometry().width() << "x" << window.frameGeometry().height();
        EXPECT_EQ(window.minimumSize(), window.maximumSize());
        EXPECT_FALSE(window.windowFlags() & Qt::WindowMaximizeButtonHint);
    }

    // Tabs from `first` through every control and back; each shows whole in the window when it
    // has the focus (the picture, larger than its viewport, shows in part).
    static void expectTabReachesAll(QWidget& window, QWidget* first, int controls) {
        first->setFocus(Qt::TabFocusReason);
        QSet<QWidget*> reached;
        for (int i = 0; i < controls; ++i) {
            QWidget* w = QApplication::focusWidget();
            ASSERT_NE(w, nullptr);
            reached.insert(w);
            const QRect shown(w->mapTo(&window, QPoint(0, 0)), w->size());
            if (w->width() < window.width() && w->height() < window.height()) {
                EXPECT_TRUE(window.rect().contains(shown)) << w->metaObject()->className();
            }
            QTest::keyClick(w, Qt::Key_Tab);
        }
        EXPECT_EQ(QApplication::focusWidget(), first);
        EXPECT_EQ(reached.size(), controls);
    }

    // Brings a control into view as the user would with the window's scroll bars, then checks
    // that a mouse click at its middle lands on it.
    static void clickWhereShown(QWidget& window, QWidget* control) {
        auto* area = window.findChild<QScrollArea*>();
        ASSERT_NE(area, nullptr);
        area->ensureWidgetVisible(control, 0, 0);
        const QPoint middle = control->mapTo(&window, control->rect().center());
        ASSERT_TRUE(window.rect().contains(middle));
        ASSERT_EQ(window.childAt(middle), control);
        QTest::mouseClick(control, Qt::LeftButton);
    }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    QScreen* laptop = nullptr;
    QScreen* desk = nullptr;
};

TEST_F(SmallScreen, PreviewScrollsItsUnchangedContentsAndKeepsSaveAndBackReachable) {
    Form2 form(dialogs);
    int backs = 0;
    form.setShowForm1([&] { ++backs; });
    form.setEndProcess([] {});
    form.setPicture(
        Picture::fromSvg("<svg xmlns='http://www.w3.org/2000/svg' width='2000' height='3000'/>"));
    form.showPreview();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.Form_Activate();

    expectWithinScreen(form, laptop);
    EXPECT_LT(form.height(), 696);
    EXPECT_EQ(form.Picture2->size(), QSize(622, 495));
    EXPECT_EQ(form.PushButton6->geometry(), QRect(328, 590, 320, 27));
    // Scroll bars, viewport, picture, the four buttons and the print row's three.
    expectTabReachesAll(form, form.HScroll1, 11);

    // A shortcut's focus is brought into view as well.
    form.HScroll1->setFocus();
    QTest::keyClick(&form, Qt::Key_F, Qt::ControlModifier);
    ASSERT_EQ(QApplication::focusWidget(), form.FindField);
    EXPECT_TRUE(form.rect().contains(
        QRect(form.FindField->mapTo(&form, QPoint(0, 0)), form.FindField->size())));

    clickWhereShown(form, form.PushButton6);
    EXPECT_EQ(dialogs.saveRequests.size(), 1u);
    // Over a button the hand, over the window's background (between the two buttons) the
    // arrow again.
    form.setMousePointer(kPointerCustom);
    const QPoint between = form.PushButton6->mapTo(&form, QPoint(-4, 13));
    ASSERT_EQ(form.childAt(between), form.findChild<QScrollArea*>()->widget());
    QTest::mouseMove(&form, between);
    EXPECT_EQ(form.MousePointer(), kPointerDefault);
    clickWhereShown(form, form.PushButton8);
    EXPECT_EQ(backs, 1);
}

TEST_F(SmallScreen, MainWindowWithARowAddedBelowItsFramesKeepsEveryButtonReachable) {
    SettingsStore store(dir.filePath(QStringLiteral("store.ini")));
    FakePreview preview;
    Form1 form(dialogs, store, preview);
    form.setStartRunHook([] {});
    form.setExitHook([] {});
    // A row for a later feature, below the frames, making the window taller than the laptop.
    form.setFixedSize(form.width(), 900);
    auto* added = new PushButton(QStringLiteral("Added row"), &form);
    added->setGeometry(8, 860, 520, 27);
    int addedClicks = 0;
    QObject::connect(added, &QPushButton::clicked, [&] { ++addedClicks; });
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QApplication::setActiveWindow(&form);

    expectWithinScreen(form, laptop);
    EXPECT_EQ(form.Text1->parentWidget(), form.Frame1); // the controls themselves are as before
    EXPECT_EQ(form.Frame2->geometry(), QRect(8, 136, 520, 57));
    // The seed's five, the family-file row's Open (its Close and Warnings wait for a file) and
    // the added row.
    expectTabReachesAll(form, form.Text1, 7);
    clickWhereShown(form, added);
    EXPECT_EQ(addedClicks, 1);
    clickWhereShown(form, form.PushButton7);
    EXPECT_EQ(form.Text2->text(), QString::number(kSampleGenerations));
}

TEST_F(SmallScreen, OnAScreenThatHoldsTheWindowsNothingChanges) {
    Form2 form(dialogs);
    form.setEndProcess([] {});
    form.setScreen(desk);
    form.showPreview();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.screen(), desk);
    EXPECT_EQ(form.size(), QSize(656, 696));
    EXPECT_EQ(form.findChild<QScrollArea*>(), nullptr);
    EXPECT_EQ(form.PushButton6->parentWidget(), &form);

    SettingsStore store(dir.filePath(QStringLiteral("store.ini")));
    FakePreview preview;
    Form1 main(dialogs, store, preview);
    main.setExitHook([] {});
    main.show(); // the laptop holds the main window as it is
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    EXPECT_EQ(main.findChild<QScrollArea*>(), nullptr);
    EXPECT_EQ(main.PushButton1->parentWidget(), &main);
}

} // namespace
} // namespace pq::test
