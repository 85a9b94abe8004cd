#include "filecopy.h"

#include "base/safefile.h"

#include <QFile>
#include <QFileInfo>

namespace pq {

void copyFileSafely(const QString& from, const QString& to) {
    QFile source(from);
    if (!source.exists())
        throw Failure(failures::kFileNotFound);
    if (!source.open(QIODevice::ReadOnly))
        throw Failure(failures::kPermissionDenied);
    writeFileSafely(to, [&](QIODevice& target) {
        constexpr qint64 kChunk = 1 << 16;
        while (!source.atEnd()) {
            const QByteArray chunk = source.read(kChunk);
            if (chunk.isEmpty() && source.error() != QFileDevice::NoError)
                throw Failure(failures::kPathFileAccess);
            if (target.write(chunk) != chunk.size())
                return; // the writer reports the device's refusal
        }
    });
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
