#include "filecopy.h"

#include "base/failure.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace pq {

namespace {
QString describeWriteError(QFileDevice::FileError error) {
    return error == QFileDevice::PermissionsError ? failures::kPermissionDenied
                                                  : failures::kPathFileAccess;
}
} // namespace

void copyFileSafely(const QString& from, const QString& to) {
    QFile source(from);
    if (!source.exists())
        throw Failure(failures::kFileNotFound);
    if (!source.open(QIODevice::ReadOnly))
        throw Failure(failures::kPermissionDenied);
    if (QFileInfo(to).isDir())
        throw Failure(failures::kPathFileAccess);
    // QSaveFile writes to a temporary file in the target's folder and renames it over the
    // target on commit; without a commit the temporary file goes and the target stays.
    QSaveFile target(to);
    if (!target.open(QIODevice::WriteOnly))
        throw Failure(describeWriteError(target.error()));
    constexpr qint64 kChunk = 1 << 16;
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(kChunk);
        if (chunk.isEmpty() && source.error() != QFileDevice::NoError)
            throw Failure(failures::kPathFileAccess);
        if (target.write(chunk) != chunk.size())
            throw Failure(describeWriteError(target.error()));
    }
    if (!target.commit())
        throw Failure(describeWriteError(target.error()));
}

bool sameExistingFile(const QString& a, const QString& b) {
    const QString ca = QFileInfo(a).canonicalFilePath();
    const QString cb = QFileInfo(b).canonicalFilePath();
    if (ca.isEmpty() || cb.isEmpty())
        return false;
#ifdef Q_OS_WIN
    return ca.compare(cb, Qt::CaseInsensitive) == 0;
#else
    return ca == cb;
#endif
}

} // namespace pq
