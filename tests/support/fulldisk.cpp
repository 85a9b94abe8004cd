#include "fulldisk.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/mount.h>
#endif

namespace pq::test {

FullDisk::FullDisk() {
#ifdef __linux__
    const QByteArray where = QFile::encodeName(mDir.path());
    if (::mount("pq-full-disk", where.constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                "size=256k,mode=0700") == 0)
        mMounted = true;
    else
        mWhyNot = QStringLiteral("cannot mount a small tmpfs (%1); the full-disk tests need root")
                      .arg(QString::fromLocal8Bit(std::strerror(errno)));
#else
    mWhyNot = QStringLiteral("mounting a small tmpfs needs Linux");
#endif
}

FullDisk::~FullDisk() {
#ifdef __linux__
    if (mMounted)
        ::umount2(QFile::encodeName(mDir.path()).constData(), MNT_DETACH);
#endif
}

void FullDisk::keep(const QString& name, const QByteArray& bytes) {
    QFile file(path(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        qFatal("cannot prepare %s on the small file system", qPrintable(name));
}

void FullDisk::fill() {
    const int fd = ::open(QFile::encodeName(path(QStringLiteral("filler"))).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const QByteArray block(4096, 'f');
    // Page by page, then byte by byte: the last page may take part of a block.
    for (const qsizetype size : {block.size(), qsizetype(1)})
        while (::write(fd, block.constData(), size) > 0) {
        }
    ::close(fd);
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace pq::test
