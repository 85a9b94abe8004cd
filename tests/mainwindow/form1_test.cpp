// The main window: start-up, remembered inputs, focus, pointers, Help, sample data, the web
// site draw, failures during start-up, closing, and the designed layout.

#include "base/failure.h"
#include "cursorfile.h"
#include "generation/previewhandoff.h"
#include "mainwindow/familyfilerow.h"
#include "mainwindow/form1.h"
#include "mainwindow/services/appearance.h"
#include "mainwindow/services/errorreport.h"
#include "mainwindow/services/settingsstore.h"
#include "support/fakewindow.h"
#include "support/scripteddialogs.h"

#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

namespace pq {
namespace {

using NoPreview = test::FakePreview;

class Form1Test : public ::testing::Test {
protected:
    Form1Test() : store(storeFile()) { setAppFolderForTesting(dir.path()); }
    ~Form1Test() override { setAppFolderForTesting(QString()); }

    QString storeFile() const { return dir.filePath(QStringLiteral("store.ini")); }

    // The window with every outside action replaced, loaded as at start-up.
    Form1& load(double draw = 0.5) {
        form = std::make_unique<Form1>(dialogs, store, preview);
        form->setStartRunHook([this] { ++runs; });
        form->setExitHook([this] { ++exits; });
        form->setWebsiteHooks({[draw] { return draw; },
                               [this](const QUrl& url) {
                                   opened.push_back(url);
                                   if (openerFails)
                                       throw Failure(failures::kFileNotFound);
                               }});
        form->Form_Load();
        return *form;
    }

    // The stored value as the settings file holds it now, read afresh.
    std::optional<QString> stored(const QString& key) const {
        QSettings file(storeFile(), QSettings::IniFormat);
        const QString path = kProductTitle + QLatin1Char('/') + key;
        if (!file.contains(path))
            return std::nullopt;
        return file.value(path).toString();
    }

    void showActive() {
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    static void moveOver(QWidget* widget) {
        QMouseEvent move(QEvent::MouseMove, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &move);
    }

    QTemporaryDir dir;
    SettingsStore store;
    test::ScriptedDialogs dialogs;
    NoPreview preview;
    std::unique_ptr<Form1> form;
    int runs = 0;
    int exits = 0;
    std::vector<QUrl> opened;
    bool openerFails = false;
};

// --- Start-up and the settings store ---

TEST_F(Form1Test, FirstStartShowsAndStoresTheDefaults) {
    load();
    EXPECT_EQ(form->Text1->text(), QStringLiteral("Tamsin Orrow"));
    EXPECT_EQ(form->Text2->text(), QStringLiteral("5"));
    EXPECT_EQ(stored(QStringLiteral("Text1")), QStringLiteral("Tamsin Orrow"));
    EXPECT_EQ(stored(QStringLiteral("Text2")), QStringLiteral("5"));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Form1Test, StoredValuesComeBackAsTheyAre) {
    store.SaveSetting(kSettingsApplication, kProductTitle, QStringLiteral("Text1"), QString());
    store.SaveSetting(kSettingsApplication, kProductTitle, QStringLiteral("Text2"),
                      QStringLiteral("abc"));
    load();
    EXPECT_EQ(form->Text1->text(), QString());
    EXPECT_EQ(form->Text2->text(), QStringLiteral("abc"));
    EXPECT_EQ(stored(QStringLiteral("Text1")), QString());
}

TEST_F(Form1Test, StartUpSetsCaptionIconAndApplicationTitle) {
    load();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Pedigrafa Quorvell Sheet Builder Kit Plus"));
    EXPECT_EQ(AppTitle(), QStringLiteral("Pedigrafa Quorvell Sheet Builder Kit"));
    EXPECT_EQ(form->windowIcon().availableSizes().size(), 4);
}

TEST_F(Form1Test, EveryKeystrokeStoresTheWholeText) {
    store.SaveSetting(kSettingsApplication, kProductTitle, QStringLiteral("Text2"), QString());
    load();
    QStringList writes;
    for (const char key : {'1', '2'}) {
        QTest::keyClick(form->Text2, key);
        writes << stored(QStringLiteral("Text2")).value_or(QStringLiteral("<absent>"));
    }
    EXPECT_EQ(writes, (QStringList{QStringLiteral("1"), QStringLiteral("12")}));
}

TEST_F(Form1Test, SampleDataReplacesAndStoresBothValues) {
    load();
    form->Text1->setText(QStringLiteral("Someone Else"));
    form->Text2->setText(QStringLiteral("12"));
    form->PushButton7->click();
    EXPECT_EQ(form->Text1->text(), QStringLiteral("Tamsin Orrow"));
    EXPECT_EQ(form->Text2->text(), QStringLiteral("5"));
    EXPECT_EQ(stored(QStringLiteral("Text1")), QStringLiteral("Tamsin Orrow"));
    EXPECT_EQ(stored(QStringLiteral("Text2")), QStringLiteral("5"));
    EXPECT_TRUE(dialogs.messages.empty());
}

// --- Focus ---

TEST_F(Form1Test, FocusStartsInText1AndTabSelectsAllOfText2) {
    load();
    showActive();
    EXPECT_EQ(QApplication::focusWidget(), form->Text1);
    EXPECT_EQ(form->Text1->selectedText(), QStringLiteral("Tamsin Orrow"));
    QTest::keyClick(form->Text1, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form->Text2);
    EXPECT_EQ(form->Text2->selectedText(), QStringLiteral("5"));
}

TEST_F(Form1Test, FocusByClickOrByTheRunSelectsAll) {
    load();
    showActive();
    QTest::mouseClick(form->Text2, Qt::LeftButton, {}, QPoint(3, 5));
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), form->Text2);
    EXPECT_EQ(form->Text2->selectedText(), QStringLiteral("5"));

    form->Text1->setFocus();
    form->Text2->deselect();
    form->focusText2();
    QCoreApplication::processEvents();
    EXPECT_EQ(form->Text2->selectedText(), QStringLiteral("5"));
}

// --- Mouse pointer ---

TEST_F(Form1Test, PointerIsHandOverButtonsAndArrowElsewhere) {
    test::writeFile(handCursorPath(), test::cursorBytes({32, 32, 6, 2}));
    load();
    ASSERT_TRUE(form->mouseIcon().has_value());
    for (QWidget* button :
         {static_cast<QWidget*>(form->PushButton1), static_cast<QWidget*>(form->PushButton6),
          static_cast<QWidget*>(form->PushButton7)}) {
        moveOver(button);
        EXPECT_EQ(form->mousePointer(), kPointerCustom) << button->objectName().toStdString();
        EXPECT_EQ(form->cursor().shape(), Qt::BitmapCursor);
        EXPECT_EQ(form->cursor().hotSpot(), QPoint(6, 2));
        moveOver(form->Frame1);
        EXPECT_EQ(form->mousePointer(), kPointerDefault);
        EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
    }
    moveOver(form->PushButton1);
    moveOver(form->Frame2);
    EXPECT_EQ(form->mousePointer(), kPointerDefault);
    moveOver(form->PushButton1);
    moveOver(form.get());
    EXPECT_EQ(form->mousePointer(), kPointerDefault);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Form1Test, WithoutHandCursorThePointer99IsTheArrow) {
    load();
    moveOver(form->PushButton6);
    EXPECT_EQ(form->mousePointer(), kPointerCustom);
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(Form1Test, HourglassOfARunIsLeftAlone) {
    load();
    form->setMousePointer(kPointerHourglass);
    for (QWidget* over :
         {static_cast<QWidget*>(form->PushButton1), static_cast<QWidget*>(form->Frame1),
          static_cast<QWidget*>(form->Frame2), static_cast<QWidget*>(form.get()),
          static_cast<QWidget*>(form->PushButton7)}) {
        moveOver(over);
        EXPECT_EQ(form->mousePointer(), kPointerHourglass);
        EXPECT_EQ(form->cursor().shape(), Qt::WaitCursor);
    }
}

// --- Buttons and closing ---

TEST_F(Form1Test, HelpShowsTheContactAddressUnderTheApplicationTitle) {
    load();
    form->PushButton6->click();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const test::RecordedMessage& help = dialogs.messages.front();
    EXPECT_EQ(help.text, QStringLiteral("Questions? Please contact Team Quillmere at "
                                        "https://quillmere.example/contact"));
    EXPECT_EQ(help.caption, QStringLiteral("Pedigrafa Quorvell Sheet Builder Kit"));
    EXPECT_EQ(help.buttons, MsgButtons::Ok);
    EXPECT_EQ(help.icon, MsgIcon::None);
}

TEST_F(Form1Test, StartButtonStartsTheRun) {
    load();
    form->PushButton1->click();
    EXPECT_EQ(runs, 1);
}

TEST_F(Form1Test, ClosingEndsTheProgramWithoutAQuestion) {
    load();
    form->show();
    EXPECT_TRUE(form->close());
    EXPECT_EQ(exits, 1);
    EXPECT_TRUE(dialogs.messages.empty());
}

// --- The web site draw ---

TEST(MaybeOpenWebsiteTest, OnlyDrawSevenOpensTheSite) {
    struct Case {
        double r;
        int opens;
    };
    for (const Case c : {Case{0.06, 1}, Case{0.0699, 1}, Case{0.0599, 0}, Case{0.07, 0},
                         Case{0.0, 0}, Case{0.99999, 0}}) {
        std::vector<QUrl> opened;
        MaybeOpenWebsite({[&] { return c.r; }, [&](const QUrl& url) { opened.push_back(url); }});
        ASSERT_EQ(static_cast<int>(opened.size()), c.opens) << c.r;
        if (c.opens) {
            EXPECT_EQ(opened.front(), QUrl(QStringLiteral("https://quillmere.example/")));
        }
    }
    EXPECT_EQ(websiteDrawNumber(0.0), 1);
    EXPECT_EQ(websiteDrawNumber(0.999999), 100);
}

// --- Failures during start-up ---

TEST_F(Form1Test, BrokenHandCursorIsReportedAndStartUpGoesOn) {
    test::writeFile(handCursorPath(), QByteArray("garbage, not a cursor"));
    load();
    const auto reports = dialogs.errorReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports.front().text,
              errorReportText(QStringLiteral("Invalid picture"), loc::kForm1FormLoad, 108));
    EXPECT_FALSE(form->mouseIcon().has_value());
    EXPECT_EQ(form->Text1->text(), QStringLiteral("Tamsin Orrow"));
    EXPECT_EQ(form->Text2->text(), QStringLiteral("5"));
}

TEST_F(Form1Test, FailingBrowserStartIsReportedUnderLabel110) {
    openerFails = true;
    load(0.06);
    const auto reports = dialogs.errorReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports.front().text.contains(loc::kForm1FormLoad + QStringLiteral("at line 110")));
    EXPECT_EQ(form->Text2->text(), QStringLiteral("5"));
}

// --- The designed window ---

TEST_F(Form1Test, WindowIsFixedWhiteAndHasNoMaximizeButton) {
    load();
    // The designer's 536 x 201, grown by the family-file row.
    EXPECT_EQ(form->minimumSize(), QSize(536, 306));
    EXPECT_EQ(form->maximumSize(), QSize(536, 306));
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(form->Frame1->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(form->Frame2->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(form->SkinFramework1.appliedTo(), nullptr);
}

TEST_F(Form1Test, ControlsSitWhereDesignedWithTheirCaptionsAndFonts) {
    load();
    struct Expected {
        QWidget* widget;
        QWidget* parent;
        QRect geometry;
        double pointSize;
    };
    const std::vector<Expected> table = {
        {form->Text1, form->Frame1, {16, 20, 489, 25}, 9},
        {form->Text2, form->Frame2, {16, 20, 489, 25}, 9},
        {form->PushButton1, form.get(), {8, 8, 520, 27}, 11.25},
        {form->PushButton6, form.get(), {8, 42, 256, 27}, 11.25},
        {form->PushButton7, form.get(), {272, 42, 256, 27}, 11.25},
        {form->Frame1, form.get(), {8, 74, 520, 57}, 9},
        {form->Frame2, form.get(), {8, 136, 520, 57}, 9},
        {form->FamilyRow, form.get(), {8, 198, 520, 100}, 9},
    };
    for (const Expected& e : table) {
        SCOPED_TRACE(e.widget->objectName().toStdString());
        EXPECT_EQ(e.widget->parentWidget(), e.parent);
        EXPECT_EQ(e.widget->geometry(), e.geometry);
        EXPECT_EQ(e.widget->font().family(), QStringLiteral("Arial"));
        EXPECT_DOUBLE_EQ(e.widget->font().pointSizeF(), e.pointSize);
        EXPECT_TRUE(e.widget->font().bold());
    }
    EXPECT_EQ(form->PushButton1->text(), QStringLiteral("Start Creating Template"));
    EXPECT_EQ(form->PushButton6->text(), QStringLiteral("Help"));
    EXPECT_EQ(form->PushButton7->text(), QStringLiteral("Load Sample/Example Data"));
    EXPECT_EQ(form->Frame1->title(), QStringLiteral("Family Tree For"));
    EXPECT_EQ(form->Frame2->title(), QStringLiteral("Number Of Generations (Including Youself)"));
}

TEST_F(Form1Test, TabOrderFollowsTheDesign) {
    load();
    QWidgetList order;
    QWidget* w = form->Text1;
    do {
        if (w->focusPolicy() & Qt::TabFocus)
            order << w;
        w = w->nextInFocusChain();
    } while (w != form->Text1);
    EXPECT_EQ(order, (QWidgetList{form->Text1, form->Text2, form->PushButton1, form->PushButton6,
                                  form->PushButton7, form->FamilyRow->OpenButton,
                                  form->FamilyRow->CloseButton, form->FamilyRow->WarningsButton}));
}

} // namespace
} // namespace pq
