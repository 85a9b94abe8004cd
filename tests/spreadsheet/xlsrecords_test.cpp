// Byte-exact checks of single BIFF8 records and of the SST's CONTINUE splitting.

#include "spreadsheet/engine/xls/biffrecords.h"
#include "spreadsheet/engine/xls/biffstyles.h"

#include <gtest/gtest.h>

namespace pq::engine::biff {
namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

TEST(BiffRecords, BoxXfMatchesTheWorkedExample) {
    CellFormat box;
    box.horizontalAlignment = kAlignLeft;
    box.interiorColorIndex = 43; // lime
    box.borders.fill(kLineStyleContinuous);
    QByteArray out;
    appendXf(out, cellXfFor(box, 5));
    EXPECT_EQ(out.toHex(' '),
              hex("e0001400 0500 0000 0100 21 00 00 f8 11110804 08040004 3220").toHex(' '));
}

TEST(BiffRecords, XfWithoutFillOrBordersUsesDefaultColours) {
    QByteArray out;
    appendXf(out, cellXfFor(CellFormat{}, 0));
    EXPECT_EQ(out.toHex(),
              hex("e0001400 0000 0000 0100 20 00 00 f8 00000000 00000000 c020").toHex());
}

TEST(BiffRecords, FontCarriesTwipsColourAndName) {
    CellFormat title;
    title.fontName = QStringLiteral("Tahoma");
    title.fontSize = 20;
    title.fontColorIndex = 16; // grey: icv 0x17
    QByteArray out;
    appendFont(out, fontFor(title));
    EXPECT_EQ(out.toHex(),
              hex("31001600 9001 0000 1700 9001 0000 00 00 00 00 0600 5461686f6d61").toHex());
}

TEST(BiffRecords, ColumnWidthsInCharactersBecomeColdx) {
    QByteArray out;
    appendColInfo(out, 1, 5, columnWidthToColdx(24), 0x10, true);
    EXPECT_EQ(out.toHex(), hex("7d000c00 0100 0500 b618 1000 0200 0000").toHex());
    out.clear();
    appendColInfo(out, 0, 0, columnWidthToColdx(2), 0x10, true);
    EXPECT_EQ(out.toHex(), hex("7d000c00 0000 0000 b602 1000 0200 0000").toHex());
    EXPECT_EQ(coldxToColumnWidth(0x18B6), 24.0);
    EXPECT_EQ(coldxToColumnWidth(0x02B6), 2.0);
    EXPECT_EQ(coldxToColumnWidth(columnWidthToColdx(kDefaultColumnWidth)), kDefaultColumnWidth);
}

TEST(BiffRecords, RowHeightsFollowTheLargestFont) {
    EXPECT_EQ(rowTwipsForFont(400), 510); // Tahoma 20: 25.5 pt
    EXPECT_EQ(rowTwipsForFont(220), 285); // 11 pt: 14.25 pt
    EXPECT_EQ(rowTwipsForFont(200), kDefaultRowTwips);
    QByteArray out;
    appendRow(out, 1, 1, 6, 510);
    EXPECT_EQ(out.toHex(), hex("08021000 0100 0100 0600 fe01 0000 0000 40010f00").toHex());
}

TEST(BiffRecords, MulBlankListsOneXfPerColumn) {
    const std::uint16_t xfs[] = {0x11, 0x11, 0x12, 0x11, 0x11};
    QByteArray out;
    appendMulBlank(out, 4, 1, xfs);
    EXPECT_EQ(out.toHex(), hex("be001000 0400 0100 1100 1100 1200 1100 1100 0500").toHex());
}

TEST(BiffRecords, MergedCellsSplitAfter1026Areas) {
    const MergeArea titles[] = {{1, 1, 1, 5}, {2, 2, 1, 5}};
    QByteArray out;
    appendMergedCells(out, titles);
    EXPECT_EQ(out.toHex(), hex("e5001200 0200 0100 0100 0100 0500 0200 0200 0100 0500").toHex());

    std::vector<MergeArea> many(1030, MergeArea{0, 1, 0, 0});
    out.clear();
    appendMergedCells(out, many);
    const qsizetype first = 4 + 2 + 8 * 1026;
    ASSERT_EQ(out.size(), first + 4 + 2 + 8 * 4);
    EXPECT_EQ(out.mid(0, 6).toHex(), hex("e500 1220 0204").toHex());
    EXPECT_EQ(out.mid(first, 6).toHex(), hex("e500 2200 0400").toHex());
}

TEST(BiffRecords, PageSetupFitsOnePageWideCentredUnderPrintTitles) {
    QByteArray out;
    appendWsBool(out, true);
    EXPECT_EQ(out.toHex(), hex("81000200 c105").toHex());
    out.clear();
    appendHCenter(out, true);
    EXPECT_EQ(out.toHex(), hex("83000200 0100").toHex());
    out.clear();
    // A4, 100 %, first page 1, 1 page wide, as many tall as needed, portrait, 600 dpi,
    // header and footer margins 0.5 in, one copy.
    appendSetup(out, {1, 0, false});
    EXPECT_EQ(out.toHex(), hex("a1002200 0900 6400 0100 0100 0000 0200 5802 5802 "
                               "00000000 0000e03f 00000000 0000e03f 0100")
                               .toHex());
    out.clear();
    const std::uint16_t sheets[] = {0};
    appendSupBookSelf(out, 1);
    appendExternSheet(out, sheets);
    EXPECT_EQ(out.toHex(), hex("ae010400 0100 0104 17000800 0100 0000 0000 0000").toHex());
    out.clear();
    // Rows 2 and 3 of the first sheet, all columns: built-in name 7, local to sheet 1.
    appendBuiltInName(out, kPrintTitles, 0, 0, {1, 2, 0, 255});
    EXPECT_EQ(out.toHex(), hex("18001b00 2000 00 01 0b00 0000 0100 00000000 00 07 "
                               "3b 0000 0100 0200 0000 ff00")
                               .toHex());
}

// The SST's records, as (id, data) pairs.
std::vector<std::pair<int, QByteArray>> splitRecords(const QByteArray& out) {
    std::vector<std::pair<int, QByteArray>> records;
    for (qsizetype at = 0; at + 4 <= out.size();) {
        const int id = static_cast<std::uint8_t>(out[at]) | static_cast<std::uint8_t>(out[at + 1])
                                                                << 8;
        const int length =
            static_cast<std::uint8_t>(out[at + 2]) | static_cast<std::uint8_t>(out[at + 3]) << 8;
        records.push_back({id, out.mid(at + 4, length)});
        at += 4 + length;
    }
    return records;
}

TEST(BiffSst, LongStringContinuesWithItsEncodingFlag) {
    const QStringList strings{QString(8300, u'a'), QStringLiteral("xyz")};
    QByteArray out;
    const auto buckets = appendSst(out, strings, 5, 8);
    const auto records = splitRecords(out);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].first, kSst);
    EXPECT_EQ(records[0].second.size(), kMaxRecordData);
    EXPECT_EQ(records[0].second.left(11).toHex(), hex("05000000 02000000 6c20 00").toHex());
    EXPECT_EQ(records[1].first, kContinue);
    EXPECT_EQ(records[1].second,
              QByteArray(1, '\0') + QByteArray(8300 - 8213, 'a') + hex("0300 00") + "xyz");
    ASSERT_EQ(buckets.size(), 1u);
    EXPECT_EQ(buckets[0].streamOffset, 12u);
    EXPECT_EQ(buckets[0].recordOffset, 12u);
}

TEST(BiffSst, StringHeaderNeverEndsARecord) {
    // 8 + 3 + 8210 bytes leave 3: too few for a UTF-16 header and its first character.
    const QString wide(10, QChar(0x0436));
    QByteArray out;
    appendSst(out, {QString(8210, u'a'), wide}, 2, 8);
    const auto records = splitRecords(out);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].second.size(), 8 + 3 + 8210);
    EXPECT_EQ(records[1].second.left(5).toHex(), hex("0a00 01 3604").toHex());
}

TEST(BiffSst, Utf16NeverSplitsInsideACharacter) {
    // After the wide string's header 9 bytes remain: four characters, then a CONTINUE.
    const QString wide(10, QChar(0x0436));
    QByteArray out;
    appendSst(out, {QString(8201, u'a'), wide}, 2, 8);
    const auto records = splitRecords(out);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].second.size(), 8 + 3 + 8201 + 3 + 8);
    EXPECT_EQ(records[1].second.size(), 1 + 12);
    EXPECT_EQ(records[1].second.left(3).toHex(), hex("01 3604").toHex());
}

TEST(BiffSst, ExtSstPointsAtEveryBucketStart) {
    QStringList strings;
    for (int i = 0; i < 20; ++i)
        strings << QStringLiteral("s%1").arg(i, 2, 10, QLatin1Char('0'));
    QByteArray out(100, '\0'); // the SST's position in the stream
    const auto buckets = appendSst(out, strings, 20, 8);
    ASSERT_EQ(buckets.size(), 3u);
    // Each string takes 3 + 3 bytes; bucket k starts after 8k strings.
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(buckets[k].streamOffset, 100u + 12u + 48u * k);
        EXPECT_EQ(out.mid(buckets[k].streamOffset + 3, 3), strings[8 * k].toLatin1());
    }
    QByteArray ext;
    appendExtSst(ext, 8, buckets);
    EXPECT_EQ(ext.left(18).toHex(), hex("ff001a00 0800 70000000 0c00 0000 a0000000").toHex());
}

} // namespace
} // namespace pq::engine::biff
