#pragma once

// Procedures around the spreadsheet application: is one running, warn the user, open a saved
// workbook in a new instance, choose the save format; and the quiet file deletion.

#include "automation.h"
#include "mainwindow/services/dialogs.h"

#include <QString>

namespace pq {

bool IsExcelRunning() noexcept;
// Warns when an instance is running; true means the user chose not to go on.
bool WarnIfExcelOpen(DialogService& dialogs);
inline const QString kExcelOpenWarning =
    QStringLiteral("Excel may be open. It is recommended that you close Excel first.\r"
                   "Use Ctrl+Alt+Del > Task Manager > EXCEL.EXE if necessary.\r\n\r\n"
                   "Would you like to proceed anyway?");

// A new hidden instance with the workbook at `path` opened as its last workbook.
xl::Ref<xl::Application> OpenExcelWorkbook(const QString& path);

// 56 for version 12 and later, else -4143; both write the 97-2003 format.
int GetSaveFileFormat(const xl::Ref<xl::Application>& app);

// Deletes a file quietly: yields once to the event loop, deletes, falls back to the forced
// delete; never fails.
void KillFile(const QString& path) noexcept;
// Deletes a file even when its write permission is off; throws Failure when it cannot.
void ForceDeleteFile(const QString& path);

} // namespace pq
