#include "safefile.h"

#include "filelayer.h"

#include <QFile>
#include <QIODevice>
#include <QRandomGenerator>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace pq {

namespace {

FileLayer& sys() {
    return FileLayer::current();
}

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
}

QByteArray folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// A write-only device that hands every write straight to the system (no buffer that could
// fail later, out of sight) and remembers the first refusal.
class DescriptorDevice final : public QIODevice {
public:
    explicit DescriptorDevice(int fd) : mFd(fd) {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return true; }
    int systemError() const { return mError; }
    qint64 written() const { return mWritten; }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override {
        if (mError != 0)
            return -1;
        for (qint64 done = 0; done < size;) {
            const ssize_t n = sys().write(mFd, data + done, static_cast<size_t>(size - done));
            if (n > 0) {
                done += n;
                mWritten += n;
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else {
                mError = n < 0 ? errno : ENOSPC;
                setErrorString(qt_error_string(mError));
                return -1;
            }
        }
        return size;
    }

private:
    int mFd;
    int mError = 0;
    qint64 mWritten = 0;
};

// The kernel's protected-symlinks rule: in a sticky folder anyone may write to (/tmp), a link
// is followed only by its owner, or when it belongs to the folder's owner. Anywhere else only
// those who may write in the folder could have put it there.
bool mayFollow(const struct stat& link, const struct stat& folder) {
    const bool shared = (folder.st_mode & S_ISVTX) && (folder.st_mode & S_IWOTH);
    return !shared || link.st_uid == ::geteuid() || link.st_uid == folder.st_uid;
}

QByteArray readLink(const QString& reported, const QByteArray& link) {
    char buffer[PATH_MAX];
    const ssize_t size = ::readlink(link.constData(), buffer, sizeof buffer);
    if (size < 0 || size == sizeof buffer)
        throw WriteFailure(reported, size < 0 ? errno : ENAMETOOLONG);
    return QByteArray(buffer, size);
}

// The parts of a path, last first, as the walk below takes them.
void pushParts(QList<QByteArray>& parts, const QByteArray& path) {
    const QList<QByteArray> split = path.split('/');
    for (auto part = split.rbegin(); part != split.rend(); ++part)
        if (!part->isEmpty() && *part != ".")
            parts.append(*part);
}

struct Target {
    QByteArray path; // where the new file goes: for a link, the file it leads to
    bool exists = false;
    struct stat st {};
};

// Walks `path` part by part as the kernel would, with every link on it (a folder's, or the last
// part's when `followLast`) followed only where the rule above allows, whatever the system's
// own setting: a root run must not be led out of /tmp by another user's link.
Target resolve(const QString& reported, const QByteArray& path, bool followLast) {
    QByteArray done; // the folders walked, no link among them; empty for "/"
    if (!path.startsWith('/')) {
        char cwd[PATH_MAX];
        if (!::getcwd(cwd, sizeof cwd))
            throw WriteFailure(reported, errno);
        done = cwd == QByteArrayLiteral("/") ? QByteArray() : QByteArray(cwd);
    }
    QList<QByteArray> parts;
    pushParts(parts, path);
    bool lastIsLinked = false; // the last part came from a link
    for (int links = 0; !parts.isEmpty();) {
        const QByteArray part = parts.takeLast();
        if (part == "..") {
            done.truncate(std::max<qsizetype>(done.lastIndexOf('/'), 0));
            continue;
        }
        const bool last = parts.isEmpty();
        const QByteArray here = done + '/' + part;
        struct stat st {};
        if (::lstat(here.constData(), &st) != 0) {
            if (errno != ENOENT)
                throw WriteFailure(reported, errno);
            if (lastIsLinked)
                throw WriteFailure::refusedTarget(reported,
                                                  QStringLiteral("the link leads to no file"));
            QByteArray rest = here; // made by the write, or a missing folder it reports
            while (!parts.isEmpty())
                rest += '/' + parts.takeLast();
            return {rest, false, {}};
        }
        if (!S_ISLNK(st.st_mode) || (last && !followLast)) {
            done = here;
            if (last)
                return {done, true, st};
            continue;
        }
        struct stat folder {};
        if (++links > 40 || ::stat(done.isEmpty() ? "/" : done.constData(), &folder) != 0)
            throw WriteFailure(reported, links > 40 ? ELOOP : errno);
        if (!mayFollow(st, folder))
            throw WriteFailure::refusedTarget(
                reported, QStringLiteral("the link %1 belongs to another user and lies in a "
                                         "folder anyone may write to, so it is not followed")
                              .arg(QFile::decodeName(here)));
        const QByteArray leadsTo = readLink(reported, here);
        if (leadsTo.startsWith('/'))
            done.clear();
        lastIsLinked = lastIsLinked || last;
        pushParts(parts, leadsTo);
    }
    // Only folders: "/", or a path that ends in "..".
    struct stat st {};
    const QByteArray folder = done.isEmpty() ? QByteArrayLiteral("/") : done;
    if (::stat(folder.constData(), &st) != 0)
        throw WriteFailure(reported, errno);
    return {folder, true, st};
}

// What the write may do at `path`; refuses what it must not replace before anything is written.
Target lookAt(const QString& path, ExistingFile existing) {
    if (path.isEmpty())
        throw WriteFailure(path, ENOENT);
    if (path.endsWith(QLatin1Char('/')))
        throw WriteFailure::refusedTarget(path, EISDIR);
    const Target target = resolve(path, encoded(path), existing == ExistingFile::Replace);
    if (!target.exists)
        return target;
    if (existing == ExistingFile::Keep)
        throw WriteFailure(path, EEXIST);
    if (S_ISDIR(target.st.st_mode))
        throw WriteFailure::refusedTarget(path, EISDIR);
    if (!S_ISREG(target.st.st_mode))
        throw WriteFailure::refusedTarget(path, QStringLiteral("not a regular file"));
    // Replacing goes by the folder's rights; a file the user may not change stays unchanged.
    if (::faccessat(AT_FDCWD, target.path.constData(), W_OK, AT_EACCESS) != 0)
        throw WriteFailure(path, errno);
    return target;
}

// A name beside `target` for a file on its way: the target's name, its end cut off where the
// file system's longest name leaves no room for the suffix, then a dot and six random letters.
QByteArray temporaryName(const QByteArray& target) {
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    constexpr qsizetype kSuffix = 7;
    const qsizetype slash = target.lastIndexOf('/') + 1;
    long longest = ::pathconf(folderOf(target).constData(), _PC_NAME_MAX);
    if (longest <= kSuffix)
        longest = NAME_MAX;
    qsizetype cut = std::min(target.size() - slash, static_cast<qsizetype>(longest) - kSuffix);
    while (cut > 0 && (static_cast<uchar>(target[slash + cut]) & 0xC0) == 0x80)
        --cut; // never half a UTF-8 character
    QByteArray name = target.left(slash + cut) + '.';
    for (int i = 0; i < 6; ++i)
        name += kLetters[QRandomGenerator::global()->bounded(36)];
    return name;
}

// Renames `from` to `to` unless `to` exists, atomically.
bool renameWithoutReplacing(const QByteArray& from, const QByteArray& to) {
    if (sys().renameNoReplace(from.constData(), to.constData()) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return false;
    // Where the file system has no such rename, a hard link fails just as atomically on a
    // taken name.
    if (sys().link(from.constData(), to.constData()) != 0)
        return false;
    sys().unlink(from.constData());
    return true;
}

// Makes a rename durable. A folder that cannot be synced (some file systems refuse) does not
// undo a rename that is done.
void syncFolderOf(const QByteArray& path) {
    const int fd = ::open(folderOf(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The temporary names on the disk, where a signal handler can reach them: each slot is free,
// being filled, or holds a name.
struct NamedSlot {
    enum State { Free, Filling, Holding };
    std::atomic<int> state{Free};
    char path[PATH_MAX];
};
NamedSlot gNamed[32];
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler reads the slots");

// The slot that now holds `name`, or -1 when all are taken (the name then escapes a signal).
int rememberName(const QByteArray& name) {
    if (name.size() >= PATH_MAX)
        return -1;
    for (int i = 0; i < std::ssize(gNamed); ++i) {
        int expected = NamedSlot::Free;
        if (gNamed[i].state.compare_exchange_strong(expected, NamedSlot::Filling)) {
            std::memcpy(gNamed[i].path, name.constData(), name.size() + 1);
            gNamed[i].state.store(NamedSlot::Holding);
            return i;
        }
    }
    return -1;
}

void forgetName(int slot) {
    if (slot >= 0)
        gNamed[slot].state.store(NamedSlot::Free);
}

// Holds back every signal that can be held while a commit gives files their names, so that a
// program ending at a signal finds each file either in place or not, and a run's files all in
// place or none; the signal arrives as soon as the commit is over.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &mSaved);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &mSaved, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t mSaved;
};

QByteArray descriptorPath(int fd) {
    return QByteArrayLiteral("/proc/self/fd/") + QByteArray::number(fd);
}

} // namespace

WriteFailure::WriteFailure(const QString& path, int systemError)
    : Failure(QStringLiteral("cannot write %1: %2").arg(path, qt_error_string(systemError))),
      mPath(path), mSystemError(systemError) {}

WriteFailure::WriteFailure(const QString& path, const QString& cause)
    : Failure(QStringLiteral("cannot write %1: %2").arg(path, cause)), mPath(path) {}

WriteFailure WriteFailure::refusedTarget(const QString& path, const QString& cause) {
    WriteFailure failure(path, cause);
    failure.mTargetRefused = true;
    return failure;
}

WriteFailure WriteFailure::refusedTarget(const QString& path, int systemError) {
    WriteFailure failure(path, systemError);
    failure.mTargetRefused = true;
    return failure;
}

// The new content's file: without a name while it is written where the file system allows,
// otherwise under a temporary name beside the target; removed unless it is committed.
class SafeWrite::File {
public:
    File(const QString& reported, ExistingFile existing)
        : mReported(reported), mExisting(existing), mTarget(lookAt(reported, existing)) {
        if (!openUnnamed())
            openNamed();
        // A replaced file keeps its permissions; a new one gets the usual ones (umask).
        if (mTarget.exists)
            ::fchmod(mFd, mTarget.st.st_mode & 07777);
    }
    ~File() {
        if (mFd >= 0)
            sys().close(mFd);
        if (!mName.isEmpty())
            sys().unlink(mName.constData());
        forgetName(mNameSlot);
        forgetOld();
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    bool isComplete() const { return mComplete; }

    // Fails unless every byte is on the disk: file systems may report a full disk or an I/O
    // error only when the data is synced, or only when the file is closed.
    void complete(const std::function<void(QIODevice&)>& write) {
        if (mComplete || mFd < 0)
            throw WriteFailure(mReported, QStringLiteral("the content was already written"));
        DescriptorDevice device(mFd);
        try {
            write(device);
        } catch (const Failure&) {
            // A writer that gives up because its writes were refused: the refusal is the cause.
            if (device.systemError() != 0)
                throw WriteFailure(mReported, device.systemError());
            throw;
        }
        if (device.systemError() != 0)
            throw WriteFailure(mReported, device.systemError());
        if (sys().fsync(mFd) != 0 && errno != EINVAL)
            throw WriteFailure(mReported, errno);
        struct stat st {};
        if (sys().fstat(mFd, &st) != 0)
            throw WriteFailure(mReported, errno);
        if (st.st_size != device.written())
            throw WriteFailure(mReported, QStringLiteral("only %1 of %2 bytes reached the disk")
                                              .arg(st.st_size)
                                              .arg(device.written()));
        mDevice = st.st_dev;
        mInode = st.st_ino;
        if (!mUnnamed) // an unnamed file is linked by its descriptor: it stays open until then
            closeFile();
        mComplete = true;
    }

    // `keepOld` keeps a replaced file's content aside so that `undo` can put it back.
    void commit(bool keepOld) {
        if (!mComplete || mCommitted)
            throw WriteFailure(mReported, QStringLiteral("the content is not complete"));
        if (mUnnamed && mExisting == ExistingFile::Keep) {
            linkInPlace();
        } else {
            if (mUnnamed)
                nameUnnamed();
            if (mExisting == ExistingFile::Keep) {
                if (!renameWithoutReplacing(mName, mTarget.path))
                    throw WriteFailure(mReported, errno);
            } else {
                replaceTarget(keepOld);
            }
            dropName();
        }
        mCommitted = true;
        syncFolderOf(mTarget.path);
    }

    // Takes a commit back: the replaced file's content returns, a new name is removed.
    void undo() {
        if (!mCommitted)
            return;
        if (!mOld.isEmpty()) {
            // Should the old content not return, its second name stays: it is the only copy.
            sys().rename(mOld.constData(), mTarget.path.constData());
            mOld.clear();
        } else if (!mReplaced) {
            removeIfOurs(mTarget.path);
        }
        mCommitted = false;
        syncFolderOf(mTarget.path);
    }

    void forgetOld() {
        if (!mOld.isEmpty())
            sys().unlink(mOld.constData());
        mOld.clear();
    }

private:
    bool openUnnamed() {
#ifdef O_TMPFILE
        const int fd =
            sys().open(folderOf(mTarget.path).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd < 0) // refused by the file system or the kernel: the named file reports why
            return false;
        // An unnamed file is linked through /proc, which a chroot or a small container may lack.
        if (::access(descriptorPath(fd).constData(), F_OK) != 0) {
            sys().close(fd);
            return false;
        }
        mFd = fd;
        mUnnamed = true;
        return true;
#else
        return false;
#endif
    }

    void openNamed() {
        for (int attempt = 0; mFd < 0; ++attempt) {
            mName = temporaryName(mTarget.path);
            mFd = sys().open(mName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (mFd < 0 && (errno != EEXIST || attempt == 100)) {
                mName.clear();
                throw WriteFailure(mReported, errno);
            }
        }
        mNameSlot = rememberName(mName);
    }

    // The temporary name is gone (renamed into place): a signal has nothing left to remove.
    void dropName() {
        mName.clear();
        forgetName(std::exchange(mNameSlot, -1));
    }

    void closeFile() {
        const int fd = std::exchange(mFd, -1);
        if (sys().close(fd) != 0 && errno != EINTR)
            throw WriteFailure(mReported, errno);
    }

    // The unnamed file takes the target's name only if it is free: a file another writer made
    // meanwhile stays.
    void linkInPlace() {
        if (sys().linkat(AT_FDCWD, descriptorPath(mFd).constData(), AT_FDCWD,
                         mTarget.path.constData(), AT_SYMLINK_FOLLOW) != 0)
            throw WriteFailure(mReported, errno);
        try {
            closeFile();
        } catch (const WriteFailure&) {
            removeIfOurs(mTarget.path);
            throw;
        }
    }

    // A rename cannot take an unnamed file: it gets a temporary name first, for that moment.
    void nameUnnamed() {
        for (int attempt = 0;; ++attempt) {
            const QByteArray name = temporaryName(mTarget.path);
            if (sys().linkat(AT_FDCWD, descriptorPath(mFd).constData(), AT_FDCWD, name.constData(),
                             AT_SYMLINK_FOLLOW) == 0) {
                mName = name;
                mNameSlot = rememberName(mName);
                break;
            }
            if (errno != EEXIST || attempt == 100)
                throw WriteFailure(mReported, errno);
        }
        closeFile();
    }

    void replaceTarget(bool keepOld) {
        // Whatever appeared at the target meanwhile is still only replaced when regular.
        struct stat st {};
        mReplaced = ::lstat(mTarget.path.constData(), &st) == 0;
        if (mReplaced && !S_ISREG(st.st_mode))
            throw WriteFailure::refusedTarget(mReported, QStringLiteral("not a regular file"));
        if (mReplaced && keepOld)
            keepOldAside();
        if (sys().rename(mName.constData(), mTarget.path.constData()) != 0) {
            const int error = errno;
            forgetOld();
            throw WriteFailure(mReported, error);
        }
    }

    // A second name for the file about to be replaced. Where the file system has no hard links
    // the old content cannot be kept, and a commit then cannot be taken back.
    void keepOldAside() {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QByteArray name = temporaryName(mTarget.path);
            if (sys().link(mTarget.path.constData(), name.constData()) == 0) {
                mOld = name;
                return;
            }
            if (errno != EEXIST)
                return;
        }
    }

    void removeIfOurs(const QByteArray& path) {
        struct stat st {};
        if (::lstat(path.constData(), &st) == 0 && st.st_dev == mDevice && st.st_ino == mInode)
            sys().unlink(path.constData());
    }

    QString mReported;
    ExistingFile mExisting;
    Target mTarget;
    int mFd = -1;
    bool mUnnamed = false;
    QByteArray mName;   // the temporary name, while the new file has one
    int mNameSlot = -1; // where a signal handler finds it
    bool mComplete = false;
    bool mCommitted = false;
    bool mReplaced = false; // the commit replaced a file
    QByteArray mOld;        // the replaced file's second name, while it is kept for an undo
    dev_t mDevice = 0;
    ino_t mInode = 0;
};

SafeWrite::SafeWrite(const QString& path, ExistingFile existing)
    : mPath(path), mFile(std::make_unique<File>(path, existing)) {}

SafeWrite::~SafeWrite() = default;
SafeWrite::SafeWrite(SafeWrite&&) noexcept = default;
SafeWrite& SafeWrite::operator=(SafeWrite&&) noexcept = default;

void SafeWrite::complete(const QByteArray& bytes) {
    complete([&](QIODevice& device) { device.write(bytes); });
}

void SafeWrite::complete(const std::function<void(QIODevice&)>& write) {
    if (!mFile)
        throw WriteFailure(mPath, QStringLiteral("the write was discarded"));
    mFile->complete(write);
}

bool SafeWrite::isComplete() const {
    return mFile && mFile->isComplete();
}

void SafeWrite::commit() {
    if (!mFile)
        throw WriteFailure(mPath, QStringLiteral("the write was discarded"));
    const SignalsHeld held;
    mFile->commit(false);
    mFile.reset();
}

void SafeWrite::discard() {
    mFile.reset();
}

void commitAll(std::span<SafeWrite> writes) {
    for (const SafeWrite& write : writes)
        if (!write.isComplete())
            throw WriteFailure(write.path(), QStringLiteral("the content is not complete"));
    const SignalsHeld held;
    size_t committed = 0;
    try {
        for (; committed < writes.size(); ++committed)
            writes[committed].mFile->commit(true);
    } catch (...) {
        while (committed > 0)
            writes[--committed].mFile->undo();
        throw;
    }
    for (SafeWrite& write : writes)
        write.mFile.reset(); // drops the old contents kept aside
}

void removeUnfinishedFiles() noexcept {
    for (NamedSlot& slot : gNamed)
        if (slot.state.load() == NamedSlot::Holding)
            ::unlink(slot.path);
}

void writeFileSafely(const QString& path, const QByteArray& bytes, ExistingFile existing) {
    SafeWrite write(path, existing);
    write.complete(bytes);
    write.commit();
}

void writeFileSafely(const QString& path, const std::function<void(QIODevice&)>& write,
                     ExistingFile existing) {
    SafeWrite file(path, existing);
    file.complete(write);
    file.commit();
}

} // namespace pq
