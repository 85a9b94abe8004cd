#include "excel1.h"

#include "base/numeric.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

namespace pq {

bool IsExcelRunning() noexcept {
    try {
        xl::Ref<xl::Application> running = xl::GetObject(QString(), xl::kProgId);
        // Only looked at, never quit or changed; released when it goes out of scope.
        return running->defaultValue() == QStringLiteral("Microsoft Excel");
    } catch (...) {
        return false;
    }
}

bool WarnIfExcelOpen(DialogService& dialogs) {
    if (!IsExcelRunning())
        return false;
    const MsgResult answer =
        dialogs.message({kExcelOpenWarning, QString(), MsgButtons::YesNo, MsgIcon::None, true});
    return answer != MsgResult::Yes;
}

xl::Ref<xl::Application> OpenExcelWorkbook(const QString& path) {
    xl::Ref<xl::Application> app = xl::CreateObject(xl::kProgId);
    try {
        app->workbooks()->open(path);
    } catch (...) {
        // The instance is the caller's only once the open succeeded; quit it so that nothing
        // is left running behind a failed open.
        try {
            app->quit();
        } catch (...) {
        }
        throw;
    }
    return app;
}

int GetSaveFileFormat(const xl::Ref<xl::Application>& app) {
    const QString version = app->version();
    const int major = CInt(CDbl(FixDecimalSeparator(version)));
    return major > 11 ? xl::xlExcel8 : xl::xlNormal;
}

void ForceDeleteFile(const QString& path) {
    QFile file(path);
    if (!file.exists())
        throw Failure(failures::kFileNotFound);
    // The forced delete also removes a file whose write permission is off.
    file.setPermissions(file.permissions() | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    if (!file.remove())
        throw Failure(failures::kPermissionDenied);
}

void KillFile(const QString& path) noexcept {
    try {
        QCoreApplication::processEvents();
        if (path.isEmpty() || QFileInfo(path).isDir())
            return;
        if (QFile::remove(path))
            return;
        ForceDeleteFile(path);
    } catch (...) {
    }
}

} // namespace pq
