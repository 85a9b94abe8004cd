#pragma once

// The OLE2 compound file (CFB) container of a 97-2003 workbook: a tiny FAT file system inside
// one file. The writer stores one stream; the reader finds a top-level stream by name and
// checks every structure it follows, so hostile input throws Failure and never loops, reads
// out of bounds or allocates more than the file's size.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace pq::engine::cfb {

inline constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
inline constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
inline constexpr std::uint32_t kFatSector = 0xFFFFFFFD;
inline constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
inline constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
inline constexpr std::uint32_t kMiniStreamCutoff = 4096;

// A version 3 file (512-byte sectors) holding one stream. Streams shorter than the mini-stream
// cutoff are zero-padded to it, so they stay in regular sectors.
QByteArray buildCompoundFile(const QString& streamName, const QByteArray& stream);

class CompoundFileReader {
public:
    explicit CompoundFileReader(const QByteArray& file); // throws Failure
    // A stream in the root storage, the name compared case-insensitively.
    std::optional<QByteArray> stream(const QString& name) const;

private:
    struct Entry {
        QString name;
        std::uint8_t type = 0;
        std::uint32_t left = kNoStream, right = kNoStream, child = kNoStream;
        std::uint32_t start = kEndOfChain;
        std::uint64_t size = 0;
    };

    void readHeader();
    void readFat();
    std::vector<std::uint32_t> fatSectorIds() const;
    void readDirectory();
    Entry parseEntry(const QByteArray& directory, std::uint32_t index) const;
    QByteArray readChain(std::uint32_t start, std::uint64_t size, bool untilEnd) const;
    QByteArray readMiniChain(std::uint32_t start, std::uint64_t size) const;
    std::uint32_t u32(qsizetype offset) const;
    std::uint16_t u16(qsizetype offset) const;

    const QByteArray& mFile;
    int mSectorShift = 9;
    std::uint32_t mSectorCount = 0;
    std::uint32_t mFatSectors = 0, mFirstDirectory = 0, mFirstMiniFat = 0, mMiniFatSectors = 0;
    std::uint32_t mFirstDifat = 0, mDifatSectors = 0;
    std::vector<std::uint32_t> mFat;
    std::vector<Entry> mEntries;
};

} // namespace pq::engine::cfb
