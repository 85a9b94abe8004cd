#include "spreadsheet/engine/engineapp.h"
#include "spreadsheet/excel1.h"
#include "spreadsheet/snapshot.h"
#include "support/scripteddialogs.h"

#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pq {
namespace {

using test::ScriptedDialogs;

// An application that answers a chosen version text and forwards the rest to the engine.
class VersionedApplication final : public xl::Application {
public:
    explicit VersionedApplication(QString version) : mVersion(std::move(version)) {}
    QString defaultValue() const override { return mInner->defaultValue(); }
    bool visible() const override { return mInner->visible(); }
    void setVisible(bool v) override { mInner->setVisible(v); }
    QString version() const override { return mVersion; }
    xl::Ref<xl::Workbooks> workbooks() override { return mInner->workbooks(); }
    bool displayAlerts() const override { return mInner->displayAlerts(); }
    void setDisplayAlerts(bool v) override { mInner->setDisplayAlerts(v); }
    void quit() override { mInner->quit(); }

private:
    xl::Ref<xl::Application> mInner = engine::createEngineApplication();
    QString mVersion;
};

TEST(SaveFileFormat, VersionTwelveAndLaterWriteTheNewCode) {
    auto format = [](const char* version) {
        return GetSaveFileFormat(xl::Ref<xl::Application>(
            std::make_shared<VersionedApplication>(QLatin1String(version))));
    };
    EXPECT_EQ(format("11.0"), -4143);
    EXPECT_EQ(format("12.0"), 56);
    EXPECT_EQ(format("16.0"), 56);
    EXPECT_EQ(format("11.4"), -4143);
    EXPECT_EQ(format("12,0"), 56); // either separator reads as the locale's
}

TEST(SaveFileFormat, UnreadableVersionFails) {
    EXPECT_THROW(GetSaveFileFormat(xl::Ref<xl::Application>(
                     std::make_shared<VersionedApplication>(QStringLiteral("sixteen")))),
                 Failure);
    EXPECT_THROW(GetSaveFileFormat(xl::Ref<xl::Application>()), Failure);
}

TEST(RunningInstance, NoneRunsWithTheEmbeddedEngine) {
    EXPECT_FALSE(IsExcelRunning());
    ScriptedDialogs dialogs;
    EXPECT_FALSE(WarnIfExcelOpen(dialogs));
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_THROW(xl::GetObject(QString(), xl::kProgId), Failure);
}

TEST(RunningInstance, WarningAnswersDecideWhetherToGoOn) {
    xl::setRunningInstanceProvider([] { return engine::createEngineApplication(); });
    ScriptedDialogs dialogs;
    dialogs.answers = {MsgResult::Yes, MsgResult::No};
    EXPECT_FALSE(WarnIfExcelOpen(dialogs));
    EXPECT_TRUE(WarnIfExcelOpen(dialogs));
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::None);
    EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("Pedigrafa Quorvell Sheet Builder Kit"));
    xl::setRunningInstanceProvider({});
    EXPECT_EQ(xl::liveInstanceCount(), 0);
}

TEST(OpenWorkbook, AFailedOpenLeavesNoInstanceRunning) {
    QTemporaryDir dir;
    QFile junk(dir.filePath(QStringLiteral("junk.xls")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("this is not a workbook");
    junk.close();
    EXPECT_THROW(OpenExcelWorkbook(junk.fileName()), Failure);
    EXPECT_THROW(OpenExcelWorkbook(dir.filePath(QStringLiteral("missing.xls"))), Failure);
    EXPECT_EQ(xl::liveInstanceCount(), 0);
}

TEST(KillFileTest, DeletesQuietlyWhateverHappens) {
    QTemporaryDir dir;
    EXPECT_NO_THROW(KillFile(dir.filePath(QStringLiteral("missing.xls"))));
    EXPECT_NO_THROW(KillFile(QString()));
    EXPECT_NO_THROW(KillFile(dir.path())); // a folder is left alone
    EXPECT_TRUE(QFileInfo::exists(dir.path()));

    const QString readOnly = dir.filePath(QStringLiteral("ro.xls"));
    QFile f(readOnly);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    ASSERT_TRUE(QFile::setPermissions(readOnly, QFileDevice::ReadOwner));
    KillFile(readOnly);
    EXPECT_FALSE(QFile::exists(readOnly));
}

TEST(KillFileTest, ForcedDeleteRemovesAFileWithoutWritePermission) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ro.xls"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadOther));
    ForceDeleteFile(path);
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_THROW(ForceDeleteFile(path), Failure);
}

class SnapshotTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = xl::CreateObject(xl::kProgId);
        book = app->workbooks()->add();
        sheet = book->activeSheet();
    }
    void TearDown() override { app->quit(); }
    QString picturePath() const { return dir.filePath(QStringLiteral("picture.bmp")); }

    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    xl::Ref<xl::Application> app;
    xl::Ref<xl::Workbook> book;
    xl::Ref<xl::Worksheet> sheet;
};

TEST_F(SnapshotTest, UsedRangeEndingInRowOneOrColumnAMakesNoPicture) {
    sheet->cells(1, 5)->setValue(QStringLiteral("row one"));
    saveCellsActivesheet(dialogs, book, picturePath());
    // A second workbook whose used range ends in column A.
    xl::Ref<xl::Workbook> columnA = app->workbooks()->add();
    columnA->activeSheet()->cells(9, 1)->setValue(QStringLiteral("column A"));
    saveCellsActivesheet(dialogs, columnA, picturePath());
    EXPECT_FALSE(QFile::exists(picturePath()));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SnapshotTest, TitleOnlyChartIsPicturedAndLeftOnTheClipboard) {
    sheet->range(QStringLiteral("B2:F2"))->merge();
    sheet->cells(2, 2)->setValue(QStringLiteral("Family Tree for Ada"));
    sheet->range(QStringLiteral("B3:F3"))->merge();
    saveCellsActivesheet(dialogs, book, picturePath());
    EXPECT_TRUE(dialogs.messages.empty());
    const Picture picture = Picture::load(picturePath());
    EXPECT_TRUE(picture.isVector());
    EXPECT_EQ(picture.size().width(), 5 * 64 + 1); // columns B to F at the default width
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat(QStringLiteral("image/svg+xml")));
}

TEST_F(SnapshotTest, UnwritablePathIsReportedAtLabel112) {
    sheet->cells(3, 3)->setValue(QStringLiteral("x"));
    saveCellsActivesheet(dialogs, book, dir.filePath(QStringLiteral("no/such/folder/p.bmp")));
    const auto reports = dialogs.errorReports();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_TRUE(reports[0].text.contains(
        QStringLiteral("in Kinloom2021/08/31.Excel1.saveCellsActivesheet at line 112\r")));
}

TEST_F(SnapshotTest, ReleasedWorkbookReportsEachStepAndReturns) {
    saveCellsActivesheet(dialogs, xl::Ref<xl::Workbook>(), picturePath());
    QStringList labels;
    for (const auto& r : dialogs.errorReports())
        labels << r.text.section(QStringLiteral("at line "), 1).section(QLatin1Char('\r'), 0, 0);
    // Without a sheet the last row and column stay 0, so the test at 106 ends the procedure.
    EXPECT_EQ(labels, (QStringList{"100", "102", "104"}));
}

TEST(ClipboardPicture, EmptyClipboardGivesNothing) {
    QGuiApplication::clipboard()->setMimeData(new QMimeData);
    EXPECT_FALSE(GetClipboardPicture(0).has_value());
    QGuiApplication::clipboard()->setImage(QImage(4, 3, QImage::Format_RGB32));
    const auto picture = GetClipboardPicture(0);
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(picture->size(), QSize(4, 3));
}

} // namespace
} // namespace pq
