#include "base/safefile.h"
#include "gedcom/familyfile.h"
#include "generation/chartfill.h"
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

// Two people named Karl Müller; the first is Zoë's father.
OpenFamilyFile karlsFamily() {
    const char* text = "0 HEAD\n1 GEDC\n2 VERS 5.5.1\n1 CHAR UTF-8\n"
                       "0 @I1@ INDI\n1 NAME Zoë /Müller/\n1 BIRT\n2 DATE 1901\n1 FAMC @F1@\n"
                       "0 @I2@ INDI\n1 NAME Karl /Müller/\n1 DEAT\n2 DATE 1944\n"
                       "0 @I3@ INDI\n1 NAME Anna /Roth/\n"
                       "0 @I9@ INDI\n1 NAME Karl /Müller/\n"
                       "0 @F1@ FAM\n1 HUSB @I2@\n1 WIFE @I3@\n1 CHIL @I1@\n0 TRLR\n";
    return {std::shared_ptr<const gedcom::FamilyFile>(gedcom::readFamilyFile(text)),
            QStringLiteral("family.ged")};
}

QString cellText(const QString& workbook, std::pair<int, int> at) {
    const auto model = engine::readXls(workbook);
    const auto* cell = model->activeSheet().cell(at.first, at.second);
    return cell ? cell->value() : QString();
}

TEST_F(GenerationRunTest, ANameThatIsNotOnePersonNeverMakesAChartUnasked) {
    window.family = karlsFamily();
    window.name = QStringLiteral("karl muller");
    run.PushButton1_Click(); // the choice among the two is cancelled
    ASSERT_EQ(window.dialogService.choiceRequests.size(), 1u);
    const QStringList items = window.dialogService.choiceRequests[0].items;
    ASSERT_EQ(items.size(), 2);
    EXPECT_TRUE(items[0].startsWith(QStringLiteral("@I2@ Karl Müller")));
    EXPECT_TRUE(items[1].startsWith(QStringLiteral("@I9@ Karl Müller")));

    window.name = QStringLiteral("Nobody Known");
    window.dialogService.answers.push_back(MsgResult::No); // go back
    run.PushButton1_Click();
    ASSERT_EQ(window.dialogService.messages.size(), 1u);
    const auto& question = window.dialogService.messages[0];
    EXPECT_EQ(question.buttons, MsgButtons::YesNo);
    EXPECT_FALSE(question.yesIsDefault);
    EXPECT_TRUE(question.text.contains(QStringLiteral("\"Nobody Known\"")));
    EXPECT_TRUE(window.previewWindow.calls.isEmpty());
    EXPECT_TRUE(tempFiles().isEmpty());
    EXPECT_EQ(run.mBusy.value(), 0);

    window.dialogService.answers.push_back(MsgResult::Yes); // the blank chart after all
    run.PushButton1_Click();
    EXPECT_EQ(window.dialogService.errorReports().size(), 0u);
    EXPECT_EQ(cellText(window.previewWindow.excelFile, {2, 2}),
              QStringLiteral("Family Tree for Nobody Known"));
    EXPECT_EQ(cellText(window.previewWindow.excelFile, boxCell(2, 5)), QString());
}

TEST_F(GenerationRunTest, TheSettledPersonsAncestorsFillTheChart) {
    window.family = karlsFamily();
    window.name = QStringLiteral("zoe muller"); // as typed; the title spells it as the file does
    window.generations = QStringLiteral("3");
    run.PushButton1_Click();
    EXPECT_TRUE(window.dialogService.messages.empty())
        << window.dialogService.texts().join('|').toStdString();
    const QString workbook = window.previewWindow.excelFile;
    EXPECT_EQ(cellText(workbook, {2, 2}), QStringLiteral("Family Tree for Zoë Müller"));
    EXPECT_EQ(cellText(workbook, boxCell(1, 3)), QStringLiteral("Zoë Müller"));
    EXPECT_EQ(cellText(workbook, boxCell(2, 3)), QStringLiteral("Karl Müller"));
    EXPECT_EQ(cellText(workbook, boxCell(3, 3)), QStringLiteral("Anna Roth"));

    // Chosen from the list, the second Karl is kept although the name is shared.
    window.family.chosen = window.family.file->personByXref("I9");
    window.name = QStringLiteral("Karl Müller");
    run.PushButton1_Click();
    EXPECT_TRUE(window.dialogService.choiceRequests.empty());
    const QString second = window.previewWindow.excelFile;
    const auto [row, column] = boxCell(1, 3);
    EXPECT_EQ(cellText(second, {row, column}), QStringLiteral("Karl Müller"));
    EXPECT_EQ(cellText(second, {row + 1, column}), QString()); // the first Karl died in 1944
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
