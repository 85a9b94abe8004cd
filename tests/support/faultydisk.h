#pragma once

// Disks that refuse to take a file whole. FullDisk: a small tmpfs filled to the last byte;
// mounting needs root (as on CI), and a test skips with the reason without it. FileSizeLimit:
// every byte of a file past the first `limit` is refused (EFBIG), anywhere, without root.

#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>

namespace pq::test {

class FullDisk {
public:
    FullDisk() {
        if (::mount("pq-full-disk", qPrintable(mDir.path()), "tmpfs", 0, "size=256k") != 0)
            mWhyNot = "cannot mount a small tmpfs (" + qt_error_string().toStdString() +
                      "); the full-disk tests need root";
    }
    ~FullDisk() { ::umount2(qPrintable(mDir.path()), MNT_DETACH); }
    const std::string& whyNot() const { return mWhyNot; } // empty once mounted
    QString path(const QString& name) const { return mDir.filePath(name); }

    // Writes `bytes` to `name`, then fills every byte left, page by page, then byte by byte.
    void fillAfter(const QString& name, const QByteArray& bytes) {
        QFile keep(path(name)), filler(path(QStringLiteral("filler")));
        keep.open(QIODevice::WriteOnly);
        keep.write(bytes);
        keep.close();
        filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        for (const qsizetype size : {4096, 1})
            while (filler.write(QByteArray(size, 'f')) > 0) {
            }
    }

private:
    QTemporaryDir mDir;
    std::string mWhyNot;
};

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) : mHandler(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &mSaved);
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
    void (*mHandler)(int);
};

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace pq::test
