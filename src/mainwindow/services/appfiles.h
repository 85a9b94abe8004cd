#pragma once

// The program's place and name: the application folder and its side files, FileExists, and the
// process-wide application title. Needs only Qt Core, so that every layer may use it.

#include <QString>

namespace pq {

inline const QString kProductTitle = QStringLiteral("Pedigrafa Quorvell Sheet Builder Kit Plus");

// The folder that holds the program file (not the working folder), without a trailing
// separator. Tests may point it elsewhere.
QString AppFolder();
void setAppFolderForTesting(const QString& folder);

// Joins the application folder and a side file's relative name with the platform separator.
QString appFilePath(const QString& relative);

// True when the path names an existing, reachable file; a folder, "" and every failure
// answer false. Never throws.
bool FileExists(const QString& path) noexcept;

// The process-wide application title that caption-less message boxes carry.
QString AppTitle();
// Sets the application title from a product title: drops the last word at least once, then
// further words while the rest is longer than 40 characters.
void SetAppTitle(const QString& productTitle = kProductTitle);
QString appTitleFor(const QString& productTitle);

} // namespace pq
