#pragma once

// BIFF8 records: one function appends one record (header and data) to a stream buffer, byte
// for byte as the 97-2003 workbook format lays it out. Rows and columns here are 0-based.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <span>
#include <vector>

namespace pq::engine::biff {

enum RecordId : std::uint16_t {
    kBof = 0x0809,
    kEof = 0x000A,
    kContinue = 0x003C,
    kCodePage = 0x0042,
    kWindow1 = 0x003D,
    kFont = 0x0031,
    kXf = 0x00E0,
    kStyle = 0x0293,
    kBoundSheet = 0x0085,
    kCountry = 0x008C,
    kSst = 0x00FC,
    kExtSst = 0x00FF,
    kIndex = 0x020B,
    kDefaultRowHeight = 0x0225,
    kWsBool = 0x0081,
    kDefColWidth = 0x0055,
    kColInfo = 0x007D,
    kDimensions = 0x0200,
    kRow = 0x0208,
    kDbCell = 0x00D7,
    kBlank = 0x0201,
    kMulBlank = 0x00BE,
    kLabelSst = 0x00FD,
    kLabel = 0x0204,
    kNumber = 0x0203,
    kRk = 0x027E,
    kMulRk = 0x00BD,
    kMergedCells = 0x00E5,
    kWindow2 = 0x023E,
    kHeader = 0x0014,
    kFooter = 0x0015,
    kHCenter = 0x0083,
    kVCenter = 0x0084,
    kSetup = 0x00A1,
    kSupBook = 0x01AE,
    kExternSheet = 0x0017,
    kName = 0x0018,
};

inline constexpr int kMaxRecordData = 8224; // longer data goes into CONTINUE records
inline constexpr std::uint16_t kBiff8Version = 0x0600;
inline constexpr std::uint16_t kGlobalsType = 0x0005;
inline constexpr std::uint16_t kWorksheetType = 0x0010;
inline constexpr std::uint16_t kDefaultRowTwips = 255; // 12.75 pt, the Arial 10 row
inline constexpr std::uint16_t kIcvFontAuto = 0x7FFF;
inline constexpr std::uint8_t kIcvForeground = 0x40; // window text
inline constexpr std::uint8_t kIcvBackground = 0x41; // window background
inline constexpr std::uint8_t kIcvBlack = 0x08;
inline constexpr int kMaxMergesPerRecord = 1026;
inline constexpr std::uint16_t kFirstCellXf = 16; // after the 15 style XFs and the default cell XF
inline constexpr std::uint16_t kDefaultCellXf = 15;

struct FontRecord {
    QString name;
    std::uint16_t heightTwips = 200;
    std::uint16_t icv = kIcvFontAuto;
    bool operator==(const FontRecord&) const = default;
};

// The fields of an XF this engine writes and reads; the rest stay at their defaults.
struct XfRecord {
    std::uint16_t ifnt = 0;
    bool style = false;
    std::uint8_t alc = 0; // 0 general, 1 left, 2 centre, 3 right
    bool shrinkToFit = false;
    std::uint8_t dgLeft = 0, dgRight = 0, dgTop = 0, dgBottom = 0;
    std::uint8_t icvLeft = 0, icvRight = 0, icvTop = 0, icvBottom = 0;
    std::uint8_t fls = 0; // fill pattern, 1 = solid
    std::uint8_t icvFore = kIcvForeground;
    std::uint8_t icvBack = kIcvBackground;
    std::uint8_t usedAttributes = 0xF8; // bits 2..7 of byte 9
    bool operator==(const XfRecord&) const = default;
};

struct MergeArea {
    std::uint16_t rowFirst, rowLast;
    std::uint8_t colFirst, colLast;
};

// A rectangle of 0-based rows and columns, both ends included, as formulas refer to it.
struct CellArea {
    std::uint16_t rowFirst = 0, rowLast = 0, colFirst = 0, colLast = 0;
    bool operator==(const CellArea&) const = default;
};

// The built-in names a sheet's page set-up uses.
enum BuiltInName : std::uint8_t { kPrintArea = 0x06, kPrintTitles = 0x07 };

// The page set-up's fields this engine writes and reads.
struct SetupRecord {
    std::uint16_t fitWidth = 1, fitHeight = 1; // pages; 0: as many as needed
    bool landscape = false;
    std::uint16_t paper = 9; // A4
    bool operator==(const SetupRecord&) const = default;
};
inline constexpr std::uint16_t kPaperA4 = 9;

// Where a bucket of strings starts, for EXTSST.
struct SstBucket {
    std::uint32_t streamOffset; // absolute offset of the bucket's first string
    std::uint16_t recordOffset; // offset inside its SST/CONTINUE record, header included
};

// ---- little-endian helpers ----
void putU8(QByteArray& out, std::uint8_t v);
void putU16(QByteArray& out, std::uint16_t v);
void putU32(QByteArray& out, std::uint32_t v);
void patchU16(QByteArray& out, qsizetype at, std::uint16_t v);
void patchU32(QByteArray& out, qsizetype at, std::uint32_t v);
void putHeader(QByteArray& out, std::uint16_t id, std::uint16_t length);
bool fitsLatin1(QStringView text);

// ---- column widths (Normal font Arial 10: maximum digit width 7 px, 5 px padding) ----
std::uint16_t columnWidthToColdx(double characters);
double coldxToColumnWidth(std::uint16_t coldx);
inline constexpr double kDefaultColumnWidth = 8.43;

// Row height in twips that shows a font of the given height uncut (rounded up to 0.75 pt).
std::uint16_t rowTwipsForFont(std::uint16_t fontTwips);

// ---- globals substream ----
void appendBof(QByteArray& out, std::uint16_t substreamType);
void appendEof(QByteArray& out);
void appendCodePage(QByteArray& out);
void appendWindow1(QByteArray& out, std::uint16_t activeSheet);
void appendFont(QByteArray& out, const FontRecord& font);
void appendXf(QByteArray& out, const XfRecord& xf);
void appendNormalStyle(QByteArray& out);
// Returns the position of lbPlyPos, to be patched once the sheet's offset is known.
qsizetype appendBoundSheet(QByteArray& out, const QString& name);
void appendCountry(QByteArray& out);
// The workbook's reference to itself, which defined names on its sheets go through.
void appendSupBookSelf(QByteArray& out, std::uint16_t sheetCount);
// One reference per listed sheet (0-based), each to that sheet alone.
void appendExternSheet(QByteArray& out, std::span<const std::uint16_t> sheets);
// A built-in name local to a sheet (0-based), referring to an area through the EXTERNSHEET
// reference `ixti`.
void appendBuiltInName(QByteArray& out, BuiltInName name, std::uint16_t sheet, std::uint16_t ixti,
                       const CellArea& area);
// SST plus CONTINUE records; returns the start of every dsst-th string for EXTSST.
std::vector<SstBucket> appendSst(QByteArray& out, const QStringList& strings,
                                 std::uint32_t totalReferences, int stringsPerBucket);
void appendExtSst(QByteArray& out, std::uint16_t stringsPerBucket,
                  std::span<const SstBucket> buckets);
int sstStringsPerBucket(qsizetype uniqueStrings);

// ---- worksheet substream ----
// INDEX with room for the given number of DBCELL positions, all patched later; returns the
// position of the first DBCELL slot (the DEFCOLWIDTH slot sits 4 bytes before it).
qsizetype appendIndex(QByteArray& out, std::uint32_t rowFirst, std::uint32_t rowLimit,
                      int blockCount);
void appendDefaultRowHeight(QByteArray& out);
void appendWsBool(QByteArray& out, bool fitToPages);
// The page set-up block: no header or footer, the centring and the SETUP record.
void appendHeader(QByteArray& out);
void appendFooter(QByteArray& out);
void appendHCenter(QByteArray& out, bool centred);
void appendVCenter(QByteArray& out, bool centred);
void appendSetup(QByteArray& out, const SetupRecord& setup);
void appendDefColWidth(QByteArray& out);
void appendColInfo(QByteArray& out, std::uint16_t colFirst, std::uint16_t colLast,
                   std::uint16_t coldx, std::uint16_t ixfe, bool userWidth);
void appendDimensions(QByteArray& out, std::uint32_t rowFirst, std::uint32_t rowLimit,
                      std::uint16_t colFirst, std::uint16_t colLimit);
// heightTwips 0: the default height, kept in sync with the fonts.
void appendRow(QByteArray& out, std::uint16_t row, std::uint16_t colFirst, std::uint16_t colLimit,
               std::uint16_t heightTwips);
void appendDbCell(QByteArray& out, std::uint32_t backToFirstRow,
                  std::span<const std::uint16_t> cellOffsets);
void appendBlank(QByteArray& out, std::uint16_t row, std::uint16_t col, std::uint16_t ixfe);
void appendMulBlank(QByteArray& out, std::uint16_t row, std::uint16_t colFirst,
                    std::span<const std::uint16_t> ixfes);
void appendLabelSst(QByteArray& out, std::uint16_t row, std::uint16_t col, std::uint16_t ixfe,
                    std::uint32_t isst);
// As many MERGEDCELLS records as the areas need.
void appendMergedCells(QByteArray& out, std::span<const MergeArea> areas);
void appendWindow2(QByteArray& out, bool active);

} // namespace pq::engine::biff
