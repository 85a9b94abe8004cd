#include "base/safefile.h"
#include "generation/generationrun.h"
#include "generation/previewhandoff.h"
#include "generation/tempfiles.h"
#include "mainwindow/services/pointer.h"
#include "spreadsheet/engine/engineapp.h"
#include "spreadsheet/engine/xls/xlsfile.h"
#include "support/fakeapplication.h"
#include "support/fakewindow.h"
#include "support/faultydisk.h"
#include "support/scripteddialogs.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace pq {
namespace {

using test::ScriptedDialogs;

using test::FakeWindow;

class GenerationRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        previousTemp = qgetenv("TEMP");
        qputenv("TEMP", temp.path().toUtf8());
    }
    void TearDown() override {
        qputenv("TEMP", previousTemp);
        xl::setRunningInstanceProvider({});
    }
    QStringList tempFiles() const {
        return QDir(temp.path()).entryList(QDir::Files | QDir::Hidden);
    }

    QTemporaryDir temp;
    QByteArray previousTemp;
    FakeWindow window;
    GenerationRun run{window};
};

TEST_F(GenerationRunTest, CompleteRunHandsOverWorkbookAndPicture) {
    run.PushButton1_Click();
    EXPECT_TRUE(window.dialogService.messages.empty())
        << window.dialogService.texts().join("|").toStdString();
    EXPECT_EQ(
        window.previewWindow.calls,
        (QStringList{QStringLiteral("picture"), QStringLiteral("file"), QStringLiteral("show")}));
    EXPECT_TRUE(window.hidden);
    EXPECT_EQ(run.mBusy.value(), 0);
    EXPECT_FALSE(window.previewWindow.picture.isNull());

    const QString workbook = window.previewWindow.excelFile;
    const QFileInfo info(workbook);
    EXPECT_EQ(QDir::cleanPath(info.absolutePath()), QDir::cleanPath(temp.path()));
    EXPECT_TRUE(
        info.fileName().contains(QRegularExpression(QStringLiteral("^qorrow[1-9]{8}\\.xls$"))));
    // Only the workbook is left: the picture file is gone and no engine instance runs.
    EXPECT_EQ(tempFiles(), QStringList{info.fileName()});
    EXPECT_EQ(xl::liveInstanceCount(), 0);
    auto model = engine::readXls(workbook);
    EXPECT_EQ(model->activeSheet().usedRange(), (engine::CellRect{2, 2, 35, 6}));
    EXPECT_EQ(window.pointers.first(), kPointerHourglass);
    EXPECT_EQ(window.pointers.last(), kPointerDefault);
}

TEST_F(GenerationRunTest, NonNumericGenerationsShowTheMessageAndBuildNothing) {
    for (const char* text : {"abc", "", "   "}) {
        FakeWindow w;
        w.generations = QString::fromLatin1(text);
        GenerationRun r(w);
        r.PushButton1_Click();
        ASSERT_EQ(w.dialogService.messages.size(), 1u) << text;
        const auto& m = w.dialogService.messages[0];
        EXPECT_EQ(m.text, QStringLiteral("Number of generations must be a numeric value."));
        EXPECT_EQ(m.caption, QStringLiteral("Pedigrafa Quorvell Sheet Builder Kit"));
        EXPECT_EQ(m.icon, MsgIcon::None);
        EXPECT_EQ(w.focusCount, 1);
        EXPECT_TRUE(w.previewWindow.calls.isEmpty());
        EXPECT_TRUE(w.pointers.isEmpty());
        EXPECT_EQ(r.mBusy.value(), 0);
    }
    EXPECT_TRUE(tempFiles().isEmpty());
}

TEST_F(GenerationRunTest, ChartsLargerThanASheetAreRefusedBeforeAnythingStarts) {
    for (const char* text : {"16", "16.5", "1e9", "99999999999999999999"}) {
        FakeWindow w;
        w.generations = QString::fromLatin1(text);
        GenerationRun r(w);
        r.PushButton1_Click();
        ASSERT_EQ(w.dialogService.messages.size(), 1u) << text;
        EXPECT_TRUE(
            w.dialogService.messages[0].text.contains(QStringLiteral("at most 15 generations")));
        EXPECT_EQ(w.focusCount, 1);
        EXPECT_TRUE(w.previewWindow.calls.isEmpty());
        EXPECT_EQ(r.mBusy.value(), 0);
    }
    EXPECT_TRUE(tempFiles().isEmpty());
}

TEST_F(GenerationRunTest, DecliningTheRunningInstanceWarningStartsNothing) {
    xl::setRunningInstanceProvider([] { return engine::createEngineApplication(); });
    window.dialogService.answers.push_back(MsgResult::No);
    run.PushButton1_Click();
    ASSERT_EQ(window.dialogService.messages.size(), 1u);
    const auto& m = window.dialogService.messages[0];
    EXPECT_EQ(m.buttons, MsgButtons::YesNo);
    EXPECT_EQ(m.text,
              QStringLiteral("Excel may be open. It is recommended that you close Excel first.\r"
                             "Use Ctrl+Alt+Del > Task Manager > EXCEL.EXE if necessary.\r\n\r\n"
                             "Would you like to proceed anyway?"));
    EXPECT_TRUE(window.pointers.isEmpty());
    EXPECT_TRUE(tempFiles().isEmpty());
    EXPECT_EQ(run.mBusy.value(), 0);
}

TEST_F(GenerationRunTest, SecondPressDuringARunDoesNothing) {
    int nestedReports = -1;
    // The warning's modal loop is where a second press can arrive.
    xl::setRunningInstanceProvider([] { return engine::createEngineApplication(); });
    window.dialogService.onMessage = [&](const test::RecordedMessage&) {
        const auto before = window.dialogService.messages.size();
        run.PushButton1_Click();
        nestedReports = static_cast<int>(window.dialogService.messages.size() - before);
    };
    window.dialogService.answers.push_back(MsgResult::No);
    run.PushButton1_Click();
    EXPECT_EQ(nestedReports, 0);
    EXPECT_EQ(run.mBusy.value(), 0);
}

TEST_F(GenerationRunTest, CreationFailureReportsEachLaterStepAndStillEndsIdle) {
    xl::setApplicationFactory([]() -> xl::Ref<xl::Application> {
        throw Failure(QStringLiteral("ActiveX component can't create object"));
    });
    window.generations = QStringLiteral("2");
    run.PushButton1_Click();
    xl::setApplicationFactory({});
    const auto reports = window.dialogService.errorReports();
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(reports.front().text.contains(QStringLiteral("PushButton1_Click at line 110\r")));
    QStringList labels;
    for (const auto& r : reports)
        labels << r.text.section(QStringLiteral("at line "), 1).section(QLatin1Char('\r'), 0, 0);
    for (const char* label : {"112", "114", "116", "138", "170", "184", "214", "224", "240"})
        EXPECT_TRUE(labels.contains(QLatin1String(label))) << label;
    EXPECT_EQ(run.mBusy.value(), 0);
    EXPECT_EQ(xl::liveInstanceCount(), 0);
}

TEST_F(GenerationRunTest, TemporaryFolderWhereNothingCanBeCreatedEndsTheRunWithReports) {
    qputenv("TEMP", temp.filePath(QStringLiteral("missing/folder")).toUtf8());
    window.generations = QStringLiteral("2");
    run.PushButton1_Click();
    QStringList labels;
    for (const auto& r : window.dialogService.errorReports())
        labels << r.text.section(QStringLiteral("at line "), 1).section(QLatin1Char('\r'), 0, 0);
    EXPECT_TRUE(labels.contains(QStringLiteral("214")));
    EXPECT_EQ(run.mBusy.value(), 0);
    EXPECT_EQ(xl::liveInstanceCount(), 0);
}

TEST_F(GenerationRunTest, AFailedSaveIsReportedFirstAndLeavesNoWorkbook) {
    {
        test::FileSizeLimit fullDisk(1000);
        run.PushButton1_Click();
    }
    const auto reports = window.dialogService.errorReports();
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(reports.front().text.contains(QStringLiteral(": File too large\r\n")));
    EXPECT_TRUE(reports.front().text.contains(QStringLiteral("at line 214\r")));
    // The claimed name is free again: later steps find no workbook, as if none was created.
    EXPECT_TRUE(reports[1].text.contains(QStringLiteral("at line 224\r")));
    EXPECT_TRUE(tempFiles().isEmpty()) << tempFiles().join(' ').toStdString();
}

TEST_F(GenerationRunTest, NoFreeNameFailsAtTheSaveWithoutTouchingTheTakenFile) {
    const QString taken = temp.filePath(QStringLiteral("qorrow11111111.xls"));
    writeFileSafely(taken, "someone's file");
    run.setDigitSource([] { return 1; });
    run.PushButton1_Click();
    const auto reports = window.dialogService.errorReports();
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(reports.front().text.startsWith(
        QStringLiteral("cannot write a temporary workbook in %1: ").arg(temporaryFolder())));
    EXPECT_TRUE(reports.front().text.contains(QStringLiteral("at line 214\r")));
    EXPECT_EQ(test::readAll(taken), QByteArray("someone's file"));
    // Not handed to the preview either, which would delete it.
    EXPECT_TRUE(window.previewWindow.excelFile.isEmpty());
    EXPECT_EQ(tempFiles().size(), 1);
}

TEST(TempFiles, NamesUseOnlyDigitsOneToNine) {
    int next = 0;
    const QString name = drawWorkbookBaseName([&] { return 1 + (next++ % 9); });
    EXPECT_EQ(name, QStringLiteral("qorrow12345678"));
}

TEST(TempFiles, UnsetOrEmptyTempFallsBackToThePlatformFolder) {
    const QByteArray saved = qgetenv("TEMP");
    qputenv("TEMP", "");
    EXPECT_EQ(temporaryFolder(), QDir::toNativeSeparators(QDir::cleanPath(QDir::tempPath())));
    qunsetenv("TEMP");
    EXPECT_EQ(temporaryFolder(), QDir::toNativeSeparators(QDir::cleanPath(QDir::tempPath())));
    qputenv("TEMP", saved);
}

TEST(TempFiles, ClaimingIsExclusive) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("qorrow11111111.xls"));
    EXPECT_TRUE(claimFile(path));
    EXPECT_FALSE(claimFile(path));
    EXPECT_NE(uniquePicturePath(), uniquePicturePath());
}

} // namespace
} // namespace pq
