// The shared writer: a file is replaced only by complete content that reached the disk; a
// failure at any byte, any call, keeps the old file and leaves nothing else behind.

#include "base/filelayer.h"
#include "base/safefile.h"
#include "support/faultydisk.h"

#include <QDir>
#include <QFileInfo>
#include <csignal>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace pq {
namespace {

// The system's calls, with one of them failing, and unnamed files refused on request as some
// file systems refuse them.
class FaultyLayer : public FileLayer {
public:
    enum class Call { None, Write, Fsync, Fstat, ShortSize, Close };
    Call failing = Call::None;
    bool refuseUnnamed = false;
    QByteArray lastNamed; // the last temporary name made

    int open(const char* path, int flags, mode_t mode) override {
        if ((flags & O_TMPFILE) == O_TMPFILE && refuseUnnamed)
            return fail(EOPNOTSUPP);
        if (flags & O_CREAT)
            lastNamed = path;
        return FileLayer::open(path, flags, mode);
    }
    ssize_t write(int fd, const void* data, size_t size) override {
        return failing == Call::Write ? fail(EIO) : FileLayer::write(fd, data, size);
    }
    int fsync(int fd) override { return failing == Call::Fsync ? fail(EIO) : FileLayer::fsync(fd); }
    int fstat(int fd, struct stat* st) override {
        if (failing == Call::Fstat)
            return fail(EIO);
        const int result = FileLayer::fstat(fd, st);
        if (failing == Call::ShortSize)
            st->st_size -= 1; // a byte the disk lost
        return result;
    }
    int close(int fd) override {
        const int result = FileLayer::close(fd); // the descriptor is gone even when close fails
        return failing == Call::Close ? fail(EIO) : result;
    }
    // Renames count, and the first raises SIGUSR1 when asked to.
    int rename(const char* from, const char* to) override {
        ++renames;
        if (std::exchange(signalAtRename, false))
            ::raise(SIGUSR1);
        return FileLayer::rename(from, to);
    }
    int renames = 0;
    bool signalAtRename = false;

private:
    static int fail(int error) {
        errno = error;
        return -1;
    }
};

class SafeFile : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    QStringList files() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden);
    }
    QTemporaryDir dir;
    FaultyLayer layer;
    ScopedFileLayer layerInUse{layer};
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

// Each call that can report lost data, failing in turn, with and without unnamed files: a
// replaced file keeps its bytes, a new name stays free, and no temporary file is left.
TEST_F(SafeFile, EveryFailingCallKeepsTheOldFileAndLeavesNothing) {
    using Call = FaultyLayer::Call;
    writeFileSafely(path("chart"), QByteArray("old chart"));
    for (const bool unnamed : {true, false}) {
        layer.refuseUnnamed = !unnamed;
        for (const Call call :
             {Call::Write, Call::Fsync, Call::Fstat, Call::ShortSize, Call::Close}) {
            SCOPED_TRACE(testing::Message() << "call " << int(call) << ", unnamed " << unnamed);
            layer.failing = call;
            for (const ExistingFile existing : {ExistingFile::Replace, ExistingFile::Keep}) {
                const char* name = existing == ExistingFile::Keep ? "new" : "chart";
                try {
                    writeFileSafely(path(name), QByteArray("new chart"), existing);
                    ADD_FAILURE() << "the write reported success";
                } catch (const WriteFailure& f) {
                    EXPECT_TRUE(f.description().startsWith("cannot write " + path(name) + ": "));
                }
            }
            EXPECT_EQ(test::readAll(path("chart")), QByteArray("old chart"));
            EXPECT_EQ(files(), QStringList{QStringLiteral("chart")});
        }
    }
    layer.failing = Call::None;
    writeFileSafely(path("chart"), QByteArray("new chart")); // named, as unnamed was refused
    EXPECT_EQ(test::readAll(path("chart")), QByteArray("new chart"));
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
    ASSERT_TRUE(QFile::link(path("nothing"), path("dangling")));
    for (const char* refused : {"fifo", "dangling"}) {
        try {
            writeFileSafely(path(refused), QByteArray("x"));
            ADD_FAILURE() << refused << " was written";
        } catch (const WriteFailure& f) {
            EXPECT_TRUE(f.targetRefused()) << refused;
        }
    }
    EXPECT_THROW(writeFileSafely(path("chart"), QByteArray("x"), ExistingFile::Keep), WriteFailure);
    EXPECT_EQ(test::readAll(path("chart")), QByteArray("new"));
    EXPECT_FALSE(QFileInfo(path("fifo")).isFile());
    EXPECT_FALSE(QFileInfo::exists(path("nothing")));
    EXPECT_EQ(files().size(), 4);
}

// Runs `work` in a child process as the user `name`; its exit status, or -1.
int asUser(const char* name, const std::function<int()>& work) {
    const passwd* user = ::getpwnam(name);
    const pid_t child = ::fork();
    if (child == 0) {
        if (!user || ::setgroups(0, nullptr) != 0 || ::setgid(user->pw_gid) != 0 ||
            ::setuid(user->pw_uid) != 0)
            ::_exit(99);
        ::_exit(work());
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// 0 written, 2 the target refused, 1 another failure.
int writeThrough(const QString& path, const QByteArray& bytes) {
    try {
        writeFileSafely(path, bytes);
        return 0;
    } catch (const WriteFailure& f) {
        return f.targetRefused() ? 2 : 1;
    }
}

// In a sticky folder anyone may write to (/tmp), a link is followed only where the kernel's own
// rule would follow it: by its owner, or when it belongs to the folder's owner. Another user's
// link there is refused before anything is written, whoever runs the writer, root included.
TEST_F(SafeFile, FollowsLinksOnlyAsTheKernelWouldForRootAndAnotherUser) {
    const passwd* entry = ::getpwnam("nobody"); // getpwnam's answer lasts until its next call
    const uid_t nobody = entry ? entry->pw_uid : 0;
    entry = ::getpwnam("daemon");
    const uid_t daemon = entry ? entry->pw_uid : 0;
    if (::geteuid() != 0 || nobody == 0 || daemon == 0)
        GTEST_SKIP() << "changing users needs root and the users nobody and daemon";
    ASSERT_EQ(::chmod(qPrintable(dir.path()), 0755), 0);
    const auto makeFolder = [&](const char* name, mode_t mode, uid_t owner) {
        ASSERT_TRUE(::mkdir(qPrintable(path(name)), 0700) == 0 &&
                    ::chmod(qPrintable(path(name)), mode) == 0 &&
                    ::chown(qPrintable(path(name)), owner, owner) == 0);
    };
    makeFolder("shared", 01777, 0);
    makeFolder("daemons", 01777, daemon);
    makeFolder("open", 0777, 0);
    makeFolder("nobodys", 0755, nobody);
    writeFileSafely(path("passwd"), QByteArray("root's file"));
    writeFileSafely(path("nobodys/tree"), QByteArray("nobody's file"));
    ASSERT_EQ(::chown(qPrintable(path("nobodys/tree")), nobody, nobody), 0);
    const auto link = [&](const char* user, const char* name, const char* to) {
        return asUser(user,
                      [&] { return ::symlink(qPrintable(path(to)), qPrintable(path(name))); });
    };
    ASSERT_EQ(link("daemon", "shared/planted", "passwd"), 0);
    ASSERT_EQ(link("root", "shared/chain", "shared/planted"), 0); // root's own, to daemon's
    ASSERT_EQ(link("root", "shared/roots", "passwd"), 0);
    ASSERT_EQ(link("daemon", "shared/theirs", "nobodys/tree"), 0);
    ASSERT_EQ(link("nobody", "shared/own", "nobodys/tree"), 0);
    ASSERT_EQ(link("daemon", "daemons/owners", "nobodys/tree"), 0);
    ASSERT_EQ(link("daemon", "open/unsticky", "nobodys/tree"), 0);
    ASSERT_EQ(link("daemon", "shared/out", "."), 0); // a folder's link, to root's folder

    try {
        writeFileSafely(path("shared/chain"), QByteArray("root's content"));
        ADD_FAILURE() << "written through another user's link";
    } catch (const WriteFailure& f) {
        EXPECT_TRUE(f.targetRefused());
        EXPECT_TRUE(f.description().contains("the link " + path("shared/planted") + " "))
            << qPrintable(f.description());
    }
    for (const ExistingFile existing : {ExistingFile::Replace, ExistingFile::Keep}) {
        try {
            writeFileSafely(path("shared/out/passwd"), QByteArray("root's content"), existing);
            ADD_FAILURE() << "written through another user's link to a folder";
        } catch (const WriteFailure& f) {
            EXPECT_TRUE(f.description().contains("the link " + path("shared/out") + " "));
        }
    }
    EXPECT_EQ(test::readAll(path("passwd")), QByteArray("root's file"));
    EXPECT_EQ(writeThrough(path("shared/roots"), "root's new file"), 0);
    EXPECT_EQ(test::readAll(path("passwd")), QByteArray("root's new file"));

    EXPECT_EQ(asUser("nobody", [&] { return writeThrough(path("shared/theirs"), "1"); }), 2);
    EXPECT_EQ(test::readAll(path("nobodys/tree")), QByteArray("nobody's file"));
    EXPECT_EQ(asUser("nobody", [&] { return writeThrough(path("shared/own"), "2"); }), 0);
    EXPECT_EQ(asUser("nobody", [&] { return writeThrough(path("daemons/owners"), "3"); }), 0);
    EXPECT_EQ(asUser("nobody", [&] { return writeThrough(path("open/unsticky"), "4"); }), 0);
    EXPECT_EQ(test::readAll(path("nobodys/tree")), QByteArray("4"));
    EXPECT_EQ(QDir(path("shared")).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), 5);
    EXPECT_EQ(QDir(path("")).entryList(QDir::Files).size(), 1);
    EXPECT_EQ(QDir(path("nobodys")).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), 1);
}

// Keeping means keeping: a file another writer makes while ours is written stays.
TEST_F(SafeFile, KeepsAFileMadeWhileItsNameWasBeingWritten) {
    for (const bool unnamed : {true, false}) {
        layer.refuseUnnamed = !unnamed;
        const QString name = path(unnamed ? "unnamed" : "named");
        const auto racing = [&](QIODevice& device) {
            QFile theirs(name);
            ASSERT_TRUE(theirs.open(QIODevice::WriteOnly | QIODevice::NewOnly));
            theirs.write("theirs");
            device.write("ours");
        };
        try {
            writeFileSafely(name, racing, ExistingFile::Keep);
            ADD_FAILURE() << "the other writer's file was replaced";
        } catch (const WriteFailure& f) {
            EXPECT_EQ(f.systemError(), EEXIST);
        }
        EXPECT_EQ(test::readAll(name), QByteArray("theirs"));
    }
    EXPECT_EQ(files().size(), 2);
}

// ext4 takes names of up to 255 bytes; the temporary name beside such a target must fit too,
// and is cut between characters, not inside one.
TEST_F(SafeFile, WritesAndReplacesTheLongestNames) {
    QByteArray longest = "x";
    for (int i = 0; i < 127; ++i)
        longest += "\xc3\xa5"; // å
    ASSERT_EQ(longest.size(), 255);
    for (const bool unnamed : {true, false}) {
        layer.refuseUnnamed = !unnamed;
        QFile::remove(path(longest));
        writeFileSafely(path(longest), QByteArray("first"), ExistingFile::Keep);
        writeFileSafely(path(longest), QByteArray("second"));
        EXPECT_EQ(test::readAll(path(longest)), QByteArray("second"));
        EXPECT_EQ(files(), QStringList{QString::fromUtf8(longest)});
    }
    EXPECT_EQ(QString::fromUtf8(layer.lastNamed).toUtf8(), layer.lastNamed);
    try {
        writeFileSafely(path(longest + "y"), QByteArray("too long"));
        ADD_FAILURE() << "a 256-byte name was written";
    } catch (const WriteFailure& f) {
        EXPECT_EQ(f.systemError(), ENAMETOOLONG);
    }
}

// A write killed halfway (SIGKILL, a power cut) leaves nothing: the new file has no name yet.
// Where it has one, a program ending at a signal removes it from its handler.
TEST_F(SafeFile, AKilledOrSignalledWriteLeavesNothingBehind) {
    writeFileSafely(path("chart"), QByteArray("old chart"));
    for (const int signal : {SIGKILL, SIGTERM}) {
        const pid_t child = ::fork();
        if (child == 0) {
            layer.refuseUnnamed = signal == SIGTERM;
            std::signal(SIGTERM, [](int) {
                removeUnfinishedFiles();
                ::_exit(3);
            });
            writeFileSafely(path("chart"), [&](QIODevice& device) {
                device.write("half of it");
                ::raise(signal);
            });
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(signal == SIGKILL ? WIFSIGNALED(status) : WEXITSTATUS(status) == 3);
        EXPECT_EQ(test::readAll(path("chart")), QByteArray("old chart"));
        EXPECT_EQ(files(), QStringList{QStringLiteral("chart")});
    }
}

int gRenamesAtSignal = -1;
const FaultyLayer* gLayer = nullptr;

// Two steps: nothing changes until the commit; a commit that fails midway takes back the ones
// before it, so a run's outputs are all new or all as they were.
TEST_F(SafeFile, WritesCommitAllOrNothing) {
    gLayer = &layer;
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed" : "named");
        layer.refuseUnnamed = !unnamed;
        writeFileSafely(path("book"), QByteArray("old book"));
        writeFileSafely(path("pdf"), QByteArray("old pdf"));
        std::vector<SafeWrite> writes;
        writes.emplace_back(path("book"));
        writes.emplace_back(path("pdf"));
        writes.emplace_back(path("new"), ExistingFile::Keep);
        for (SafeWrite& write : writes)
            write.complete(QByteArray("new ") + write.path().toUtf8());
        if (unnamed) {
            EXPECT_EQ(files(), (QStringList{"book", "pdf"}));
        }
        // The last name taken meanwhile: the first two get their old content back.
        writeFileSafely(path("new"), QByteArray("theirs"));
        EXPECT_THROW(commitAll(writes), WriteFailure);
        writes.clear();
        EXPECT_EQ(test::readAll(path("book")), QByteArray("old book"));
        EXPECT_EQ(test::readAll(path("pdf")), QByteArray("old pdf"));
        EXPECT_EQ(files(), (QStringList{"book", "new", "pdf"}));

        // A target that turned into a FIFO is refused at the commit, and a new name made
        // before it is taken away again.
        ASSERT_TRUE(QFile::remove(path("new")) && QFile::remove(path("pdf")));
        writes.emplace_back(path("new"), ExistingFile::Keep);
        writes.emplace_back(path("pdf"));
        for (SafeWrite& write : writes)
            write.complete(QByteArray("new"));
        ASSERT_EQ(::mkfifo(qPrintable(path("pdf")), 0600), 0);
        EXPECT_THROW(commitAll(writes), WriteFailure);
        writes.clear();
        EXPECT_EQ(files(), (QStringList{"book", "pdf"}));
        ASSERT_TRUE(QFile::remove(path("pdf")));

        // Nothing refused: all in place, nothing else left; a discarded write leaves nothing. A
        // signal during the commit arrives only once every file is in place.
        writes.emplace_back(path("book"));
        writes.emplace_back(path("pdf"));
        writes.emplace_back(path("new"), ExistingFile::Keep);
        SafeWrite dropped(path("dropped"));
        for (SafeWrite& write : writes)
            write.complete(QByteArray("new"));
        dropped.complete(QByteArray("dropped"));
        const auto saved = std::signal(SIGUSR1, [](int) { gRenamesAtSignal = gLayer->renames; });
        layer.signalAtRename = true;
        commitAll(writes);
        std::signal(SIGUSR1, saved);
        EXPECT_EQ(gRenamesAtSignal, layer.renames);
        dropped.discard();
        EXPECT_EQ(test::readAll(path("book")), QByteArray("new"));
        EXPECT_EQ(files(), (QStringList{"book", "new", "pdf"}));
        for (const QString& name : files())
            QFile::remove(path(qPrintable(name)));
    }
}

} // namespace
} // namespace pq
