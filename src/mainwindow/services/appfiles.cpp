#include "appfiles.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace pq {

namespace {
QString gAppFolderOverride;
QString gAppTitle;
} // namespace

QString AppFolder() {
    if (!gAppFolderOverride.isEmpty())
        return gAppFolderOverride;
    QString folder =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return QDir::toNativeSeparators(QDir::cleanPath(folder));
}

void setAppFolderForTesting(const QString& folder) {
    gAppFolderOverride = folder;
}

QString appFilePath(const QString& relative) {
    QString folder = AppFolder();
    const QString sep = QDir::separator();
    if (folder.endsWith(sep))
        folder.chop(1);
    return folder + sep + QDir::toNativeSeparators(relative);
}

bool FileExists(const QString& path) noexcept {
    try {
        if (path.isEmpty())
            return false;
        const QFileInfo info(path);
        // The file must exist and report its date of last change; a folder does not count.
        return info.exists() && !info.isDir() && info.lastModified().isValid();
    } catch (...) {
        return false;
    }
}

QString appTitleFor(const QString& productTitle) {
    QString t = productTitle;
    do {
        const qsizetype blank = t.lastIndexOf(QLatin1Char(' '));
        // Without a blank the language's Left(t, -1) would fail; keep nothing instead.
        t = blank < 0 ? QString() : t.left(blank);
    } while (t.size() > 40);
    return t;
}

void SetAppTitle(const QString& productTitle) {
    gAppTitle = appTitleFor(productTitle);
    if (QCoreApplication::instance())
        QCoreApplication::setApplicationName(gAppTitle);
}

QString AppTitle() {
    return gAppTitle.isEmpty() ? appTitleFor(kProductTitle) : gAppTitle;
}

} // namespace pq
