#include "compoundfile.h"

#include "base/failure.h"
#include "biffrecords.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace pq::engine::cfb {

using biff::putU16;
using biff::putU32;

namespace {

constexpr char kSignature[8] = {'\xD0', '\xCF', '\x11', '\xE0', '\xA1', '\xB1', '\x1A', '\xE1'};
constexpr int kSectorSize = 512;
constexpr int kIdsPerSector = kSectorSize / 4;
constexpr int kHeaderDifatSlots = 109;
constexpr int kEntrySize = 128;

[[noreturn]] void corrupt(const QString& what) {
    throw Failure(QStringLiteral("Corrupt workbook file: %1").arg(what));
}

std::uint16_t le16(const char* p) {
    return qFromLittleEndian<std::uint16_t>(p);
}
std::uint32_t le32(const char* p) {
    return qFromLittleEndian<std::uint32_t>(p);
}

std::uint32_t ceilDiv(std::uint64_t a, std::uint64_t b) {
    return static_cast<std::uint32_t>((a + b - 1) / b);
}

void putDirectoryEntry(QByteArray& out, const QString& name, std::uint8_t type, std::uint32_t child,
                       std::uint32_t start, std::uint32_t size) {
    QByteArray entry(kEntrySize, '\0');
    for (int i = 0; i < name.size() && i < 31; ++i)
        biff::patchU16(entry, 2 * i, name[i].unicode());
    biff::patchU16(entry, 0x40,
                   name.isEmpty() ? 0 : static_cast<std::uint16_t>(2 * (name.size() + 1)));
    entry[0x42] = static_cast<char>(type);
    entry[0x43] = 1; // black
    biff::patchU32(entry, 0x44, kNoStream);
    biff::patchU32(entry, 0x48, kNoStream);
    biff::patchU32(entry, 0x4C, child);
    biff::patchU32(entry, 0x74, start);
    biff::patchU32(entry, 0x78, size);
    out.append(entry);
}

// Sector counts of the file layout: stream sectors, FAT, DIFAT, one directory sector.
struct Layout {
    std::uint32_t streamSectors = 0, fatSectors = 0, difatSectors = 0;
    std::uint32_t total() const { return streamSectors + fatSectors + difatSectors + 1; }
};

Layout layoutFor(std::uint32_t streamSectors) {
    Layout layout{streamSectors, 1, 0};
    for (;;) {
        const std::uint32_t fat = ceilDiv(layout.total(), kIdsPerSector);
        const std::uint32_t difat =
            fat > kHeaderDifatSlots ? ceilDiv(fat - kHeaderDifatSlots, kIdsPerSector - 1) : 0;
        if (fat == layout.fatSectors && difat == layout.difatSectors)
            return layout;
        layout.fatSectors = fat;
        layout.difatSectors = difat;
    }
}

} // namespace

QByteArray buildCompoundFile(const QString& streamName, const QByteArray& stream) {
    const auto size =
        static_cast<std::uint32_t>(std::max<qsizetype>(stream.size(), kMiniStreamCutoff));
    const Layout layout = layoutFor(ceilDiv(size, kSectorSize));
    const std::uint32_t firstFat = layout.streamSectors;
    const std::uint32_t firstDifat = firstFat + layout.fatSectors;
    const std::uint32_t directory = firstDifat + layout.difatSectors;

    QByteArray out;
    out.reserve((static_cast<qsizetype>(layout.total()) + 1) * kSectorSize);
    out.append(kSignature, 8);
    out.append(16, '\0'); // CLSID
    putU16(out, 0x003E);
    putU16(out, 0x0003);
    putU16(out, 0xFFFE);
    putU16(out, 9); // 512-byte sectors
    putU16(out, 6); // 64-byte mini sectors
    out.append(6, '\0');
    putU32(out, 0); // directory sectors: always 0 in version 3
    putU32(out, layout.fatSectors);
    putU32(out, directory);
    putU32(out, 0);
    putU32(out, kMiniStreamCutoff);
    putU32(out, kEndOfChain); // no mini FAT
    putU32(out, 0);
    putU32(out, layout.difatSectors ? firstDifat : kEndOfChain);
    putU32(out, layout.difatSectors);
    for (std::uint32_t i = 0; i < kHeaderDifatSlots; ++i)
        putU32(out, i < layout.fatSectors ? firstFat + i : kFreeSector);

    out.append(stream);
    out.append(static_cast<qsizetype>(layout.streamSectors) * kSectorSize - stream.size(), '\0');

    const std::uint32_t fatEntries = layout.fatSectors * kIdsPerSector;
    for (std::uint32_t s = 0; s < fatEntries; ++s) {
        std::uint32_t next = kFreeSector;
        if (s + 1 < layout.streamSectors)
            next = s + 1;
        else if (s + 1 == layout.streamSectors || s == directory)
            next = kEndOfChain;
        else if (s >= firstFat && s < firstDifat)
            next = kFatSector;
        else if (s >= firstDifat && s < directory)
            next = kDifatSector;
        putU32(out, next);
    }
    for (std::uint32_t d = 0; d < layout.difatSectors; ++d) {
        for (std::uint32_t i = 0; i < kIdsPerSector - 1; ++i) {
            const std::uint32_t fat = kHeaderDifatSlots + d * (kIdsPerSector - 1) + i;
            putU32(out, fat < layout.fatSectors ? firstFat + fat : kFreeSector);
        }
        putU32(out, d + 1 < layout.difatSectors ? firstDifat + d + 1 : kEndOfChain);
    }
    putDirectoryEntry(out, QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0);
    putDirectoryEntry(out, streamName, 2, kNoStream, 0, size);
    putDirectoryEntry(out, {}, 0, kNoStream, 0, 0);
    putDirectoryEntry(out, {}, 0, kNoStream, 0, 0);
    return out;
}

// ---- reader ----

CompoundFileReader::CompoundFileReader(const QByteArray& file) : mFile(file) {
    readHeader();
    readFat();
    readDirectory();
}

std::uint32_t CompoundFileReader::u32(qsizetype offset) const {
    return le32(mFile.constData() + offset);
}

std::uint16_t CompoundFileReader::u16(qsizetype offset) const {
    return le16(mFile.constData() + offset);
}

void CompoundFileReader::readHeader() {
    if (mFile.size() < kSectorSize || std::memcmp(mFile.constData(), kSignature, 8) != 0)
        throw Failure(QStringLiteral("The file is not a 97–2003 workbook"));
    const std::uint16_t major = u16(0x1A);
    mSectorShift = u16(0x1E);
    if (u16(0x1C) != 0xFFFE || u16(0x20) != 6 || u32(0x38) != kMiniStreamCutoff ||
        !((major == 3 && mSectorShift == 9) || (major == 4 && mSectorShift == 12)))
        corrupt(QStringLiteral("unsupported compound file header"));
    const qsizetype sectorSize = qsizetype(1) << mSectorShift;
    if (mFile.size() < sectorSize)
        corrupt(QStringLiteral("truncated compound file header"));
    // A partial last sector still counts; reads past the file's end are refused one by one.
    mSectorCount = ceilDiv(mFile.size() - sectorSize, sectorSize);
    mFatSectors = u32(0x2C);
    mFirstDirectory = u32(0x30);
    mFirstMiniFat = u32(0x3C);
    mMiniFatSectors = u32(0x40);
    mFirstDifat = u32(0x44);
    mDifatSectors = u32(0x48);
    if (mFatSectors == 0 || mFatSectors > mSectorCount)
        corrupt(QStringLiteral("FAT size %1 does not fit the file").arg(mFatSectors));
}

std::vector<std::uint32_t> CompoundFileReader::fatSectorIds() const {
    std::vector<std::uint32_t> ids;
    ids.reserve(mFatSectors);
    for (std::uint32_t i = 0; i < kHeaderDifatSlots && ids.size() < mFatSectors; ++i)
        ids.push_back(u32(0x4C + 4 * i));
    const std::uint32_t perDifat = (1u << mSectorShift) / 4 - 1;
    std::vector<bool> seen(mSectorCount);
    std::uint32_t difat = mFirstDifat;
    for (std::uint32_t n = 0; ids.size() < mFatSectors; ++n) {
        if (n >= mDifatSectors || difat >= mSectorCount)
            corrupt(QStringLiteral("DIFAT chain ends early"));
        if (seen[difat])
            corrupt(QStringLiteral("sector chain loop in the DIFAT"));
        seen[difat] = true;
        const qsizetype base = (qsizetype(difat) + 1) << mSectorShift;
        if (base + (qsizetype(1) << mSectorShift) > mFile.size())
            corrupt(QStringLiteral("truncated DIFAT sector %1").arg(difat));
        for (std::uint32_t i = 0; i < perDifat && ids.size() < mFatSectors; ++i)
            ids.push_back(u32(base + 4 * i));
        difat = u32(base + 4 * perDifat);
    }
    return ids;
}

void CompoundFileReader::readFat() {
    const qsizetype sectorSize = qsizetype(1) << mSectorShift;
    mFat.reserve(static_cast<std::size_t>(mFatSectors) * (sectorSize / 4));
    for (std::uint32_t id : fatSectorIds()) {
        const qsizetype base = (qsizetype(id) + 1) * sectorSize;
        if (id >= mSectorCount || base + sectorSize > mFile.size())
            corrupt(QStringLiteral("FAT sector %1 lies outside the file").arg(id));
        for (qsizetype i = 0; i < sectorSize; i += 4)
            mFat.push_back(u32(base + i));
    }
}

// Follows a FAT chain. A loop, a sector outside the file, a chain shorter than the size or a
// read past the file's end is corruption. With untilEnd the chain's end defines the size.
QByteArray CompoundFileReader::readChain(std::uint32_t start, std::uint64_t size,
                                         bool untilEnd) const {
    const qsizetype sectorSize = qsizetype(1) << mSectorShift;
    if (size > static_cast<std::uint64_t>(mFile.size()))
        corrupt(QStringLiteral("stream size %1 exceeds the file size").arg(size));
    QByteArray data;
    data.reserve(untilEnd ? 0 : static_cast<qsizetype>(size));
    std::vector<bool> seen(mSectorCount);
    std::uint32_t sector = start;
    while (untilEnd ? sector != kEndOfChain : static_cast<std::uint64_t>(data.size()) < size) {
        if (sector >= mSectorCount || sector >= mFat.size())
            corrupt(sector == kEndOfChain
                        ? QStringLiteral("sector chain shorter than its stream")
                        : QStringLiteral("sector %1 lies outside the file").arg(sector));
        if (seen[sector])
            corrupt(QStringLiteral("sector chain loop at sector %1").arg(sector));
        seen[sector] = true;
        const qsizetype base = (qsizetype(sector) + 1) * sectorSize;
        const qsizetype want =
            untilEnd ? sectorSize
                     : std::min<qsizetype>(sectorSize, static_cast<qsizetype>(size) - data.size());
        if (base + want > mFile.size())
            corrupt(QStringLiteral("truncated file: sector %1 is incomplete").arg(sector));
        data.append(mFile.constData() + base, want);
        sector = mFat[sector];
    }
    return data;
}

QByteArray CompoundFileReader::readMiniChain(std::uint32_t start, std::uint64_t size) const {
    constexpr qsizetype kMiniSector = 64;
    const Entry& root = mEntries.front();
    const QByteArray miniStream = readChain(root.start, root.size, false);
    const QByteArray miniFatBytes = readChain(mFirstMiniFat, 0, true);
    std::vector<std::uint32_t> miniFat(static_cast<std::size_t>(miniFatBytes.size() / 4));
    for (std::size_t i = 0; i < miniFat.size(); ++i)
        miniFat[i] = le32(miniFatBytes.constData() + 4 * i);
    const auto miniSectors = static_cast<std::uint32_t>(miniStream.size() / kMiniSector);
    QByteArray data;
    data.reserve(static_cast<qsizetype>(size));
    std::vector<bool> seen(miniSectors);
    std::uint32_t sector = start;
    while (static_cast<std::uint64_t>(data.size()) < size) {
        if (sector >= miniSectors || sector >= miniFat.size())
            corrupt(QStringLiteral("mini sector %1 lies outside the mini stream").arg(sector));
        if (seen[sector])
            corrupt(QStringLiteral("sector chain loop in the mini stream"));
        seen[sector] = true;
        const qsizetype want =
            std::min<qsizetype>(kMiniSector, static_cast<qsizetype>(size) - data.size());
        data.append(miniStream.constData() + qsizetype(sector) * kMiniSector, want);
        sector = miniFat[sector];
    }
    return data;
}

CompoundFileReader::Entry CompoundFileReader::parseEntry(const QByteArray& directory,
                                                         std::uint32_t index) const {
    const char* raw = directory.constData() + qsizetype(index) * kEntrySize;
    Entry e;
    const std::uint16_t nameBytes = le16(raw + 0x40);
    e.type = static_cast<std::uint8_t>(raw[0x42]);
    const bool knownType = e.type == 0 || e.type == 1 || e.type == 2 || e.type == 5;
    if (nameBytes % 2 != 0 || nameBytes > 64 || !knownType)
        corrupt(QStringLiteral("directory entry %1 is invalid").arg(index));
    for (int i = 0; i + 2 < nameBytes; i += 2)
        e.name.append(QChar(le16(raw + i)));
    e.left = le32(raw + 0x44);
    e.right = le32(raw + 0x48);
    e.child = le32(raw + 0x4C);
    e.start = le32(raw + 0x74);
    e.size = le32(raw + 0x78);
    if (mSectorShift == 12) // version 3 files may leave garbage in the high half
        e.size |= static_cast<std::uint64_t>(le32(raw + 0x7C)) << 32;
    return e;
}

void CompoundFileReader::readDirectory() {
    const QByteArray directory = readChain(mFirstDirectory, 0, true);
    const auto count = static_cast<std::uint32_t>(directory.size() / kEntrySize);
    if (count == 0)
        corrupt(QStringLiteral("empty directory"));
    mEntries.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i)
        mEntries.push_back(parseEntry(directory, i));
    if (mEntries.front().type != 5)
        corrupt(QStringLiteral("the first directory entry is not the root"));
}

std::optional<QByteArray> CompoundFileReader::stream(const QString& name) const {
    // The root's children form a tree through left/right; each entry is visited at most once.
    std::vector<bool> seen(mEntries.size());
    std::vector<std::uint32_t> pending{mEntries.front().child};
    while (!pending.empty()) {
        const std::uint32_t index = pending.back();
        pending.pop_back();
        if (index == kNoStream)
            continue;
        if (index >= mEntries.size() || seen[index])
            corrupt(QStringLiteral("directory tree loop or bad entry %1").arg(index));
        seen[index] = true;
        const Entry& e = mEntries[index];
        if (e.type == 2 && e.name.compare(name, Qt::CaseInsensitive) == 0) {
            if (e.size > static_cast<std::uint64_t>(mFile.size()))
                corrupt(QStringLiteral("stream size %1 exceeds the file size").arg(e.size));
            if (e.size < kMiniStreamCutoff)
                return readMiniChain(e.start, e.size);
            return readChain(e.start, e.size, false);
        }
        pending.push_back(e.left);
        pending.push_back(e.right);
    }
    return std::nullopt;
}

} // namespace pq::engine::cfb
