#include "base/failure.h"
#include "mainwindow/services/errorreport.h"
#include "support/scripteddialogs.h"

#include <gtest/gtest.h>
#include <new>
#include <stdexcept>
#include <vector>

namespace pq {
namespace {

using test::ScriptedDialogs;

TEST(ErrorReportText, IsByteExact) {
    const QString text =
        errorReportText(QStringLiteral("Overflow"), loc::kForm1PushButton7Click, 100);
    EXPECT_EQ(text, QStringLiteral("Overflow\r\nin Kinloom2021/08/31.Form1.PushButton7_Click at "
                                   "line 100\r\rPlease email screenshot of this message to ") +
                        kSupportAddress);
}

TEST(ErrorReportText, EmptyDescriptionStartsWithTheLineBreak) {
    EXPECT_TRUE(errorReportText(QString(), loc::kForm2FormLoad, 104)
                    .startsWith(QStringLiteral(
                        "\r\nin Kinloom2021/08/31.Form2.Form_Load at line 104\r\r")));
}

TEST(ErrorReportText, LocationTextsKeepTheirLetterCase) {
    EXPECT_EQ(loc::kForm2Picture1MouseDown,
              QStringLiteral("in Kinloom2021/08/31.Form2.picture1_MouseDown "));
    EXPECT_EQ(loc::kForm2Picture1MouseMove,
              QStringLiteral("in Kinloom2021/08/31.Form2.picture1_MouseMove "));
    EXPECT_EQ(loc::kForm2Picture1MouseUp,
              QStringLiteral("in Kinloom2021/08/31.Form2.Picture1_MouseUp "));
    EXPECT_EQ(loc::kExcel1SaveCellsActivesheet,
              QStringLiteral("in Kinloom2021/08/31.Excel1.saveCellsActivesheet "));
}

class GuardTest : public ::testing::Test {
protected:
    ScriptedDialogs dialogs;
};

TEST_F(GuardTest, ReportIsShownAsAnExclamationBoxWithItsCaption) {
    Guard g(dialogs, loc::kForm1PushButton7Click);
    g(100, [] { throw Failure(QStringLiteral("Overflow")); });
    ASSERT_EQ(dialogs.messages.size(), 1u);
    const auto& m = dialogs.messages[0];
    EXPECT_EQ(m.caption, QStringLiteral("Application Error"));
    EXPECT_EQ(m.icon, MsgIcon::Exclamation);
    EXPECT_EQ(m.buttons, MsgButtons::Ok);
    EXPECT_EQ(m.text,
              errorReportText(QStringLiteral("Overflow"), loc::kForm1PushButton7Click, 100));
}

TEST_F(GuardTest, FailureResumesWithTheNextStatementUnderTheSameLabel) {
    Guard g(dialogs, loc::kForm1FormLoad);
    bool titleSet = false, nextLabelRan = false;
    g(104, [] { throw Failure(QStringLiteral("icon")); });
    g(104, [&] { titleSet = true; });
    g(106, [&] { nextLabelRan = true; });
    EXPECT_TRUE(titleSet);
    EXPECT_TRUE(nextLabelRan);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("at line 104\r")));
}

TEST_F(GuardTest, FailedConditionTestRunsTheBody) {
    Guard g(dialogs, loc::kForm1FormLoad);
    bool bodyRan = false;
    if (g.test(106, []() -> bool { throw Failure(QStringLiteral("Bad file name")); }))
        g(108, [&] { bodyRan = true; });
    EXPECT_TRUE(bodyRan);
    EXPECT_EQ(dialogs.errorReports().size(), 1u);
}

TEST_F(GuardTest, FalseConditionSkipsTheBodyWithoutReport) {
    Guard g(dialogs, loc::kForm1FormLoad);
    bool bodyRan = false;
    if (g.test(106, [] { return false; }))
        bodyRan = true;
    EXPECT_FALSE(bodyRan);
    EXPECT_TRUE(dialogs.messages.empty());
}

// A procedure without a trap of its own: a failure abandons the rest of it.
void untrappedCallee(int& progress) {
    progress = 1;
    throw std::runtime_error("Subscript out of range");
    progress = 2; // never reached
}

TEST_F(GuardTest, FailureInsideAnUntrappedCalleeIsReportedWithTheCallersLabel) {
    Guard g(dialogs, loc::kForm1FormLoad);
    int progress = 0;
    bool after = false;
    g(102, [&] { untrappedCallee(progress); });
    g(104, [&] { after = true; });
    EXPECT_EQ(progress, 1);
    EXPECT_TRUE(after);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith(QStringLiteral("Subscript out of range\r\n")));
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("Form_Load at line 102\r")));
}

TEST_F(GuardTest, TwoFailuresGiveTwoReportsEachWithItsLabel) {
    Guard g(dialogs, loc::kForm2PushButton6Click);
    g(130, [] { throw Failure(QStringLiteral("Path/File access error")); });
    g(132, [] { throw Failure(QStringLiteral("Permission denied")); });
    const auto reports = dialogs.errorReports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_TRUE(reports[0].text.contains(QStringLiteral("at line 130\r")));
    EXPECT_TRUE(reports[1].text.contains(QStringLiteral("at line 132\r")));
    EXPECT_EQ(g.failures(), 2);
}

TEST_F(GuardTest, FailureInTheLastStatementReturnsNormally) {
    auto procedure = [&] {
        Guard g(dialogs, loc::kForm1PushButton6Click);
        g(100, [] { throw Failure(QStringLiteral("x")); });
    };
    EXPECT_NO_THROW(procedure());
    EXPECT_EQ(dialogs.messages.size(), 1u);
}

// The command-line tool listens for the fields themselves; nothing is shown, nothing parsed.
TEST_F(GuardTest, AListenerReceivesEachFailureAsFields) {
    struct Recorder final : FailureListener {
        void stepFailed(const StepFailure& f) override {
            got.push_back(f);
            if (f.label == 114)
                throw Failure(QStringLiteral("the listener itself failed"));
        }
        std::vector<StepFailure> got;
    } recorder;
    Guard g(recorder, loc::kForm1PushButton1Click);
    bool after = false;
    g(110, [] { throw Failure(QStringLiteral("Overflow")); });
    g(112, [] {});
    g(114, [] { throw std::bad_alloc(); });
    g(116, [&] { after = true; });
    EXPECT_TRUE(after);
    EXPECT_TRUE(dialogs.messages.empty());
    ASSERT_EQ(recorder.got.size(), 2u);
    EXPECT_EQ(recorder.got[0].procedure, loc::kForm1PushButton1Click);
    EXPECT_EQ(recorder.got[0].label, 110);
    EXPECT_EQ(recorder.got[0].description, QStringLiteral("Overflow"));
    EXPECT_EQ(recorder.got[1].label, 114);
    EXPECT_EQ(recorder.got[1].description, QStringLiteral("Out of memory"));
    EXPECT_EQ(g.failures(), 2);
}

TEST_F(GuardTest, ForeignExceptionsAreDescribed) {
    Guard g(dialogs, loc::kForm1PushButton6Click);
    g(100, [] { throw 42; });
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith(QStringLiteral("Unexpected failure\r\n")));
}

} // namespace
} // namespace pq
