#pragma once

// The picture of a workbook's used range: copied to the clipboard, read back and saved.

#include "automation.h"
#include "mainwindow/services/dialogs.h"
#include "picture.h"

#include <QString>
#include <optional>

namespace pq {

// Copies the picture of the active sheet's used range to the clipboard and saves it to `path`.
// Guarded: a failing step is reported and the next one follows. No picture is made when the
// used range ends in row 1 or column A.
void saveCellsActivesheet(DialogService& dialogs, xl::Ref<xl::Workbook> workbook, QString path);

// Reads the clipboard's picture, up to 1000 attempts; nothing when every read failed.
// Format 0 lets the clipboard choose (vector first, then bitmap).
std::optional<Picture> GetClipboardPicture(int format);

} // namespace pq
