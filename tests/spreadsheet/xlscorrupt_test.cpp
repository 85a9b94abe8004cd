// Damaged and hostile files: each one throws Failure with a description naming the problem;
// none crashes, hangs or throws anything else.

#include "spreadsheet/engine/xls/biffrecords.h"
#include "spreadsheet/engine/xls/compoundfile.h"
#include "spreadsheet/engine/xls/xlsfile.h"
#include "support/samplechart.h"

#include <QtEndian>
#include <gtest/gtest.h>
#include <malloc.h>
#include <random>

namespace pq::engine {
namespace {

QByteArray sampleFile() {
    WorkbookModel workbook;
    test::buildSampleChart(workbook, 5);
    return encodeXls(workbook);
}

// The description of the Failure decoding throws, or "" when the file decodes.
QString failureOf(const QByteArray& file) {
    try {
        decodeXls(file);
    } catch (const Failure& failure) {
        return failure.description();
    }
    return {};
}

void setU32(QByteArray& file, qsizetype at, std::uint32_t value) {
    qToLittleEndian(value, file.data() + at);
}

std::uint32_t u32(const QByteArray& file, qsizetype at) {
    return qFromLittleEndian<std::uint32_t>(file.constData() + at);
}

// The file offset of the "Workbook" directory entry (the second entry of the directory).
qsizetype workbookEntry(const QByteArray& file) {
    return (u32(file, 0x30) + 1) * 512 + 128;
}

QByteArray withStream(const QByteArray& stream) {
    return cfb::buildCompoundFile(QStringLiteral("Workbook"), stream);
}

TEST(XlsCorrupt, NonWorkbooksAreNamedAsSuch) {
    EXPECT_EQ(failureOf({}), QStringLiteral("The file is not a 97–2003 workbook"));
    std::mt19937 random(7);
    QByteArray noise(4096, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    EXPECT_EQ(failureOf(noise), QStringLiteral("The file is not a 97–2003 workbook"));
    EXPECT_EQ(failureOf(QByteArray("PK\x03\x04 a zip, not a workbook")),
              QStringLiteral("The file is not a 97–2003 workbook"));
    EXPECT_TRUE(failureOf(cfb::buildCompoundFile(QStringLiteral("Book"), QByteArray(100, '\0')))
                    .contains(QStringLiteral("older")));
    EXPECT_TRUE(failureOf(cfb::buildCompoundFile(QStringLiteral("Other"), QByteArray(10, 'x')))
                    .contains(QStringLiteral("no Workbook stream")));
}

TEST(XlsCorrupt, EveryTruncationFails) {
    const QByteArray file = sampleFile();
    for (qsizetype cut = 0; cut < file.size(); cut += 37) {
        const QString failure = failureOf(file.left(cut));
        EXPECT_FALSE(failure.isEmpty()) << "cut at " << cut;
    }
    EXPECT_TRUE(failureOf(file.left(file.size() - 10)).contains(QStringLiteral("truncated")));
}

TEST(XlsCorrupt, ContainerDamageIsDescribed) {
    const QByteArray file = sampleFile();
    const qsizetype fat = (u32(file, 0x4C) + 1) * 512;

    QByteArray loop = file;
    setU32(loop, fat + 4 * 2, 1); // sector 2 leads back to sector 1
    EXPECT_TRUE(failureOf(loop).contains(QStringLiteral("sector chain loop")));

    QByteArray outside = file;
    setU32(outside, fat + 4 * 1, 0x00FFFFFF);
    EXPECT_TRUE(failureOf(outside).contains(QStringLiteral("outside the file")));

    QByteArray huge = file;
    setU32(huge, workbookEntry(huge) + 0x78, 0x7FFFFFF0);
    EXPECT_TRUE(failureOf(huge).contains(QStringLiteral("exceeds the file size")));

    QByteArray fatCount = file;
    setU32(fatCount, 0x2C, 0x10000000);
    EXPECT_TRUE(failureOf(fatCount).contains(QStringLiteral("FAT size")));

    QByteArray shortChain = file;
    setU32(shortChain, workbookEntry(shortChain) + 0x78,
           static_cast<std::uint32_t>(file.size() - 600));
    EXPECT_FALSE(failureOf(shortChain).isEmpty());

    QByteArray directoryLoop = file;
    // Renamed, so the search walks on, and its own left sibling.
    directoryLoop[workbookEntry(directoryLoop) + 2 * 7] = 'x';
    setU32(directoryLoop, workbookEntry(directoryLoop) + 0x44, 1);
    EXPECT_TRUE(failureOf(directoryLoop).contains(QStringLiteral("loop")));
}

TEST(XlsCorrupt, RecordDamageIsDescribed) {
    QByteArray stream;
    biff::appendBof(stream, biff::kGlobalsType);
    biff::putHeader(stream, 0x1234, 4080);
    stream.append(4080, '\0');
    biff::putHeader(stream, 0x1234, 100); // declares more than the stream holds
    stream.append(6, '\0');
    EXPECT_EQ(failureOf(withStream(stream)),
              QStringLiteral("Corrupt workbook file: truncated record at offset 4104"));

    QByteArray notBiff8;
    biff::putHeader(notBiff8, biff::kBof, 8);
    biff::putU16(notBiff8, 0x0500);
    biff::putU16(notBiff8, biff::kGlobalsType);
    biff::putU32(notBiff8, 0);
    EXPECT_TRUE(failureOf(withStream(notBiff8)).contains(QStringLiteral("older")));
}

// A workbook stream with the given records between the globals' fonts/XFs and its EOF.
QByteArray globalsWith(const std::function<void(QByteArray&)>& extra, int fonts = 4) {
    QByteArray stream;
    biff::appendBof(stream, biff::kGlobalsType);
    for (int i = 0; i < fonts; ++i)
        biff::appendFont(stream, {QStringLiteral("Arial"), 200, biff::kIcvFontAuto});
    for (int i = 0; i < 16; ++i)
        biff::appendXf(stream, {});
    extra(stream);
    biff::appendEof(stream);
    return stream;
}

TEST(XlsCorrupt, HostileCountsAndIndexesAreRefused) {
    // Font index 4 does not exist.
    EXPECT_TRUE(failureOf(withStream(globalsWith(
                              [](QByteArray& s) {
                                  biff::XfRecord xf;
                                  xf.ifnt = 4;
                                  biff::appendXf(s, xf);
                              },
                              6)))
                    .contains(QStringLiteral("missing font 4")));

    // An SST promising four billion strings and holding none: no hang, no huge allocation.
    const QByteArray hugeSst = globalsWith([](QByteArray& s) {
        biff::putHeader(s, biff::kSst, 8);
        biff::putU32(s, 0xFFFFFFFF);
        biff::putU32(s, 0xFFFFFFFF);
    });
    EXPECT_TRUE(failureOf(withStream(hugeSst)).contains(QStringLiteral("no worksheets")));

    // A string whose rich-text runs reach past the table.
    const QByteArray runs = globalsWith([](QByteArray& s) {
        biff::putHeader(s, biff::kSst, 8 + 6);
        biff::putU32(s, 1);
        biff::putU32(s, 1);
        biff::putU16(s, 1);
        biff::putU8(s, 0x08);
        biff::putU16(s, 0xFFFF);
        s.append('a');
    });
    EXPECT_TRUE(failureOf(withStream(runs)).contains(QStringLiteral("ends inside a string")));

    // A sheet offset past the stream.
    const QByteArray farSheet = globalsWith([](QByteArray& s) {
        const qsizetype slot = biff::appendBoundSheet(s, QStringLiteral("S"));
        biff::patchU32(s, slot, 0x7FFFFFFF);
    });
    EXPECT_TRUE(failureOf(withStream(farSheet)).contains(QStringLiteral("past the end")));
}

// A one-sheet workbook whose sheet holds the given cell records.
QByteArray sheetWith(const std::function<void(QByteArray&)>& cells) {
    QByteArray stream;
    qsizetype slot = 0;
    stream =
        globalsWith([&](QByteArray& s) { slot = biff::appendBoundSheet(s, QStringLiteral("S")); });
    biff::patchU32(stream, slot, static_cast<std::uint32_t>(stream.size()));
    biff::appendBof(stream, biff::kWorksheetType);
    cells(stream);
    biff::appendEof(stream);
    return withStream(stream);
}

TEST(XlsCorrupt, CellsOutsideTheSheetOrTablesAreRefused) {
    EXPECT_TRUE(failureOf(sheetWith([](QByteArray& s) {
                    biff::appendLabelSst(s, 0, 0, 15, 0);
                })).contains(QStringLiteral("shared string 0 does not exist")));
    EXPECT_TRUE(failureOf(sheetWith([](QByteArray& s) {
                    biff::appendBlank(s, 0, 300, 15);
                })).contains(QStringLiteral("outside the sheet")));
    EXPECT_TRUE(failureOf(sheetWith([](QByteArray& s) {
                    biff::appendBlank(s, 0, 0, 99);
                })).contains(QStringLiteral("missing format 99")));
    EXPECT_TRUE(failureOf(sheetWith([](QByteArray& s) {
                    biff::putHeader(s, biff::kMulBlank, 8);
                    biff::putU16(s, 0);
                    biff::putU16(s, 5);
                    biff::putU16(s, 15);
                    biff::putU16(s, 2); // colLast before colFirst
                })).contains(QStringLiteral("malformed")));
    EXPECT_TRUE(failureOf(sheetWith([](QByteArray& s) {
                    biff::putHeader(s, biff::kMergedCells, 2);
                    biff::putU16(s, 500); // 500 areas announced, none present
                })).contains(QStringLiteral("too short")));
}

// Worksheets whose records start at the given records of one sheet substream of 256 blank
// cells: 0 its BOF, 1 the BOF of a substream nested in it.
QByteArray sheetsSharing(const std::vector<int>& starts) {
    std::vector<qsizetype> offsetSlots;
    QByteArray stream = globalsWith([&](QByteArray& s) {
        for (std::size_t i = 0; i < starts.size(); ++i)
            offsetSlots.push_back(biff::appendBoundSheet(s, QStringLiteral("S%1").arg(i)));
    });
    std::vector<qsizetype> records{stream.size()};
    biff::appendBof(stream, biff::kWorksheetType);
    biff::appendMulBlank(stream, 0, 0, std::vector<std::uint16_t>(256, 15));
    records.push_back(stream.size());
    biff::appendBof(stream, biff::kWorksheetType);
    biff::appendEof(stream);
    biff::appendEof(stream);
    for (std::size_t i = 0; i < starts.size(); ++i)
        biff::patchU32(stream, offsetSlots[i], static_cast<std::uint32_t>(records[starts[i]]));
    return withStream(stream);
}

TEST(XlsCorrupt, SheetsThatShareRecordsAreRefusedBeforeAnyIsRead) {
    // Read once per sheet, 2,000 sheets on one substream would multiply the memory and time a
    // small file takes: each sheet must own its records.
    EXPECT_TRUE(failureOf(sheetsSharing(std::vector<int>(2000, 0)))
                    .startsWith(QStringLiteral("Corrupt workbook file: two sheets start at")));
    EXPECT_TRUE(failureOf(sheetsSharing({0, 1})).contains(QStringLiteral("runs into")));
    EXPECT_EQ(decodeXls(sheetsSharing({0}))->activeSheet().cellCount(), 256u);

    // Row records may claim every column of every row while holding no cells: room reserved
    // for what they claim would be some 200 times the file.
    const QByteArray rows = sheetWith([](QByteArray& s) {
        for (int row = 0; row < kMaxRows; ++row)
            biff::appendRow(s, static_cast<std::uint16_t>(row), 0, kMaxColumns, 255);
    });
    const std::size_t before = mallinfo2().uordblks;
    const auto workbook = decodeXls(rows);
    EXPECT_LT(mallinfo2().uordblks - before, 16 * static_cast<std::size_t>(rows.size()));
}

TEST(XlsCorrupt, DuplicateCellsKeepTheFirstAndNumbersShowAsText) {
    const auto workbook = decodeXls(sheetWith([](QByteArray& s) {
        biff::putHeader(s, biff::kRk, 10);
        biff::putU16(s, 0);
        biff::putU16(s, 0);
        biff::putU16(s, 15);
        biff::putU32(s, (12345u << 2) | 0x3); // 123.45
        biff::appendBlank(s, 0, 0, 15);
        biff::putHeader(s, biff::kNumber, 14);
        biff::putU16(s, 0);
        biff::putU16(s, 1);
        biff::putU16(s, 15);
        const double value = 2.5;
        s.append(reinterpret_cast<const char*>(&value), 8);
    }));
    EXPECT_EQ(workbook->activeSheet().cell(1, 1)->value(), QStringLiteral("123.45"));
    EXPECT_EQ(workbook->activeSheet().cell(1, 2)->value(), QStringLiteral("2.5"));
}

TEST(XlsCorrupt, RandomDamageOnlyEverThrowsFailure) {
    const QByteArray file = sampleFile();
    std::mt19937 random(1234);
    for (int round = 0; round < 300; ++round) {
        QByteArray damaged = file;
        for (int flips = 0; flips < 8; ++flips)
            damaged[random() % damaged.size()] = static_cast<char>(random());
        try {
            decodeXls(damaged);
        } catch (const Failure&) {
        }
    }
}

} // namespace
} // namespace pq::engine
