#include "biffreader.h"

#include "base/failure.h"
#include "biffrecords.h"
#include "biffstyles.h"

#include <QtEndian>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>

namespace pq::engine::biff {

namespace {

constexpr std::uint16_t kFormula = 0x0006;
constexpr std::uint16_t kBoolErr = 0x0205;

[[noreturn]] void corrupt(const QString& what) {
    throw Failure(QStringLiteral("Corrupt workbook file: %1").arg(what));
}

struct Record {
    std::uint16_t id = 0;
    qsizetype offset = 0; // of the record header in the stream
    QByteArrayView data;
};

// Record framing over the stream; a header or body that runs past the end is an error.
class RecordStream {
public:
    RecordStream(const QByteArray& stream, qsizetype position)
        : mStream(stream), mPosition(position) {}

    bool atEnd() const { return mPosition >= mStream.size(); }
    qsizetype position() const { return mPosition; }

    std::uint16_t peekId() const {
        if (mStream.size() - mPosition < 4)
            return 0;
        return qFromLittleEndian<std::uint16_t>(mStream.constData() + mPosition);
    }

    Record next() {
        if (mStream.size() - mPosition < 4)
            corrupt(QStringLiteral("truncated record at offset %1").arg(mPosition));
        Record r;
        r.offset = mPosition;
        r.id = qFromLittleEndian<std::uint16_t>(mStream.constData() + mPosition);
        const auto length = qFromLittleEndian<std::uint16_t>(mStream.constData() + mPosition + 2);
        if (mStream.size() - mPosition - 4 < length)
            corrupt(QStringLiteral("truncated record at offset %1").arg(mPosition));
        r.data = QByteArrayView(mStream.constData() + mPosition + 4, length);
        mPosition += 4 + length;
        return r;
    }

private:
    const QByteArray& mStream;
    qsizetype mPosition;
};

// Bounds-checked little-endian fields of one record.
class Fields {
public:
    explicit Fields(const Record& record) : mRecord(record) {}

    qsizetype remaining() const { return mRecord.data.size() - mPosition; }
    void need(qsizetype bytes) const {
        if (remaining() < bytes)
            corrupt(QStringLiteral("record 0x%1 at offset %2 is too short")
                        .arg(mRecord.id, 4, 16, QLatin1Char('0'))
                        .arg(mRecord.offset));
    }
    std::uint8_t u8() {
        need(1);
        return static_cast<std::uint8_t>(mRecord.data[mPosition++]);
    }
    std::uint16_t u16() { return static_cast<std::uint16_t>(take<std::uint16_t>()); }
    std::uint32_t u32() { return take<std::uint32_t>(); }
    double f64() {
        const std::uint64_t bits = take<std::uint64_t>();
        double v;
        std::memcpy(&v, &bits, 8);
        return v;
    }
    void skip(qsizetype bytes) {
        need(bytes);
        mPosition += bytes;
    }
    QString chars(qsizetype count, bool highByte) {
        need(count * (highByte ? 2 : 1));
        QString text(count, Qt::Uninitialized);
        for (qsizetype i = 0; i < count; ++i)
            text[i] = highByte ? QChar(u16()) : QChar(u8());
        return text;
    }
    const Record& record() const { return mRecord; }

private:
    template<class T> T take() {
        need(sizeof(T));
        const T v = qFromLittleEndian<T>(mRecord.data.data() + mPosition);
        mPosition += sizeof(T);
        return v;
    }

    const Record& mRecord;
    qsizetype mPosition = 0;
};

// SST data spread over the SST record and its CONTINUE records. Character data that crosses a
// record boundary restarts with one flags byte giving the encoding of the rest.
class ContinuedData {
public:
    void add(QByteArrayView piece) {
        mPieces.push_back(piece);
        mTotal += piece.size();
    }
    qsizetype total() const { return mTotal; }
    bool atEnd() {
        settle();
        return mPiece >= mPieces.size();
    }
    std::uint8_t u8() {
        settle();
        if (mPiece >= mPieces.size())
            corrupt(QStringLiteral("shared string table ends inside a string"));
        return static_cast<std::uint8_t>(mPieces[mPiece][mPosition++]);
    }
    std::uint16_t u16() { return static_cast<std::uint16_t>(u8() | u8() << 8); }
    std::uint32_t u32() { return u16() | static_cast<std::uint32_t>(u16()) << 16; }
    void skip(std::uint64_t bytes) {
        while (bytes > 0) {
            settle();
            if (mPiece >= mPieces.size())
                corrupt(QStringLiteral("shared string table ends inside a string"));
            const auto step = std::min<std::uint64_t>(bytes, mPieces[mPiece].size() - mPosition);
            mPosition += static_cast<qsizetype>(step);
            bytes -= step;
        }
    }
    QString chars(int count, bool highByte) {
        QString text;
        text.reserve(count);
        while (text.size() < count) {
            if (mPiece < mPieces.size() && mPosition == mPieces[mPiece].size()) {
                ++mPiece;
                mPosition = 0;
                highByte = u8() & 0x01;
            }
            if (mPiece >= mPieces.size())
                corrupt(QStringLiteral("shared string table ends inside a string"));
            const QByteArrayView piece = mPieces[mPiece];
            const int width = highByte ? 2 : 1;
            const qsizetype available = (piece.size() - mPosition) / width;
            if (available == 0)
                corrupt(QStringLiteral("shared string splits a character"));
            const qsizetype n = std::min<qsizetype>(available, count - text.size());
            for (qsizetype i = 0; i < n; ++i, mPosition += width)
                text.append(highByte
                                ? QChar(qFromLittleEndian<std::uint16_t>(piece.data() + mPosition))
                                : QChar(static_cast<std::uint8_t>(piece[mPosition])));
        }
        return text;
    }

private:
    // Moves past exhausted pieces (outside character data, boundaries carry no flags byte).
    void settle() {
        while (mPiece < mPieces.size() && mPosition >= mPieces[mPiece].size()) {
            ++mPiece;
            mPosition = 0;
        }
    }

    std::vector<QByteArrayView> mPieces;
    std::size_t mPiece = 0;
    qsizetype mPosition = 0;
    qsizetype mTotal = 0;
};

QStringList parseSst(ContinuedData& data) {
    const std::uint32_t total = data.u32();
    Q_UNUSED(total);
    const std::uint32_t unique = data.u32();
    QStringList strings;
    // The declared count is only a hint: never trust it for allocation or looping.
    strings.reserve(std::min<qsizetype>(unique, data.total() / 3));
    while (static_cast<std::uint32_t>(strings.size()) < unique && !data.atEnd()) {
        const std::uint16_t count = data.u16();
        const std::uint8_t flags = data.u8();
        const std::uint16_t runs = (flags & 0x08) ? data.u16() : 0;
        const std::uint32_t extension = (flags & 0x04) ? data.u32() : 0;
        if (count > 32767)
            corrupt(QStringLiteral("shared string longer than 32767 characters"));
        strings.push_back(data.chars(count, flags & 0x01));
        data.skip(4ull * runs + extension);
    }
    return strings;
}

// ShortXLUnicodeString (1-byte count) or XLUnicodeString (2-byte count).
QString readString(Fields& f, bool shortCount) {
    const std::uint16_t count = shortCount ? f.u8() : f.u16();
    const bool highByte = f.u8() & 0x01;
    return f.chars(count, highByte);
}

double rkValue(std::uint32_t rk) {
    double value;
    if (rk & 0x02) {
        value = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = static_cast<std::uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&value, &bits, 8);
    }
    return (rk & 0x01) ? value / 100.0 : value;
}

// A number as the General format shows it.
QString numberText(double value) {
    if (std::isnan(value) || std::isinf(value))
        return QStringLiteral("#NUM!");
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        return QString::number(static_cast<qint64>(value));
    return QString::number(value, 'G', 15);
}

struct SheetEntry {
    QString name;
    std::uint32_t offset = 0;
    int tab = 0;
};

// A built-in print name's area, local to the sheet with the tab index `tab`.
struct PrintName {
    std::uint8_t code = 0;
    int tab = 0;
    CellArea area;
};

struct Globals {
    std::vector<FontRecord> fonts;
    std::vector<XfRecord> xfs;
    std::vector<SheetEntry> sheets;
    QStringList strings;
    int activeTab = 0;
    std::vector<PrintName> printNames;
    qsizetype end = 0; // where the globals' records end
};

// The first area a name's formula refers to: a 3-D reference, alone or in a union. Other
// formulas give nothing.
std::optional<CellArea> formulaArea(Fields& f, qsizetype length) {
    f.need(length);
    const qsizetype end = f.remaining() - length;
    while (f.remaining() > end) {
        const std::uint8_t ptg = f.u8();
        if (ptg == 0x29) { // the union's length: the areas follow
            f.skip(2);
        } else if (ptg == 0x3B || ptg == 0x5B || ptg == 0x7B) { // PtgArea3d in any class
            f.skip(2);
            CellArea a;
            a.rowFirst = f.u16();
            a.rowLast = f.u16();
            a.colFirst = f.u16() & 0x3FFF;
            a.colLast = f.u16() & 0x3FFF;
            return a;
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// Print area and print titles; other names are not kept.
void readName(Fields f, Globals& g) {
    const std::uint16_t flags = f.u16();
    f.skip(1);
    const std::uint8_t length = f.u8();
    const std::uint16_t formulaLength = f.u16();
    f.skip(2);
    const std::uint16_t itab = f.u16();
    f.skip(4);
    const bool highByte = f.u8() & 0x01;
    if (!(flags & 0x0020) || length != 1 || itab == 0)
        return;
    const std::uint16_t code = highByte ? f.u16() : f.u8();
    if (code != kPrintArea && code != kPrintTitles)
        return;
    if (const auto area = formulaArea(f, formulaLength))
        g.printNames.push_back({static_cast<std::uint8_t>(code), itab - 1, *area});
}

FontRecord parseFont(Fields f) {
    FontRecord font;
    font.heightTwips = f.u16();
    f.skip(2);
    font.icv = f.u16();
    f.skip(8);
    font.name = readString(f, true);
    return font;
}

XfRecord parseXf(Fields f) {
    XfRecord xf;
    xf.ifnt = f.u16();
    f.skip(2);
    xf.style = f.u16() & 0x0004;
    xf.alc = f.u8() & 0x07;
    f.skip(1);
    xf.shrinkToFit = f.u8() & 0x10;
    xf.usedAttributes = f.u8() & 0xFC;
    const std::uint32_t borders = f.u32();
    const std::uint32_t more = f.u32();
    const std::uint16_t fill = f.u16();
    xf.dgLeft = borders & 0xF;
    xf.dgRight = (borders >> 4) & 0xF;
    xf.dgTop = (borders >> 8) & 0xF;
    xf.dgBottom = (borders >> 12) & 0xF;
    xf.icvLeft = (borders >> 16) & 0x7F;
    xf.icvRight = (borders >> 23) & 0x7F;
    xf.icvTop = more & 0x7F;
    xf.icvBottom = (more >> 7) & 0x7F;
    xf.fls = (more >> 26) & 0x3F;
    xf.icvFore = fill & 0x7F;
    xf.icvBack = (fill >> 7) & 0x7F;
    return xf;
}

void checkBof(const Record& r, std::uint16_t expectedType) {
    if (r.id != kBof)
        throw Failure(QStringLiteral("The file is not a 97–2003 workbook"));
    Fields f(r);
    const std::uint16_t version = f.u16();
    const std::uint16_t type = f.u16();
    if (version != kBiff8Version)
        throw Failure(
            QStringLiteral("The file is an older Excel workbook, not a 97–2003 workbook"));
    if (type != expectedType)
        corrupt(QStringLiteral("unexpected substream type 0x%1 at offset %2")
                    .arg(type, 4, 16, QLatin1Char('0'))
                    .arg(r.offset));
}

Globals readGlobals(const QByteArray& stream) {
    RecordStream records(stream, 0);
    if (records.atEnd())
        throw Failure(QStringLiteral("The file is not a 97–2003 workbook"));
    checkBof(records.next(), kGlobalsType);
    Globals g;
    int tab = 0;
    while (!records.atEnd()) {
        const Record r = records.next();
        g.end = records.position();
        if (r.id == kEof)
            break;
        switch (r.id) {
        case kFont:
            g.fonts.push_back(parseFont(Fields(r)));
            break;
        case kXf:
            g.xfs.push_back(parseXf(Fields(r)));
            break;
        case kWindow1: {
            Fields f(r);
            f.skip(10);
            g.activeTab = f.u16();
            break;
        }
        case kBoundSheet: {
            Fields f(r);
            SheetEntry sheet;
            sheet.offset = f.u32();
            f.skip(1);
            const std::uint8_t type = f.u8();
            sheet.name = readString(f, true);
            sheet.tab = tab++;
            if (type == 0) // worksheets; charts and macro sheets are skipped
                g.sheets.push_back(sheet);
            break;
        }
        case kName:
            readName(Fields(r), g);
            break;
        case kSst: {
            ContinuedData data;
            data.add(r.data);
            while (records.peekId() == kContinue)
                data.add(records.next().data);
            g.strings = parseSst(data);
            break;
        }
        default:
            break;
        }
    }
    return g;
}

// Per-sheet reading state: column facts gathered from COLINFO, applied at the end.
class SheetReader {
public:
    SheetReader(SheetModel& sheet, const Globals& globals,
                const std::vector<std::uint32_t>& xfFormats)
        : mSheet(sheet), mGlobals(globals), mXfFormats(xfFormats) {
        mColumnXf.fill(kDefaultCellXf);
    }

    // Reads the sheet's records from `offset`; they must end before `limit`, where the next
    // sheet's records begin.
    void read(const QByteArray& stream, std::uint32_t offset, qsizetype limit) {
        if (offset >= static_cast<std::uint64_t>(stream.size()))
            corrupt(QStringLiteral("sheet \"%1\" starts past the end of the workbook stream")
                        .arg(mSheet.name()));
        // Every cell takes at least two bytes of the sheet's records (in a MULBLANK), so room
        // reserved beyond that is room no cell of the file can fill.
        mCellsToReserve = (limit - static_cast<qsizetype>(offset)) / 2;
        RecordStream records(stream, offset);
        checkBof(records.next(), kWorksheetType);
        int depth = 1; // embedded substreams (charts) end with their own EOF
        while (depth > 0 && !records.atEnd()) {
            const Record r = records.next();
            if (records.position() > limit)
                corrupt(QStringLiteral("sheet \"%1\" runs into the next sheet at offset %2")
                            .arg(mSheet.name())
                            .arg(limit));
            if (r.id == kBof)
                ++depth;
            else if (r.id == kEof)
                --depth;
            else if (depth == 1)
                readRecord(r);
        }
        applyColumns();
    }

private:
    void readRecord(const Record& r) {
        Fields f(r);
        switch (r.id) {
        case kColInfo:
            readColumnInfo(f);
            break;
        case kDimensions:
            readDimensions(f);
            break;
        case kRow:
            readRow(f);
            break;
        case kLabelSst: {
            const auto [row, col, xf] = cellHeader(f);
            const std::uint32_t index = f.u32();
            if (index >= static_cast<std::uint32_t>(mGlobals.strings.size()))
                corrupt(QStringLiteral("shared string %1 does not exist (offset %2)")
                            .arg(index)
                            .arg(r.offset));
            putCell(row, col, xf, mGlobals.strings[index]);
            break;
        }
        case kLabel: {
            const auto [row, col, xf] = cellHeader(f);
            putCell(row, col, xf, readString(f, false));
            break;
        }
        case kNumber: {
            const auto [row, col, xf] = cellHeader(f);
            putCell(row, col, xf, numberText(f.f64()));
            break;
        }
        case kRk: {
            const auto [row, col, xf] = cellHeader(f);
            putCell(row, col, xf, numberText(rkValue(f.u32())));
            break;
        }
        case kFormula:
            readFormula(f);
            break;
        case kBoolErr: {
            const auto [row, col, xf] = cellHeader(f);
            const std::uint8_t value = f.u8();
            const bool isError = f.u8();
            putCell(row, col, xf,
                    isError ? QStringLiteral("#N/A")
                            : (value ? QStringLiteral("TRUE") : QStringLiteral("FALSE")));
            break;
        }
        case kBlank: {
            const auto [row, col, xf] = cellHeader(f);
            putCell(row, col, xf, {});
            break;
        }
        case kMulBlank:
            readMultiple(f, 2);
            break;
        case kMulRk:
            readMultiple(f, 6);
            break;
        case kMergedCells:
            readMerges(f);
            break;
        case kWsBool:
            mSheet.pageSetup().fitToPages = f.u16() & 0x0100;
            break;
        case kHCenter:
            mSheet.pageSetup().centerHorizontally = f.u16() != 0;
            break;
        case kSetup:
            readSetup(f);
            break;
        default:
            break;
        }
    }

    struct CellHeader {
        int row, col;
        std::uint16_t xf;
    };

    CellHeader cellHeader(Fields& f) {
        const int row = f.u16();
        const int col = f.u16();
        return {row, col, f.u16()};
    }

    void putCell(int row, int col, std::uint16_t xf, const QString& value) {
        if (col >= kMaxColumns)
            corrupt(QStringLiteral("cell in column %1 lies outside the sheet").arg(col + 1));
        if (xf >= mXfFormats.size())
            corrupt(QStringLiteral("cell refers to missing format %1").arg(xf));
        // A cell written twice keeps its first record, as the application shows it.
        if (mSheet.cell(row + 1, col + 1))
            return;
        Cell& cell = mSheet.touchCell(row + 1, col + 1);
        cell.format = mXfFormats[xf];
        cell.setValue(value);
    }

    // MULBLANK (2 bytes per cell: XF) and MULRK (6 bytes per cell: XF and RK number).
    void readMultiple(Fields& f, int bytesPerCell) {
        const int row = f.u16();
        const int colFirst = f.u16();
        const qsizetype cells = (f.remaining() - 2) / bytesPerCell;
        if (cells < 1 || f.remaining() != 2 + cells * bytesPerCell)
            corrupt(QStringLiteral("malformed multiple-cell record at offset %1")
                        .arg(f.record().offset));
        for (qsizetype i = 0; i < cells; ++i) {
            const std::uint16_t xf = f.u16();
            const QString value = bytesPerCell == 6 ? numberText(rkValue(f.u32())) : QString();
            putCell(row, colFirst + static_cast<int>(i), xf, value);
        }
        if (f.u16() != colFirst + cells - 1)
            corrupt(QStringLiteral("malformed multiple-cell record at offset %1")
                        .arg(f.record().offset));
    }

    // Only a formula's cached number is kept; other results leave a formatted blank.
    void readFormula(Fields& f) {
        const auto [row, col, xf] = cellHeader(f);
        f.need(8);
        Fields peek = f;
        peek.skip(6);
        const bool special = peek.u16() == 0xFFFF;
        putCell(row, col, xf, special ? QString() : numberText(f.f64()));
    }

    void readColumnInfo(Fields& f) {
        const int first = f.u16();
        const int last = f.u16();
        const std::uint16_t coldx = f.u16();
        const std::uint16_t xf = f.u16();
        const std::uint16_t flags = f.u16();
        if (xf >= mXfFormats.size())
            corrupt(QStringLiteral("column format refers to missing format %1").arg(xf));
        const double width = coldxToColumnWidth(coldx);
        const bool customWidth =
            (flags & 0x0002) || std::fabs(width - kDefaultColumnWidth) >= 0.005;
        for (int c = first; c <= std::min(last, kMaxColumns - 1); ++c) {
            mColumnXf[c] = xf;
            if (customWidth)
                mSheet.setColumnWidth(c + 1, c + 1, width);
        }
    }

    // The used rows, to reserve room for them; a wrong figure costs time, never cells.
    void readDimensions(Fields& f) {
        f.skip(4);
        mSheet.reserveRows(static_cast<int>(std::min<std::uint32_t>(f.u32(), kMaxRows)));
    }

    void readRow(Fields& f) {
        const int row = f.u16();
        const int colFirst = f.u16();
        const int colLimit = f.u16();
        const qsizetype cells = std::clamp<qsizetype>(colLimit - colFirst, 0, mCellsToReserve);
        mCellsToReserve -= cells;
        mSheet.reserveRow(row + 1, static_cast<int>(cells));
        const std::uint16_t height = f.u16() & 0x7FFF;
        f.skip(4);
        const std::uint32_t flags = f.u32();
        if (flags & 0x40) // a height set on purpose, not derived from the fonts
            mSheet.setRowHeight(row + 1, height / 20.0);
    }

    void readSetup(Fields& f) {
        PageSetup& setup = mSheet.pageSetup();
        const std::uint16_t paper = f.u16();
        f.skip(4);
        setup.fitToPagesWide = f.u16();
        setup.fitToPagesTall = f.u16();
        const std::uint16_t flags = f.u16();
        // The paper counts only where the printer settings are set.
        setup.paperSize = (flags & 0x0004) || paper == 0 ? kPaperA4 : paper;
        // Orientation counts only where the printer settings and the orientation are set.
        setup.landscape = !(flags & 0x0044) && !(flags & 0x0002);
    }

    void readMerges(Fields& f) {
        const std::uint16_t count = f.u16();
        f.need(8 * qsizetype(count));
        for (int i = 0; i < count; ++i) {
            const int rowFirst = f.u16(), rowLast = f.u16();
            const int colFirst = f.u16(), colLast = f.u16();
            const bool valid = rowFirst <= rowLast && colFirst <= colLast &&
                               colLast < kMaxColumns &&
                               (rowFirst != rowLast || colFirst != colLast);
            if (valid)
                mSheet.restoreMerge({rowFirst + 1, colFirst + 1, rowLast + 1, colLast + 1});
        }
    }

    // The XF most columns share is the sheet-wide format; the others are column formats.
    void applyColumns() {
        std::map<std::uint16_t, int> counts;
        for (std::uint16_t xf : mColumnXf)
            ++counts[xf];
        const std::uint16_t common =
            std::max_element(counts.begin(), counts.end(), [](const auto& a, const auto& b) {
                return a.second < b.second;
            })->first;
        mSheet.setSheetFormatId(mXfFormats[common]);
        for (int c = 0; c < kMaxColumns; ++c)
            if (mColumnXf[c] != common)
                mSheet.setColumnFormatId(c + 1, c + 1, mXfFormats[mColumnXf[c]]);
    }

    SheetModel& mSheet;
    const Globals& mGlobals;
    const std::vector<std::uint32_t>& mXfFormats;
    qsizetype mCellsToReserve = 0;
    std::array<std::uint16_t, kMaxColumns> mColumnXf{};
};

const FontRecord& fontAt(const Globals& g, std::uint16_t ifnt) {
    // Font index 4 does not exist: indexes above it count from one.
    if (ifnt == 4 || (ifnt < 4 ? ifnt : ifnt - 1) >= static_cast<int>(g.fonts.size()))
        corrupt(QStringLiteral("format refers to missing font %1").arg(ifnt));
    return g.fonts[ifnt < 4 ? ifnt : ifnt - 1];
}

std::vector<std::uint32_t> internFormats(const Globals& g, FormatTable& formats) {
    std::vector<std::uint32_t> ids;
    ids.reserve(g.xfs.size());
    for (const XfRecord& xf : g.xfs)
        ids.push_back(formats.intern(formatFrom(xf, fontAt(g, xf.ifnt))));
    if (ids.size() <= kDefaultCellXf)
        corrupt(QStringLiteral("only %1 cell formats, at least 16 are required").arg(ids.size()));
    return ids;
}

CellRect rectOf(const CellArea& a) {
    return {a.rowFirst + 1, a.colFirst + 1, a.rowLast + 1, a.colLast + 1};
}

void applyPrintNames(const Globals& g, int tab, PageSetup& setup) {
    for (const PrintName& name : g.printNames) {
        const CellRect area = rectOf(name.area);
        const bool valid = area.top <= area.bottom && area.left <= area.right &&
                           area.bottom <= kMaxRows && area.right <= kMaxColumns;
        if (name.tab != tab || !valid)
            continue;
        if (name.code == kPrintArea) {
            setup.printArea = area;
        } else if (area.left == 1 && area.right == kMaxColumns) { // whole rows
            setup.titleRowFirst = area.top;
            setup.titleRowLast = area.bottom;
        }
    }
}

// Where each sheet's records must end: where the next sheet's begin. Every sheet owns its
// records, after the globals', so that no record is read twice and the work a file takes is
// bounded by its size: sheets that share or overlap records are refused.
std::vector<qsizetype> sheetLimits(const Globals& g, qsizetype streamSize) {
    std::vector<std::uint32_t> starts;
    for (const SheetEntry& entry : g.sheets)
        starts.push_back(entry.offset);
    std::sort(starts.begin(), starts.end());
    if (const auto twice = std::adjacent_find(starts.begin(), starts.end()); twice != starts.end())
        corrupt(QStringLiteral("two sheets start at offset %1").arg(*twice));
    if (!starts.empty() && starts.front() < g.end)
        corrupt(QStringLiteral("a sheet starts inside the workbook globals at offset %1")
                    .arg(starts.front()));
    std::vector<qsizetype> limits;
    for (const SheetEntry& entry : g.sheets) {
        const auto next = std::upper_bound(starts.begin(), starts.end(), entry.offset);
        limits.push_back(next == starts.end() ? streamSize : qsizetype(*next));
    }
    return limits;
}

} // namespace

std::unique_ptr<WorkbookModel> decodeWorkbookStream(const QByteArray& stream) {
    const Globals globals = readGlobals(stream);
    auto workbook = std::make_unique<WorkbookModel>();
    const std::vector<std::uint32_t> xfFormats = internFormats(globals, workbook->formats());
    if (globals.sheets.empty())
        corrupt(QStringLiteral("the workbook has no worksheets"));
    const std::vector<qsizetype> limits = sheetLimits(globals, stream.size());
    for (std::size_t i = 0; i < globals.sheets.size(); ++i) {
        const SheetEntry& entry = globals.sheets[i];
        SheetModel& sheet = workbook->addSheet(entry.name);
        SheetReader(sheet, globals, xfFormats).read(stream, entry.offset, limits[i]);
        applyPrintNames(globals, entry.tab, sheet.pageSetup());
        if (entry.tab == globals.activeTab)
            workbook->setActiveIndex(static_cast<int>(workbook->sheets().size()) - 1);
    }
    return workbook;
}

} // namespace pq::engine::biff
