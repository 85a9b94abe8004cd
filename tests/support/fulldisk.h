#pragma once

// A small file system filled to the last byte: shows that a write on a full disk keeps the old
// file and reports why. Mounting needs the right to mount (root on CI); without it a test skips
// with the reason.

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace pq::test {

class FullDisk {
public:
    FullDisk(); // mounts a 256 KB tmpfs in a temporary folder
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    bool mounted() const { return mMounted; }
    const QString& whyNot() const { return mWhyNot; }
    QString folder() const { return mDir.path(); }
    QString path(const QString& name) const { return mDir.filePath(name); }

    // Writes a file while there is room, then fills every free byte.
    void keep(const QString& name, const QByteArray& bytes);
    void fill();

private:
    QTemporaryDir mDir;
    bool mMounted = false;
    QString mWhyNot;
};

QByteArray readAll(const QString& path);

} // namespace pq::test
