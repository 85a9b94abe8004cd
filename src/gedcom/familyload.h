#pragma once

// Loading a family-tree file from a path, as both the window and the command-line tool do: a
// regular file only (a FIFO or a device could block or never end), at most 2 GiB, read in
// chunks with progress and a way to cancel, and given up at the first bytes that show it is
// not a family-tree file, so that a large file of something else is not read to its end.

#include "familyfile.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtGlobal>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace pq::gedcom {

// Real exports reach a few hundred MB; a larger file is refused before it is read.
inline constexpr qint64 kMaxFamilyFileBytes = qint64(2) << 30;

struct LoadControl {
    // Called on the loading thread after each chunk: bytes read so far, and the file's size.
    std::function<void(qint64 bytesRead, qint64 totalBytes)> progress = {};
    // Set from any thread to stop the load; loadFamilyFile then returns nullptr.
    const std::atomic<bool>* cancel = nullptr;
};

// Why a family-tree file could not be loaded, as fields; description() is the whole sentence
// ("family.ged line 1: this is not a family-tree (GEDCOM) file: ...").
class LoadFailure : public Failure {
public:
    enum class Kind {
        Unreadable,     // missing, no permission, a folder, a read error
        NotRegularFile, // a FIFO, a device, a socket
        TooLarge,       // over kMaxFamilyFileBytes
        NotFamilyTree,  // empty, or not opening with "0 HEAD"
        OutOfMemory,
    };
    LoadFailure(Kind kind, QString path, QString reason, std::uint32_t line = 0);

    Kind kind() const { return mKind; }
    const QString& path() const { return mPath; } // as the caller gave it
    const QString& reason() const { return mReason; }
    std::uint32_t line() const { return mLine; } // 0 when no line is to blame

private:
    Kind mKind;
    QString mPath;
    QString mReason;
    std::uint32_t mLine;
};

// A problem in a named file as the front ends receive it, each wording it its own way.
struct FileWarning {
    QString file;           // the path as the user gave it
    std::uint32_t line = 0; // 0 when no one line is to blame
    QString text;
};

// The file's problems: those kept, then one saying how many more there were.
QList<FileWarning> fileWarnings(const FamilyFile& file, const QString& path);

// Reads and parses the family-tree file at `path`. Throws LoadFailure; returns nullptr only
// when cancelled through `control.cancel`.
std::unique_ptr<FamilyFile> loadFamilyFile(const QString& path, const LoadControl& control = {});

// What the first bytes of a file say. `whole` tells whether `prefix` is the entire file.
// NotFamilyTree is only returned when the complete reading would refuse the file too.
struct Opening {
    enum class Verdict { Undecided, FamilyTree, NotFamilyTree };
    Verdict verdict = Verdict::Undecided;
    std::uint32_t line = 0; // the line to blame when not a family-tree file
};
Opening judgeOpening(const QByteArray& prefix, bool whole);

} // namespace pq::gedcom
