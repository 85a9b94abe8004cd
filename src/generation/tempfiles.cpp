#include "tempfiles.h"

#include <QDir>
#include <QFile>
#include <QUuid>

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

bool claimFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly);
}

QString uniquePicturePath() {
    const QString unique = QUuid::createUuid().toString(QUuid::Id128).left(16);
    return temporaryFolder() + QDir::separator() + QStringLiteral("qorrow-picture-") + unique +
           QStringLiteral(".bmp");
}

} // namespace pq
