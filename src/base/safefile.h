#pragma once

// The one way every output is written: the new content goes to a file beside the target, every
// byte is checked to have reached the disk, and only then is it renamed over the target. A
// failure at any point removes the new file and leaves whatever was at the target untouched.

#include "failure.h"

#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;

namespace pq {

// What a write does when something is already at the target path.
enum class ExistingFile {
    Replace, // a regular file (or a link to one) is replaced; anything else is refused
    Keep,    // nothing is replaced: the write fails with "File exists"
};

// A write that did not happen. The description names the path and the cause:
// "cannot write /x/ada.xls: No space left on device".
class WriteFailure : public Failure {
public:
    WriteFailure(const QString& path, int systemError); // an errno value
    WriteFailure(const QString& path, const QString& cause);
    const QString& path() const { return mPath; }
    int systemError() const { return mSystemError; } // 0 when the cause is not the system's

private:
    QString mPath;
    int mSystemError = 0;
};

void writeFileSafely(const QString& path, const QByteArray& bytes,
                     ExistingFile existing = ExistingFile::Replace);

// For writers that stream (pictures, PDF): `write` writes the content into the device it is
// given. A write the device refuses fails the whole file even when `write` carries on; a
// Failure thrown by `write` cancels the file and propagates (as the device's refusal, when there
// was one).
void writeFileSafely(const QString& path, const std::function<void(QIODevice&)>& write,
                     ExistingFile existing = ExistingFile::Replace);

} // namespace pq
