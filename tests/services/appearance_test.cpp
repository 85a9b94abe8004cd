#include "base/failure.h"
#include "mainwindow/form1.h"
#include "mainwindow/services/appearance.h"
#include "mainwindow/services/dialogs.h"
#include "mainwindow/services/errorreport.h"
#include "mainwindow/services/qtdialogs.h"
#include "mainwindow/services/settingsstore.h"
#include "mainwindow/website.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QTemporaryDir>
#include <QTextBoundaryFinder>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

namespace pq {
namespace {

TEST(AppTitle, DropsTheLastWordAtLeastOnce) {
    EXPECT_EQ(appTitleFor(kProductTitle), QStringLiteral("Pedigrafa Quorvell Sheet Builder Kit"));
    EXPECT_EQ(appTitleFor(QStringLiteral("Family Chart Maker1")), QStringLiteral("Family Chart"));
    const QString sixty = QStringLiteral(
        "Alpha Bravo Charlie Delta Echo Foxtrot Golf Hotel India Juli"); // 60 characters
    ASSERT_EQ(sixty.size(), 60);
    const QString t = appTitleFor(sixty);
    EXPECT_LE(t.size(), 40);
    EXPECT_EQ(t, QStringLiteral("Alpha Bravo Charlie Delta Echo Foxtrot"));
    // Exactly 40 characters after the first drop stay; 41 lose another word.
    const QString forty = QStringLiteral("Alpha Bravo Charlie Delta Echo Foxtrot X");
    ASSERT_EQ(forty.size(), 40);
    EXPECT_EQ(appTitleFor(forty + QStringLiteral(" Maker")), forty);
    EXPECT_EQ(appTitleFor(forty + QStringLiteral("Y Maker")),
              QStringLiteral("Alpha Bravo Charlie Delta Echo Foxtrot"));
    SetAppTitle();
    EXPECT_EQ(AppTitle(), QStringLiteral("Pedigrafa Quorvell Sheet Builder Kit"));
}

TEST(FileExistsTest, OnlyExistingFilesCount) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("a.xls"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(FileExists(QString()));
    EXPECT_FALSE(FileExists(dir.filePath(QStringLiteral("missing.xls"))));
    EXPECT_FALSE(FileExists(dir.path()));
}

TEST(Dialogs, TextIsLaidOutAtCrAndCrLf) {
    EXPECT_EQ(displayText(QStringLiteral("a\r\nb\r\rc")), QStringLiteral("a\nb\n\nc"));
    EXPECT_EQ(qtNameFilter(QStringLiteral("Excel Files (*.xls)|*.xls|")),
              QStringLiteral("Excel Files (*.xls)"));
    EXPECT_EQ(qtNameFilter(QStringLiteral("Workbooks|*.xls;*.xlt|All|*.*")),
              QStringLiteral("Workbooks (*.xls *.xlt);;All (*.*)"));
}

TEST(Dialogs, MessageBoxesKeepAddressesOnOneLineAndCopyThemPlain) {
    const std::pair<QString, QString> messages[] = {
        {kHelpText + kContactPageAddress, kContactPageAddress},
        {errorReportText(QStringLiteral("Overflow"), loc::kForm2PushButton6Click, 130),
         kSupportAddress}};
    for (const auto& [text, address] : messages) {
        QString shown;
        QString copied;
        QTimer::singleShot(0, [&] {
            QWidget* box = QApplication::activeModalWidget();
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            shown = label->text();
            label->setSelection(0, int(shown.size()));
            QKeyEvent copy(QEvent::KeyPress, Qt::Key_C, Qt::ControlModifier);
            QCoreApplication::sendEvent(label, &copy);
            copied = QGuiApplication::clipboard()->text();
            box->close();
        });
        QtDialogService dialogs;
        MsgBox(dialogs, text);
        // The pieces between the places where a line may break: one holds the whole address.
        QStringList pieces;
        QTextBoundaryFinder lines(QTextBoundaryFinder::Line, shown);
        for (qsizetype start = 0; lines.toNextBoundary() != -1; start = lines.position())
            pieces << shown.mid(start, lines.position() - start).remove(QChar(kWordJoiner));
        EXPECT_GT(pieces.filter(address).size(), 0) << qPrintable(pieces.join('|'));
        EXPECT_GT(pieces.size(), 5);
        EXPECT_EQ(copied, displayText(text));
    }
}

TEST(SettingsStoreTest, RoundTripAbsentEmptyAndText) {
    QTemporaryDir dir;
    const QString ini = dir.filePath(QStringLiteral("settings.ini"));
    {
        SettingsStore store(ini);
        EXPECT_EQ(store.GetSetting(kSettingsApplication, kProductTitle, QStringLiteral("Text1"),
                                   QStringLiteral("Tamsin Orrow")),
                  QStringLiteral("Tamsin Orrow"));
        store.SaveSetting(kSettingsApplication, kProductTitle, QStringLiteral("Text1"), QString());
        store.SaveSetting(kSettingsApplication, kProductTitle, QStringLiteral("Text2"),
                          QStringLiteral("abc"));
    }
    SettingsStore reopened(ini); // each write is persistent when it returns
    EXPECT_EQ(reopened.GetSetting(kSettingsApplication, kProductTitle, QStringLiteral("Text1"),
                                  QStringLiteral("Tamsin Orrow")),
              QString());
    EXPECT_EQ(reopened.GetSetting(kSettingsApplication, kProductTitle, QStringLiteral("Text2"),
                                  QStringLiteral("5")),
              QStringLiteral("abc"));
}

TEST(SettingsStoreTest, UnwritableStoreFailsLoudly) {
    QTemporaryDir dir;
    // A folder where the file should be: the write cannot persist.
    const QString ini = dir.filePath(QStringLiteral("settings.ini"));
    ASSERT_TRUE(QDir().mkpath(ini));
    SettingsStore store(ini);
    EXPECT_THROW(store.SaveSetting(kSettingsApplication, kProductTitle, QStringLiteral("Text1"),
                                   QStringLiteral("x")),
                 Failure);
}

class SkinTest : public ::testing::Test {
protected:
    void SetUp() override { setAppFolderForTesting(dir.path()); }
    void TearDown() override { setAppFolderForTesting(QString()); }
    QTemporaryDir dir;
};

TEST_F(SkinTest, WithoutSkinFileNothingChanges) {
    QWidget form;
    SkinFramework skin;
    ApplySkin(&form, skin);
    EXPECT_EQ(skin.appliedTo(), nullptr);
    EXPECT_FALSE(form.autoFillBackground());
}

TEST_F(SkinTest, SkinFileIsAppliedAsStyleSheet) {
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("x")));
    QFile f(dir.filePath(QStringLiteral("x/o.cjs")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("QWidget { color: #123456; }");
    f.close();
    QWidget form;
    SkinFramework skin;
    ApplySkin(&form, skin);
    EXPECT_EQ(skin.appliedTo(), &form);
    EXPECT_EQ(form.styleSheet(), QStringLiteral("QWidget { color: #123456; }"));
    EXPECT_EQ(skin.property(1).toInt() & 1, 1);
    EXPECT_TRUE(skin.property(5).toBool());
    EXPECT_TRUE(skin.property(10).toBool());
    EXPECT_EQ(form.palette().color(QPalette::Window), buttonFaceColor());
}

TEST_F(SkinTest, AFolderInPlaceOfTheSkinFileCountsAsMissing) {
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("x/o.cjs")));
    QWidget form;
    SkinFramework skin;
    ApplySkin(&form, skin);
    EXPECT_EQ(skin.appliedTo(), nullptr);
}

} // namespace
} // namespace pq
