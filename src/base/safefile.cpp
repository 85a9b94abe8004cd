#include "safefile.h"

#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRandomGenerator>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pq {

namespace {

QByteArray encoded(const QString& path) {
    return QFile::encodeName(path);
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
            const ssize_t n = ::write(mFd, data + done, static_cast<size_t>(size - done));
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

struct Target {
    QString path; // where the new file goes: for a link, the file it leads to
    bool exists = false;
    mode_t permissions = 0;
};

// What the write may do at `path`; refuses what it must not replace before anything is written.
Target lookAt(const QString& path, ExistingFile existing) {
    if (path.isEmpty())
        throw WriteFailure(path, ENOENT);
    if (path.endsWith(QLatin1Char('/')))
        throw WriteFailure(path, EISDIR);
    struct stat st {};
    if (::lstat(encoded(path).constData(), &st) != 0) {
        if (errno == ENOENT) // a missing folder is reported when the file is created
            return {path, false, 0};
        throw WriteFailure(path, errno);
    }
    if (existing == ExistingFile::Keep)
        throw WriteFailure(path, EEXIST);
    QString resolved = path;
    if (S_ISLNK(st.st_mode)) {
        resolved = QFileInfo(path).canonicalFilePath();
        if (resolved.isEmpty() || ::stat(encoded(resolved).constData(), &st) != 0)
            throw WriteFailure(path, QStringLiteral("the link leads to no file"));
    }
    if (S_ISDIR(st.st_mode))
        throw WriteFailure(path, EISDIR);
    if (!S_ISREG(st.st_mode))
        throw WriteFailure(path, QStringLiteral("not a regular file"));
    // Replacing goes by the folder's rights; a file the user may not change stays unchanged.
    if (::access(encoded(resolved).constData(), W_OK) != 0)
        throw WriteFailure(path, errno);
    return {resolved, true, static_cast<mode_t>(st.st_mode & 07777)};
}

// Renames `from` to `to` unless `to` exists, atomically.
bool renameWithoutReplacing(const QByteArray& from, const QByteArray& to) {
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP)
        return false;
#endif
    // Where the file system has no such rename, a hard link fails just as atomically on a
    // taken name.
    if (::link(from.constData(), to.constData()) != 0)
        return false;
    ::unlink(from.constData());
    return true;
}

// Makes the rename itself durable. A folder that cannot be synced (some file systems refuse)
// does not undo a rename that is done.
void syncFolderOf(const QString& path) {
    const int fd = ::open(encoded(QFileInfo(path).absolutePath()).constData(),
                          O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// The new content's file beside the target; removed unless it is installed.
class NewFile {
public:
    NewFile(const QString& reportedPath, const Target& target)
        : mReported(reportedPath), mTarget(target) {
        for (int attempt = 0; mFd < 0; ++attempt) {
            mName = encoded(target.path + QLatin1Char('.') + randomSuffix());
            mFd = ::open(mName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (mFd < 0 && (errno != EEXIST || attempt == 100))
                throw WriteFailure(mReported, errno);
        }
        // A replaced file keeps its permissions; a new one gets the usual ones (umask).
        if (target.exists)
            ::fchmod(mFd, target.permissions);
    }
    ~NewFile() {
        if (mFd >= 0)
            ::close(mFd);
        if (!mInstalled)
            ::unlink(mName.constData());
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    int descriptor() const { return mFd; }

    // Fails unless all `size` bytes are on the disk: file systems may report a full disk or an
    // I/O error only when the data is synced, or only when the file is closed.
    void finish(qint64 size) {
        if (::fsync(mFd) != 0 && errno != EINVAL)
            throw WriteFailure(mReported, errno);
        struct stat st {};
        if (::fstat(mFd, &st) != 0)
            throw WriteFailure(mReported, errno);
        if (st.st_size != size)
            throw WriteFailure(
                mReported,
                QStringLiteral("only %1 of %2 bytes reached the disk").arg(st.st_size).arg(size));
        const int fd = mFd;
        mFd = -1;
        if (::close(fd) != 0 && errno != EINTR)
            throw WriteFailure(mReported, errno);
    }

    void install(ExistingFile existing) {
        const QByteArray target = encoded(mTarget.path);
        if (existing == ExistingFile::Keep) {
            if (!renameWithoutReplacing(mName, target))
                throw WriteFailure(mReported, errno);
        } else {
            // Whatever appeared at the target meanwhile is still only replaced when regular.
            struct stat st {};
            if (::lstat(target.constData(), &st) == 0 && !S_ISREG(st.st_mode))
                throw WriteFailure(mReported, QStringLiteral("not a regular file"));
            if (::rename(mName.constData(), target.constData()) != 0)
                throw WriteFailure(mReported, errno);
        }
        mInstalled = true;
        syncFolderOf(mTarget.path);
    }

private:
    static QString randomSuffix() {
        static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        QString suffix;
        for (int i = 0; i < 6; ++i)
            suffix += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(36)]);
        return suffix;
    }

    QString mReported;
    Target mTarget;
    QByteArray mName;
    int mFd = -1;
    bool mInstalled = false;
};

} // namespace

WriteFailure::WriteFailure(const QString& path, int systemError)
    : Failure(QStringLiteral("cannot write %1: %2").arg(path, qt_error_string(systemError))),
      mPath(path), mSystemError(systemError) {}

WriteFailure::WriteFailure(const QString& path, const QString& cause)
    : Failure(QStringLiteral("cannot write %1: %2").arg(path, cause)), mPath(path) {}

void writeFileSafely(const QString& path, const QByteArray& bytes, ExistingFile existing) {
    writeFileSafely(
        path, [&](QIODevice& device) { device.write(bytes); }, existing);
}

void writeFileSafely(const QString& path, const std::function<void(QIODevice&)>& write,
                     ExistingFile existing) {
    const Target target = lookAt(path, existing);
    NewFile file(path, target);
    DescriptorDevice device(file.descriptor());
    try {
        write(device);
    } catch (const Failure&) {
        // A writer that gives up because its writes were refused: the refusal is the cause.
        if (device.systemError() != 0)
            throw WriteFailure(path, device.systemError());
        throw;
    }
    if (device.systemError() != 0)
        throw WriteFailure(path, device.systemError());
    file.finish(device.written());
    file.install(existing);
}

} // namespace pq
