#pragma once

// The one way every output is written: the new content goes to a file beside the target (a file
// without a name where the file system allows, so that even a killed program or a power cut
// leaves nothing behind), every byte is checked to have reached the disk, and only then does it
// take the target's name. A failure at any point removes the new file and leaves whatever was at
// the target untouched.

#include "failure.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>
#include <span>

class QIODevice;

namespace pq {

// What a write does when something is already at the target path.
enum class ExistingFile {
    Replace, // a regular file (or a link to one, followed only where it is safe) is replaced;
             // anything else is refused
    Keep,    // nothing is replaced: the write fails with "File exists"
};

// A write that did not happen. The description names the path and the cause:
// "cannot write /x/ada.xls: No space left on device".
class WriteFailure : public Failure {
public:
    WriteFailure(const QString& path, int systemError); // an errno value
    WriteFailure(const QString& path, const QString& cause);
    // The target is nothing the writer replaces: a folder, a FIFO or device, a link that leads
    // nowhere, or a link another user made in a folder anyone may write to (not followed, as
    // the kernel's protected-symlinks rule would not follow it).
    static WriteFailure refusedTarget(const QString& path, const QString& cause);
    static WriteFailure refusedTarget(const QString& path, int systemError);
    const QString& path() const { return mPath; }
    int systemError() const { return mSystemError; } // 0 when the cause is not the system's
    bool targetRefused() const { return mTargetRefused; }

private:
    QString mPath;
    int mSystemError = 0;
    bool mTargetRefused = false;
};

void writeFileSafely(const QString& path, const QByteArray& bytes,
                     ExistingFile existing = ExistingFile::Replace);

// For writers that stream (pictures, PDF): `write` writes the content into the device it is
// given. A write the device refuses fails the whole file even when `write` carries on; a
// Failure thrown by `write` cancels the file and propagates (as the device's refusal, when there
// was one).
void writeFileSafely(const QString& path, const std::function<void(QIODevice&)>& write,
                     ExistingFile existing = ExistingFile::Replace);

// A write in two steps, for runs that write several files all or nothing. Made, it has looked at
// the target (refusing what it must not replace) and made the new, empty file, so a folder that
// takes no file fails here; `complete` puts the whole content on the disk, still under no
// final name; `commit` gives it the target's name. Dropped or discarded before its commit, it
// leaves nothing behind.
class SafeWrite {
public:
    explicit SafeWrite(const QString& path, ExistingFile existing = ExistingFile::Replace);
    ~SafeWrite();
    SafeWrite(SafeWrite&&) noexcept;
    SafeWrite& operator=(SafeWrite&&) noexcept;

    const QString& path() const { return mPath; }
    void complete(const QByteArray& bytes);
    void complete(const std::function<void(QIODevice&)>& write); // as writeFileSafely streams
    bool isComplete() const;
    void commit(); // only once complete
    void discard();

private:
    class File;
    friend void commitAll(std::span<SafeWrite> writes);
    QString mPath;
    std::unique_ptr<File> mFile;
};

// Commits every write, in order, only once all are complete, with signals held back until the
// last is in place. When one cannot be committed (its name taken meanwhile, or it became a
// FIFO), those already committed are undone: a new name is removed again, a replaced file gets
// its old content back. Either way the writes are spent.
void commitAll(std::span<SafeWrite> writes);

// Removes every temporary file a write has made and not yet put in place (a file without a name
// needs nothing). Safe in a signal handler: a program that ends at a signal calls it first.
void removeUnfinishedFiles() noexcept;

} // namespace pq
