// The shared writer: a file is replaced only by complete content that reached the disk; a
// failure at any byte keeps the old file and names the path and the cause.

#include "base/safefile.h"
#include "support/faultydisk.h"

#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace pq {
namespace {

class SafeFile : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::System); }
    QTemporaryDir dir;
};

TEST_F(SafeFile, AFailureAtAnyByteKeepsTheOldFile) {
    writeFileSafely(path("chart"), QByteArray("old chart"));
    const QByteArray bytes(100000, 'n');
    try { // small content refused after 100 bytes: the write that buffering savers lose
        test::FileSizeLimit disk(100);
        writeFileSafely(path("chart"), bytes.left(5000));
        ADD_FAILURE() << "the write reported success";
    } catch (const WriteFailure& f) {
        EXPECT_EQ(f.description(), "cannot write " + path("chart") + ": File too large");
    }
    // Streamed by a writer that ignores what its device says (as the PDF writer does).
    const auto streamed = [&](QIODevice& device) {
        for (qsizetype at = 0; at < bytes.size(); at += 1000)
            device.write(bytes.mid(at, 1000));
    };
    test::FileSizeLimit disk(40000);
    EXPECT_THROW(writeFileSafely(path("chart"), streamed), WriteFailure);
    EXPECT_THROW(writeFileSafely(path("chart"), [](QIODevice&) { throw Failure(QString()); }),
                 Failure);
    EXPECT_EQ(test::readAll(path("chart")), QByteArray("old chart"));
    EXPECT_EQ(files(), QStringList{QStringLiteral("chart")});
}

TEST_F(SafeFile, ReplacesOnlyRegularFilesAndKeepsTheirPermissions) {
    writeFileSafely(path("chart"), QByteArray("old"));
    ::chmod(qPrintable(path("chart")), 0640);
    ASSERT_TRUE(QFile::link(path("chart"), path("link")));
    writeFileSafely(path("link"), QByteArray("new")); // through the link, which stays
    EXPECT_EQ(test::readAll(path("chart")), QByteArray("new"));
    struct stat st {};
    EXPECT_TRUE(::stat(qPrintable(path("chart")), &st) == 0 && (st.st_mode & 0777) == 0640);
    EXPECT_TRUE(QFileInfo(path("link")).isSymLink());

    ASSERT_EQ(::mkfifo(qPrintable(path("fifo")), 0600), 0);
    EXPECT_THROW(writeFileSafely(path("fifo"), QByteArray("x")), WriteFailure);
    EXPECT_THROW(writeFileSafely(path("chart"), QByteArray("x"), ExistingFile::Keep), WriteFailure);
    EXPECT_EQ(test::readAll(path("chart")), QByteArray("new"));
    EXPECT_FALSE(QFileInfo(path("fifo")).isFile());
    EXPECT_EQ(files().size(), 3);
}

} // namespace
} // namespace pq
