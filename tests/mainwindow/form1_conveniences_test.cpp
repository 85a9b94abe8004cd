// The main window's keys and button hints: Enter in a box starts the run as the button does.

#include "generation/previewhandoff.h"
#include "mainwindow/form1.h"
#include "mainwindow/services/appearance.h"
#include "mainwindow/services/settingsstore.h"
#include "support/fakewindow.h"
#include "support/scripteddialogs.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace pq {
namespace {

using NoPreview = test::FakePreview;

class Form1Conveniences : public ::testing::Test {
protected:
    Form1Conveniences() : store(dir.filePath(QStringLiteral("store.ini"))) {
        setAppFolderForTesting(dir.path());
        form = std::make_unique<Form1>(dialogs, store, preview);
        form->setStartRunHook([this] { ++runs; });
        form->setExitHook([] {});
        form->setWebsiteHooks({[] { return 0.5; }, [](const QUrl&) {}});
        form->Form_Load();
    }
    ~Form1Conveniences() override { setAppFolderForTesting(QString()); }

    QTemporaryDir dir;
    SettingsStore store;
    test::ScriptedDialogs dialogs;
    NoPreview preview;
    std::unique_ptr<Form1> form;
    int runs = 0;
};

TEST_F(Form1Conveniences, EnterInEitherBoxStartsTheRunOnce) {
    QTest::keyClick(form->Text2, Qt::Key_Return);
    EXPECT_EQ(runs, 1);
    QTest::keyClick(form->Text1, Qt::Key_Return);
    EXPECT_EQ(runs, 2);
    QTest::keyClick(form->Text2, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(runs, 3);
    // Enter starts a run and does not change what the boxes hold.
    EXPECT_EQ(form->Text1->text(), kSampleName);
    EXPECT_EQ(form->Text2->text(), QString::number(kSampleGenerations));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Form1Conveniences, OtherKeysInTheBoxesStartNothing) {
    QTest::keyClicks(form->Text2, QStringLiteral("7"));
    QTest::keyClick(form->Text1, Qt::Key_Tab);
    QTest::keyClick(form->Text1, Qt::Key_Escape);
    EXPECT_EQ(runs, 0);
}

TEST_F(Form1Conveniences, EnterOnAFocusedButtonPressesItOnce) {
    form->Text1->setText(QStringLiteral("someone else"));
    QTest::keyClick(form->PushButton7, Qt::Key_Return);
    EXPECT_EQ(form->Text1->text(), kSampleName);
    QTest::keyClick(form->PushButton6, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(dialogs.messages.size(), 1u); // the Help message
    // A held key repeats, but the button is pressed once.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
    QCoreApplication::sendEvent(form->PushButton1, &repeat);
    EXPECT_EQ(runs, 0);
    QTest::keyClick(form->PushButton1, Qt::Key_Return);
    EXPECT_EQ(runs, 1);
}

TEST_F(Form1Conveniences, ButtonsHaveHints) {
    EXPECT_TRUE(form->PushButton1->toolTip().contains(QStringLiteral("(Enter)")));
    EXPECT_FALSE(form->PushButton6->toolTip().isEmpty());
    EXPECT_FALSE(form->PushButton7->toolTip().isEmpty());
}

} // namespace
} // namespace pq
