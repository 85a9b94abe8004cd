#include "biffrecords.h"

#include <QtEndian>
#include <algorithm>
#include <cmath>

namespace pq::engine::biff {

void putU8(QByteArray& out, std::uint8_t v) {
    out.append(static_cast<char>(v));
}

void putU16(QByteArray& out, std::uint16_t v) {
    const char bytes[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    out.append(bytes, 2);
}

void putU32(QByteArray& out, std::uint32_t v) {
    const char bytes[4] = {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                           static_cast<char>((v >> 16) & 0xFF), static_cast<char>(v >> 24)};
    out.append(bytes, 4);
}

void patchU16(QByteArray& out, qsizetype at, std::uint16_t v) {
    out[at] = static_cast<char>(v & 0xFF);
    out[at + 1] = static_cast<char>(v >> 8);
}

void patchU32(QByteArray& out, qsizetype at, std::uint32_t v) {
    patchU16(out, at, static_cast<std::uint16_t>(v & 0xFFFF));
    patchU16(out, at + 2, static_cast<std::uint16_t>(v >> 16));
}

void putHeader(QByteArray& out, std::uint16_t id, std::uint16_t length) {
    putU16(out, id);
    putU16(out, length);
}

bool fitsLatin1(QStringView text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x100; });
}

namespace {

// Characters of a string: one byte each when every character fits Latin-1, else UTF-16LE.
void putChars(QByteArray& out, QStringView text, bool latin1) {
    if (latin1) {
        for (QChar c : text)
            out.append(static_cast<char>(c.unicode()));
    } else {
        for (QChar c : text)
            putU16(out, c.unicode());
    }
}

qsizetype charBytes(QStringView text, bool latin1) {
    return text.size() * (latin1 ? 1 : 2);
}

// ShortXLUnicodeString: 1-byte count, flags, characters.
void putShortString(QByteArray& out, QStringView text) {
    const bool latin1 = fitsLatin1(text);
    putU8(out, static_cast<std::uint8_t>(text.size()));
    putU8(out, latin1 ? 0 : 1);
    putChars(out, text, latin1);
}

qsizetype shortStringSize(QStringView text) {
    return 2 + charBytes(text, fitsLatin1(text));
}

// A whole record's room at the end of the stream, filled through a pointer: the cell table's
// records are many and short, and growing the stream field by field would cost more than
// writing them.
class RecordSpace {
public:
    RecordSpace(QByteArray& out, std::uint16_t id, std::uint16_t length) {
        const qsizetype at = out.size();
        out.resize(at + 4 + length);
        mNext = out.data() + at;
        u16(id);
        u16(length);
    }
    void u16(std::uint16_t v) {
        qToLittleEndian(v, mNext);
        mNext += 2;
    }
    void u32(std::uint32_t v) {
        qToLittleEndian(v, mNext);
        mNext += 4;
    }

private:
    char* mNext;
};

} // namespace

std::uint16_t columnWidthToColdx(double characters) {
    const double clamped = std::clamp(characters, 0.0, 255.0);
    const double pixels = clamped * 7.0 + 5.0;
    return static_cast<std::uint16_t>(std::min(65535.0, std::trunc(pixels / 7.0 * 256.0 + 1e-9)));
}

double coldxToColumnWidth(std::uint16_t coldx) {
    // The application shows whole pixels; the width in characters excludes the padding.
    const double pixels = std::round(coldx * 7.0 / 256.0);
    return std::round(std::max(0.0, pixels - 5.0) / 7.0 * 100.0) / 100.0;
}

std::uint16_t rowTwipsForFont(std::uint16_t fontTwips) {
    // 1.275 times the font height, rounded up to whole 0.75 pt (15 twips) steps.
    const std::uint32_t steps = (fontTwips * 1275u + 14999u) / 15000u;
    return static_cast<std::uint16_t>(std::min<std::uint32_t>(steps * 15u, 8192u));
}

void appendBof(QByteArray& out, std::uint16_t substreamType) {
    putHeader(out, kBof, 16);
    putU16(out, kBiff8Version);
    putU16(out, substreamType);
    putU16(out, 0x0DBB); // build
    putU16(out, 0x07CC); // year
    putU32(out, 0);      // file history flags
    putU32(out, 6);      // lowest BIFF version that can read all records
}

void appendEof(QByteArray& out) {
    putHeader(out, kEof, 0);
}

void appendCodePage(QByteArray& out) {
    putHeader(out, kCodePage, 2);
    putU16(out, 1200); // UTF-16
}

void appendWindow1(QByteArray& out, std::uint16_t activeSheet) {
    putHeader(out, kWindow1, 18);
    putU16(out, 0);      // x
    putU16(out, 0);      // y
    putU16(out, 0x25BC); // width, twips
    putU16(out, 0x1572); // height, twips
    putU16(out, 0x0038); // horizontal and vertical scroll bars, sheet tabs
    putU16(out, activeSheet);
    putU16(out, 0);   // first visible tab
    putU16(out, 1);   // selected tabs
    putU16(out, 600); // tab bar width ratio (per mille)
}

void appendFont(QByteArray& out, const FontRecord& font) {
    const QStringView name = QStringView(font.name).left(31);
    putHeader(out, kFont, static_cast<std::uint16_t>(14 + shortStringSize(name)));
    putU16(out, font.heightTwips);
    putU16(out, 0); // not italic, not struck out
    putU16(out, font.icv);
    putU16(out, 400); // normal weight
    putU16(out, 0);   // no super/subscript
    putU8(out, 0);    // no underline
    putU8(out, 0);    // family
    putU8(out, 0);    // ANSI character set
    putU8(out, 0);
    putShortString(out, name);
}

void appendXf(QByteArray& out, const XfRecord& xf) {
    putHeader(out, kXf, 20);
    putU16(out, xf.ifnt);
    putU16(out, 0); // General number format
    // Locked; a style XF has no parent (0xFFF), a cell XF's parent is the Normal style.
    putU16(out, xf.style ? 0xFFF5 : 0x0001);
    putU8(out, static_cast<std::uint8_t>((xf.alc & 0x07) | (2 << 4))); // vertical: bottom
    putU8(out, 0);                                                     // no rotation
    putU8(out, xf.shrinkToFit ? 0x10 : 0);                             // no indent; fShrinkToFit
    putU8(out, xf.usedAttributes & 0xFC);
    putU32(out, std::uint32_t(xf.dgLeft & 0xF) | std::uint32_t(xf.dgRight & 0xF) << 4 |
                    std::uint32_t(xf.dgTop & 0xF) << 8 | std::uint32_t(xf.dgBottom & 0xF) << 12 |
                    std::uint32_t(xf.icvLeft & 0x7F) << 16 |
                    std::uint32_t(xf.icvRight & 0x7F) << 23);
    putU32(out, std::uint32_t(xf.icvTop & 0x7F) | std::uint32_t(xf.icvBottom & 0x7F) << 7 |
                    std::uint32_t(xf.fls & 0x3F) << 26);
    putU16(out, static_cast<std::uint16_t>((xf.icvFore & 0x7F) | (xf.icvBack & 0x7F) << 7));
}

void appendNormalStyle(QByteArray& out) {
    putHeader(out, kStyle, 4);
    putU16(out, 0x8000); // built-in style of XF 0
    putU8(out, 0);       // Normal
    putU8(out, 0xFF);    // no outline level
}

qsizetype appendBoundSheet(QByteArray& out, const QString& name) {
    putHeader(out, kBoundSheet, static_cast<std::uint16_t>(6 + shortStringSize(name)));
    const qsizetype offsetSlot = out.size();
    putU32(out, 0);
    putU8(out, 0); // visible
    putU8(out, 0); // worksheet
    putShortString(out, name);
    return offsetSlot;
}

void appendCountry(QByteArray& out) {
    putHeader(out, kCountry, 4);
    putU16(out, 1); // user interface: USA
    putU16(out, 1); // system settings: USA
}

void appendSupBookSelf(QByteArray& out, std::uint16_t sheetCount) {
    putHeader(out, kSupBook, 4);
    putU16(out, sheetCount);
    putU16(out, 0x0401); // marks the reference to this workbook itself
}

void appendExternSheet(QByteArray& out, std::span<const std::uint16_t> sheets) {
    putHeader(out, kExternSheet, static_cast<std::uint16_t>(2 + 6 * sheets.size()));
    putU16(out, static_cast<std::uint16_t>(sheets.size()));
    for (std::uint16_t sheet : sheets) {
        putU16(out, 0); // the SUPBOOK of this workbook
        putU16(out, sheet);
        putU16(out, sheet);
    }
}

void appendBuiltInName(QByteArray& out, BuiltInName name, std::uint16_t sheet, std::uint16_t ixti,
                       const CellArea& area) {
    constexpr std::uint16_t formulaBytes = 11; // one absolute 3-D area reference
    putHeader(out, kName, 16 + formulaBytes);
    putU16(out, 0x0020); // built-in
    putU8(out, 0);       // no keyboard shortcut
    putU8(out, 1);       // a built-in name is one character, its code
    putU16(out, formulaBytes);
    putU16(out, 0);
    putU16(out, static_cast<std::uint16_t>(sheet + 1)); // local to the sheet, 1-based
    putU32(out, 0);                                     // no menu, description or help texts
    putU8(out, 0);                                      // the name's characters are single bytes
    putU8(out, name);
    putU8(out, 0x3B); // PtgArea3d
    putU16(out, ixti);
    putU16(out, area.rowFirst);
    putU16(out, area.rowLast);
    putU16(out, area.colFirst);
    putU16(out, area.colLast);
}

int sstStringsPerBucket(qsizetype uniqueStrings) {
    // At most 128 buckets, as the application itself keeps.
    return uniqueStrings < 1024 ? 8 : static_cast<int>(1 + uniqueStrings / 128);
}

namespace {

// Builds SST data and splits it into CONTINUE records at the record size limit.
class SstSplitter {
public:
    explicit SstSplitter(QByteArray& out) : mOut(out) { mRecordStart = out.size(); }

    int room() const { return kMaxRecordData - static_cast<int>(mData.size()); }
    QByteArray& data() { return mData; }
    qsizetype positionInRecord() const { return 4 + mData.size(); }
    qsizetype streamPosition() const { return mRecordStart + positionInRecord(); }

    void flush() {
        putHeader(mOut, mId, static_cast<std::uint16_t>(mData.size()));
        mOut.append(mData);
        mData.clear();
        mId = kContinue;
        mRecordStart = mOut.size();
    }

private:
    QByteArray& mOut;
    QByteArray mData;
    std::uint16_t mId = kSst;
    qsizetype mRecordStart = 0;
};

} // namespace

std::vector<SstBucket> appendSst(QByteArray& out, const QStringList& strings,
                                 std::uint32_t totalReferences, int stringsPerBucket) {
    std::vector<SstBucket> buckets;
    SstSplitter sst(out);
    putU32(sst.data(), totalReferences);
    putU32(sst.data(), static_cast<std::uint32_t>(strings.size()));
    for (qsizetype i = 0; i < strings.size(); ++i) {
        const QStringView text = QStringView(strings[i]).left(32767);
        const bool latin1 = fitsLatin1(text);
        const int charSize = latin1 ? 1 : 2;
        // A string's header never ends a record without at least its first character.
        if (sst.room() < 3 + (text.isEmpty() ? 0 : charSize))
            sst.flush();
        if (i % stringsPerBucket == 0)
            buckets.push_back({static_cast<std::uint32_t>(sst.streamPosition()),
                               static_cast<std::uint16_t>(sst.positionInRecord())});
        putU16(sst.data(), static_cast<std::uint16_t>(text.size()));
        putU8(sst.data(), latin1 ? 0 : 1);
        qsizetype done = 0;
        while (done < text.size()) {
            qsizetype fit = sst.room() / charSize;
            if (fit == 0) {
                // A continued string restates its encoding at the start of the CONTINUE.
                sst.flush();
                putU8(sst.data(), latin1 ? 0 : 1);
                fit = sst.room() / charSize;
            }
            const qsizetype n = std::min(fit, text.size() - done);
            putChars(sst.data(), text.mid(done, n), latin1);
            done += n;
        }
    }
    sst.flush();
    return buckets;
}

void appendExtSst(QByteArray& out, std::uint16_t stringsPerBucket,
                  std::span<const SstBucket> buckets) {
    putHeader(out, kExtSst, static_cast<std::uint16_t>(2 + 8 * buckets.size()));
    putU16(out, stringsPerBucket);
    for (const SstBucket& b : buckets) {
        putU32(out, b.streamOffset);
        putU16(out, b.recordOffset);
        putU16(out, 0);
    }
}

qsizetype appendIndex(QByteArray& out, std::uint32_t rowFirst, std::uint32_t rowLimit,
                      int blockCount) {
    putHeader(out, kIndex, static_cast<std::uint16_t>(16 + 4 * blockCount));
    putU32(out, 0);
    putU32(out, rowFirst);
    putU32(out, rowLimit);
    putU32(out, 0); // DEFCOLWIDTH position, patched
    const qsizetype firstSlot = out.size();
    for (int i = 0; i < blockCount; ++i)
        putU32(out, 0);
    return firstSlot;
}

void appendDefaultRowHeight(QByteArray& out) {
    putHeader(out, kDefaultRowHeight, 4);
    putU16(out, 0);
    putU16(out, kDefaultRowTwips);
}

void appendWsBool(QByteArray& out, bool fitToPages) {
    putHeader(out, kWsBool, 2);
    // Automatic page breaks shown, outline summaries below and right; 0x0100 prints the sheet
    // fitted to the SETUP record's pages.
    putU16(out, fitToPages ? 0x05C1 : 0x04C1);
}

void appendHeader(QByteArray& out) {
    putHeader(out, kHeader, 0); // no header
}

void appendFooter(QByteArray& out) {
    putHeader(out, kFooter, 0); // no footer
}

void appendHCenter(QByteArray& out, bool centred) {
    putHeader(out, kHCenter, 2);
    putU16(out, centred ? 1 : 0);
}

void appendVCenter(QByteArray& out, bool centred) {
    putHeader(out, kVCenter, 2);
    putU16(out, centred ? 1 : 0);
}

void appendSetup(QByteArray& out, const SetupRecord& setup) {
    putHeader(out, kSetup, 34);
    putU16(out, setup.paper);
    putU16(out, 100); // scale in per cent, when not fitted
    putU16(out, 1);   // first page number
    putU16(out, setup.fitWidth);
    putU16(out, setup.fitHeight);
    // Pages down, then across; orientation and paper are set (0x0004 would mark them unset).
    putU16(out, setup.landscape ? 0x0000 : 0x0002);
    putU16(out, 600); // horizontal and vertical print resolution, dpi
    putU16(out, 600);
    putU32(out, 0); // header and footer margins: 0.5 in each, as a double
    putU32(out, 0x3FE00000);
    putU32(out, 0);
    putU32(out, 0x3FE00000);
    putU16(out, 1); // copies
}

void appendDefColWidth(QByteArray& out) {
    putHeader(out, kDefColWidth, 2);
    putU16(out, 8);
}

void appendColInfo(QByteArray& out, std::uint16_t colFirst, std::uint16_t colLast,
                   std::uint16_t coldx, std::uint16_t ixfe, bool userWidth) {
    putHeader(out, kColInfo, 12);
    putU16(out, colFirst);
    putU16(out, colLast);
    putU16(out, coldx);
    putU16(out, ixfe);
    putU16(out, userWidth ? 0x0002 : 0);
    putU16(out, 0);
}

void appendDimensions(QByteArray& out, std::uint32_t rowFirst, std::uint32_t rowLimit,
                      std::uint16_t colFirst, std::uint16_t colLimit) {
    putHeader(out, kDimensions, 14);
    putU32(out, rowFirst);
    putU32(out, rowLimit);
    putU16(out, colFirst);
    putU16(out, colLimit);
    putU16(out, 0);
}

void appendRow(QByteArray& out, std::uint16_t row, std::uint16_t colFirst, std::uint16_t colLimit,
               std::uint16_t heightTwips) {
    RecordSpace r(out, kRow, 16);
    r.u16(row);
    r.u16(colFirst);
    r.u16(colLimit);
    r.u16(heightTwips ? heightTwips : kDefaultRowTwips);
    r.u16(0);
    r.u16(0);
    // Bit 8 is always set; fUnsynced (0x40) keeps an explicit height; default XF 15.
    r.u32(0x0100u | (heightTwips ? 0x40u : 0u) | (std::uint32_t(kDefaultCellXf) << 16));
}

void appendDbCell(QByteArray& out, std::uint32_t backToFirstRow,
                  std::span<const std::uint16_t> cellOffsets) {
    RecordSpace r(out, kDbCell, static_cast<std::uint16_t>(4 + 2 * cellOffsets.size()));
    r.u32(backToFirstRow);
    for (std::uint16_t offset : cellOffsets)
        r.u16(offset);
}

void appendBlank(QByteArray& out, std::uint16_t row, std::uint16_t col, std::uint16_t ixfe) {
    RecordSpace r(out, kBlank, 6);
    r.u16(row);
    r.u16(col);
    r.u16(ixfe);
}

void appendMulBlank(QByteArray& out, std::uint16_t row, std::uint16_t colFirst,
                    std::span<const std::uint16_t> ixfes) {
    RecordSpace r(out, kMulBlank, static_cast<std::uint16_t>(6 + 2 * ixfes.size()));
    r.u16(row);
    r.u16(colFirst);
    for (std::uint16_t ixfe : ixfes)
        r.u16(ixfe);
    r.u16(static_cast<std::uint16_t>(colFirst + ixfes.size() - 1));
}

void appendLabelSst(QByteArray& out, std::uint16_t row, std::uint16_t col, std::uint16_t ixfe,
                    std::uint32_t isst) {
    RecordSpace r(out, kLabelSst, 10);
    r.u16(row);
    r.u16(col);
    r.u16(ixfe);
    r.u32(isst);
}

void appendMergedCells(QByteArray& out, std::span<const MergeArea> areas) {
    while (!areas.empty()) {
        const auto chunk = areas.first(std::min<std::size_t>(areas.size(), kMaxMergesPerRecord));
        putHeader(out, kMergedCells, static_cast<std::uint16_t>(2 + 8 * chunk.size()));
        putU16(out, static_cast<std::uint16_t>(chunk.size()));
        for (const MergeArea& m : chunk) {
            putU16(out, m.rowFirst);
            putU16(out, m.rowLast);
            putU16(out, m.colFirst);
            putU16(out, m.colLast);
        }
        areas = areas.subspan(chunk.size());
    }
}

void appendWindow2(QByteArray& out, bool active) {
    putHeader(out, kWindow2, 18);
    // Grid lines, headers, zeros, default grid colour, outline symbols; the active sheet is
    // also selected and displayed.
    putU16(out, active ? 0x06B6 : 0x00B6);
    putU16(out, 0);    // top row
    putU16(out, 0);    // left column
    putU16(out, 0x40); // grid line colour: automatic
    putU16(out, 0);
    putU16(out, 0); // zoom in page break preview: default
    putU16(out, 0); // zoom in normal view: default
    putU32(out, 0);
}

} // namespace pq::engine::biff
