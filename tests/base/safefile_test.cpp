// The shared writer: a file is replaced only by complete content that reached the disk; a
// failure at any byte keeps the old file and names the path and the cause.

#include "base/safefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace pq {
namespace {

// A disk that refuses every byte of a file past the first `limit`: the process's file size
// limit, with the signal that would end the process ignored. Needs no root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        getrlimit(RLIMIT_FSIZE, &mSaved);
        mHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lower = mSaved;
        lower.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &mSaved);
        std::signal(SIGXFSZ, mHandler);
    }

private:
    rlimit mSaved{};
    void (*mHandler)(int) = nullptr;
};

class SafeFile : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QByteArray contents(const char* name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QStringList files() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }
    // Expects `write` to throw WriteFailure with this description.
    template<class Write> void expectFailure(Write&& write, const QString& description) {
        try {
            write();
            ADD_FAILURE() << "no failure, want " << description.toStdString();
        } catch (const WriteFailure& f) {
            EXPECT_EQ(f.description(), description);
        }
    }
    QTemporaryDir dir;
};

TEST_F(SafeFile, AFailureAtAnyByteKeepsTheOldFile) {
    writeFileSafely(path("chart"), QByteArray("old chart"));
    const QString tooLarge = QStringLiteral("cannot write %1: File too large").arg(path("chart"));
    // A small file (the whole of it pending in one write) and a large one cut short midway.
    for (const auto& [limit, size] : {std::pair{100, 5000}, std::pair{40000, 100000}}) {
        FileSizeLimit disk(limit);
        const QByteArray bytes(size, 'n');
        expectFailure([&] { writeFileSafely(path("chart"), bytes); }, tooLarge);
        // A streaming writer that ignores what its device says, as the PDF writer does.
        expectFailure(
            [&] {
                writeFileSafely(path("chart"), [&](QIODevice& device) {
                    for (qsizetype at = 0; at < size; at += 1000)
                        device.write(bytes.mid(at, 1000));
                });
            },
            tooLarge);
        EXPECT_EQ(contents("chart"), QByteArray("old chart")) << size;
        EXPECT_EQ(files(), QStringList{QStringLiteral("chart")});
    }
    // A failure of the writer itself cancels the file too.
    EXPECT_THROW(writeFileSafely(path("chart"),
                                 [](QIODevice& device) {
                                     device.write("partial");
                                     throw Failure(QStringLiteral("cannot draw the chart"));
                                 }),
                 Failure);
    EXPECT_EQ(contents("chart"), QByteArray("old chart"));
    EXPECT_EQ(files(), QStringList{QStringLiteral("chart")});
}

TEST_F(SafeFile, ReplacesRegularFilesThroughLinksKeepingPermissions) {
    writeFileSafely(path("chart"), QByteArray("old"));
    ASSERT_EQ(::chmod(qPrintable(path("chart")), 0640), 0);
    ASSERT_TRUE(QFile::link(path("chart"), path("link")));
    writeFileSafely(path("link"), QByteArray("new"));
    EXPECT_EQ(contents("chart"), QByteArray("new"));
    EXPECT_TRUE(QFileInfo(path("link")).isSymLink());
    struct stat st {};
    ASSERT_EQ(::stat(qPrintable(path("chart")), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(files(), (QStringList{QStringLiteral("chart"), QStringLiteral("link")}));
}

TEST_F(SafeFile, RefusesWhatItMayNotReplace) {
    ASSERT_EQ(::mkfifo(qPrintable(path("fifo")), 0600), 0);
    expectFailure([&] { writeFileSafely(path("fifo"), QByteArray("x")); },
                  QStringLiteral("cannot write %1: not a regular file").arg(path("fifo")));
    EXPECT_TRUE(QFileInfo(path("fifo")).exists() && !QFileInfo(path("fifo")).isFile());
    expectFailure([&] { writeFileSafely(dir.path(), QByteArray("x")); },
                  QStringLiteral("cannot write %1: Is a directory").arg(dir.path()));
    expectFailure(
        [&] { writeFileSafely(path("missing/chart"), QByteArray("x")); },
        QStringLiteral("cannot write %1: No such file or directory").arg(path("missing/chart")));

    // Keep: a new name is created, any existing one (a dangling link too) is left as it is.
    writeFileSafely(path("new"), QByteArray("first"), ExistingFile::Keep);
    ASSERT_TRUE(QFile::link(path("nowhere"), path("dangling")));
    for (const char* taken : {"new", "dangling"})
        try {
            writeFileSafely(path(taken), QByteArray("second"), ExistingFile::Keep);
            ADD_FAILURE() << taken << " was replaced";
        } catch (const WriteFailure& f) {
            EXPECT_EQ(f.systemError(), EEXIST);
        }
    EXPECT_EQ(contents("new"), QByteArray("first"));
    EXPECT_EQ(files().size(), 3); // new, dangling, fifo
}

} // namespace
} // namespace pq
