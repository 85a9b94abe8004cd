#include "tempfiles.h"

#include "base/numeric.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QUuid>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace pq {

QString temporaryFolder() {
    QString folder = qEnvironmentVariable("TEMP");
    if (folder.trimmed().isEmpty())
        folder = QDir::tempPath();
    folder = QDir::toNativeSeparators(QDir::cleanPath(folder));
    if (folder.size() > 1 && folder.endsWith(QDir::separator()))
        folder.chop(1);
    return folder;
}

QString drawWorkbookBaseName(const std::function<int()>& drawDigit) {
    QString name = QStringLiteral("qorrow");
    for (int i = 0; i < 8; ++i)
        name += QString::number(drawDigit());
    return name;
}

int drawNameDigit() {
    const double r = QRandomGenerator::global()->generateDouble();
    return Int16(static_cast<int>(Int(r * 9)) + 1);
}

bool claimFile(const QString& path, int* systemError) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (systemError)
            *systemError = errno;
        return false;
    }
    ::close(fd);
    return true;
}

QString uniquePicturePath() {
    const QString unique = QUuid::createUuid().toString(QUuid::Id128).left(16);
    return temporaryFolder() + QDir::separator() + QStringLiteral("qorrow-picture-") + unique +
           QStringLiteral(".bmp");
}

} // namespace pq
