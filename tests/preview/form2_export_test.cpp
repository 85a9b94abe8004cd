// The ways out of the preview: saving the workbook, going back, closing.

#include "mainwindow/services/errorreport.h"
#include "preview/filecopy.h"
#include "previewfixture.h"
#include "support/faultydisk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace pq::test {
namespace {

void writeFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(data);
}

// The superuser writes into any folder through CAP_DAC_OVERRIDE. While this lives, the calling
// thread (capabilities are per thread) does without it, so folder permissions bind root too;
// for anyone else it changes nothing.
class WithoutPermissionOverride {
public:
    WithoutPermissionOverride() {
        mDropped = syscall(SYS_capget, &mHeader, mCaps) == 0;
        mSaved = mCaps[0].effective;
        mCaps[0].effective &= ~CAP_TO_MASK(CAP_DAC_OVERRIDE);
        mDropped = mDropped && syscall(SYS_capset, &mHeader, mCaps) == 0;
    }
    ~WithoutPermissionOverride() {
        mCaps[0].effective = mSaved;
        syscall(SYS_capset, &mHeader, mCaps);
    }
    bool dropped() const { return mDropped; }

private:
    __user_cap_header_struct mHeader{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct mCaps[2]{};
    __u32 mSaved = 0;
    bool mDropped = false;
};

class Form2Export : public PreviewTest {
protected:
    void SetUp() override {
        PreviewTest::SetUp();
        workbook = dir.filePath(QStringLiteral("qorrow12345678.xls"));
        writeFile(workbook, workbookBytes);
        handOver(svgPicture(100, 100), workbook);
    }
    QString target(const QString& name) const { return dir.filePath(name); }
    QStringList texts() const { return dialogs.texts(); }

    QByteArray workbookBytes = QByteArray("\xD0\xCF\x11\xE0 workbook\0bytes", 20);
    QString workbook;
};

TEST_F(Form2Export, DialogIsAskedWithItsTitleAndFilter) {
    form->PushButton6->click();
    ASSERT_EQ(dialogs.saveRequests.size(), 1u);
    EXPECT_EQ(dialogs.saveRequests[0].fileName, QString());
    EXPECT_EQ(dialogs.saveRequests[0].title, QStringLiteral("Save File"));
    EXPECT_EQ(dialogs.saveRequests[0].filter, QStringLiteral("Excel Files (*.xls)|*.xls|"));
}

TEST_F(Form2Export, CancelWritesNothingAndSaysDone) {
    form->PushButton6->click();
    EXPECT_EQ(texts(), QStringList{QStringLiteral("Done.")});
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
    ASSERT_FALSE(dialogs.messages.empty());
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::None);
    EXPECT_EQ(dialogs.messages[0].buttons, MsgButtons::Ok);
}

TEST_F(Form2Export, NameWithoutExtensionIsUsedAsGiven) {
    dialogs.savePaths = {target(QStringLiteral("smith"))};
    form->PushButton6->click();
    EXPECT_EQ(readAll(target(QStringLiteral("smith"))), workbookBytes);
    EXPECT_FALSE(QFileInfo::exists(target(QStringLiteral("smith.xls"))));
    EXPECT_EQ(texts(), QStringList{QStringLiteral("Done.")});
}

TEST_F(Form2Export, ExistingTargetAsksAndYesReplacesIt) {
    const QString path = target(QStringLiteral("smith.xls"));
    writeFile(path, "old");
    dialogs.savePaths = {path};
    dialogs.answers = {MsgResult::Yes};
    form->PushButton6->click();
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Are you sure you wish to overwrite ") + path + QStringLiteral(" ?"));
    EXPECT_EQ(dialogs.messages[0].buttons, MsgButtons::YesNo);
    EXPECT_TRUE(dialogs.messages[0].yesIsDefault);
    EXPECT_EQ(dialogs.messages[0].icon, MsgIcon::None);
    EXPECT_EQ(dialogs.messages[1].text, QStringLiteral("Done."));
    EXPECT_EQ(readAll(path), workbookBytes);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2); // no temporary left over
}

TEST_F(Form2Export, ExistingTargetAnswerNoLeavesIt) {
    const QString path = target(QStringLiteral("smith.xls"));
    writeFile(path, "old");
    dialogs.savePaths = {path};
    dialogs.answers = {MsgResult::No};
    form->PushButton6->click();
    EXPECT_EQ(readAll(path), QByteArray("old"));
    EXPECT_EQ(texts().last(), QStringLiteral("Done."));
}

TEST_F(Form2Export, SavingTwiceGivesIdenticalFilesAndAsksTheSecondTimeOnTheSamePath) {
    dialogs.savePaths = {target(QStringLiteral("a.xls")), target(QStringLiteral("b.xls")),
                         target(QStringLiteral("a.xls"))};
    form->PushButton6->click();
    form->PushButton6->click();
    EXPECT_EQ(readAll(target(QStringLiteral("a.xls"))), workbookBytes);
    EXPECT_EQ(readAll(target(QStringLiteral("b.xls"))), workbookBytes);
    EXPECT_EQ(texts().size(), 2);
    form->PushButton6->click();
    EXPECT_TRUE(texts()[2].startsWith(QStringLiteral("Are you sure you wish to overwrite ")));
}

TEST_F(Form2Export, AfterASecondHandOffTheNewWorkbookIsCopied) {
    form->PushButton8->click();
    const QString second = target(QStringLiteral("qorrow87654321.xls"));
    writeFile(second, "second workbook");
    handOver(svgPicture(50, 50), second);
    dialogs.savePaths = {target(QStringLiteral("out.xls"))};
    form->PushButton6->click();
    EXPECT_EQ(readAll(target(QStringLiteral("out.xls"))), QByteArray("second workbook"));
}

TEST_F(Form2Export, FailedCopyReportsLabel130AndDoesNotSayDone) {
    for (const QString& bad : {target(QStringLiteral("missing/folder/x.xls")), dir.path()}) {
        dialogs.messages.clear();
        dialogs.savePaths = {bad};
        form->PushButton6->click();
        ASSERT_EQ(dialogs.messages.size(), 1u) << bad.toStdString();
        EXPECT_EQ(dialogs.messages[0].caption, QStringLiteral("Application Error"));
        EXPECT_TRUE(dialogs.messages[0].text.contains(loc::kForm2PushButton6Click +
                                                      QStringLiteral("at line 130\r\r")));
    }
}

TEST_F(Form2Export, FailedReplacementKeepsTheOldFile) {
    const QString path = target(QStringLiteral("smith.xls"));
    writeFile(path, "old");
    QFile::remove(workbook); // the copy's source is gone
    dialogs.savePaths = {path};
    form->PushButton6->click();
    EXPECT_EQ(readAll(path), QByteArray("old"));
    EXPECT_EQ(dialogs.errorReports().size(), 1u);
    EXPECT_FALSE(texts().contains(QStringLiteral("Done.")));
}

TEST_F(Form2Export, ReadOnlyFolderKeepsTheOldFile) {
    const QString folder = target(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString path = folder + QStringLiteral("/smith.xls");
    writeFile(path, "old");
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    dialogs.savePaths = {path};
    {
        WithoutPermissionOverride asAnyUser;
        ASSERT_TRUE(asAnyUser.dropped());
        form->PushButton6->click();
    }
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(readAll(path), QByteArray("old"));
    ASSERT_EQ(dialogs.errorReports().size(), 1u);
    EXPECT_TRUE(dialogs.errorReports()[0].text.contains(QStringLiteral("at line 130")));
}

TEST_F(Form2Export, CopyOnAFullDiskKeepsTheOldFileAndReportsWhy) {
    FullDisk disk;
    if (!disk.whyNot().empty())
        GTEST_SKIP() << disk.whyNot();
    const QString path = disk.path(QStringLiteral("smith.xls"));
    disk.fillAfter(QStringLiteral("smith.xls"), "old chart");
    dialogs.savePaths = {path};
    form->PushButton6->click();
    EXPECT_EQ(readAll(path), QByteArray("old chart"));
    // The overwrite question, then the report and no "Done.".
    EXPECT_EQ(texts().size(), 2);
    EXPECT_EQ(texts().last(), errorReportText("cannot write " + path + ": No space left on device",
                                              loc::kForm2PushButton6Click, 130));
}

TEST_F(Form2Export, TheTemporaryWorkbookAsTargetCountsAsSaved) {
    // Spelled differently, the same file.
    dialogs.savePaths = {dir.path() + QStringLiteral("/./../") + QFileInfo(dir.path()).fileName() +
                         QStringLiteral("/qorrow12345678.xls")};
    form->PushButton6->click();
    EXPECT_EQ(texts(), QStringList{QStringLiteral("Done.")});
    EXPECT_EQ(readAll(workbook), workbookBytes);
}

TEST_F(Form2Export, BackDeletesTheWorkbookShowsForm1AndHides) {
    form->show();
    form->PushButton8->click();
    EXPECT_FALSE(QFileInfo::exists(workbook));
    EXPECT_EQ(form1Shown, 1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(processEnded, 0);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(Form2Export, BackWithoutForm1ReportsLabel104AndStillHides) {
    form->setShowForm1(nullptr);
    form->show();
    form->PushButton8->click();
    ASSERT_EQ(dialogs.errorReports().size(), 1u);
    EXPECT_TRUE(dialogs.errorReports()[0].text.contains(QStringLiteral("at line 104")));
    EXPECT_FALSE(form->isVisible());
}

TEST_F(Form2Export, ClosingDeletesTheWorkbookAndEndsTheProcess) {
    std::vector<QString> deleted;
    form->setKillFile([&](const QString& path) {
        deleted.push_back(path);
        QFile::remove(path);
    });
    form->show();
    EXPECT_TRUE(form->close());
    EXPECT_EQ(deleted, std::vector<QString>{workbook});
    EXPECT_FALSE(QFileInfo::exists(workbook));
    EXPECT_EQ(processEnded, 1);
    EXPECT_EQ(form1Shown, 0);
}

TEST(FileCopy, SameExistingFileComparesResolvedPaths) {
    QTemporaryDir dir;
    const QString a = dir.filePath(QStringLiteral("a.xls"));
    writeFile(a, "x");
    EXPECT_TRUE(sameExistingFile(a, dir.path() + QStringLiteral("/./a.xls")));
    EXPECT_FALSE(sameExistingFile(a, dir.filePath(QStringLiteral("b.xls"))));
    EXPECT_FALSE(sameExistingFile(QString(), QString()));
}

} // namespace
} // namespace pq::test
