#pragma once

// The copy behind "Save Results To Excel File": a byte copy that never leaves a half-written
// target and never loses the file it replaces.

#include <QString>

namespace pq {

// Copies `from` to `to` byte for byte. The copy is written beside the target under a temporary
// name and renamed over it only once complete and on the disk, so a failed copy leaves an
// existing target as it was. Throws Failure: the source's "File not found" or "Permission
// denied", or the target's WriteFailure naming it and the cause.
void copyFileSafely(const QString& from, const QString& to);

// True when both paths name the same existing file (after resolving links and "..").
bool sameExistingFile(const QString& a, const QString& b);

} // namespace pq
