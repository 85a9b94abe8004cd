// The .xls writer and reader together: every model property survives a round trip, the chart
// workbook has the record structure other applications rely on, and LibreOffice's re-save of
// it reads back the same.

#include "spreadsheet/engine/xls/biffrecords.h"
#include "spreadsheet/engine/xls/biffwriter.h"
#include "spreadsheet/engine/xls/xlsfile.h"
#include "support/samplechart.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <QtEndian>
#include <gtest/gtest.h>
#include <set>

namespace pq::engine {
namespace {

std::unique_ptr<WorkbookModel> roundTrip(const WorkbookModel& workbook) {
    return decodeXls(encodeXls(workbook));
}

CellFormat formatOf(const WorkbookModel& workbook, const Cell* cell) {
    return cell ? workbook.formats().at(cell->format) : CellFormat{};
}

// Two sheets that between them use every property the model stores.
void buildVariedWorkbook(WorkbookModel& workbook) {
    SheetModel& first = workbook.addSheet(QStringLiteral("Chart"));
    first.editSheetFormat([](CellFormat& f) { f.fontName = QStringLiteral("Tahoma"); });
    CellFormat verdana;
    verdana.fontName = QStringLiteral("Verdana");
    verdana.fontSize = 10.5;
    first.setColumnFormatId(8, 9, workbook.formats().intern(verdana));
    first.setColumnWidth(1, 1, 2);
    first.setColumnWidth(2, 3, 24);
    first.setColumnWidth(4, 4, 12.57); // a whole number of pixels

    const int alignments[] = {kAlignGeneral, kAlignLeft, kAlignCenter, kAlignRight};
    const int lineStyles[] = {kLineStyleContinuous, -4115, -4118, -4119};
    for (int i = 0; i < 4; ++i) {
        first.editCellFormat(5, 2 + i, [&](CellFormat& f) {
            f.horizontalAlignment = alignments[i];
            f.fontColorIndex = 3 + i;
            f.interiorColorIndex = i == 0 ? kColorIndexNone : 40 + i;
            f.borders[i] = lineStyles[i];
            f.shrinkToFit = i % 2 == 1;
        });
        first.editCellFormat(6, 2 + i, [&](CellFormat& f) { f.fontSize = 8 + 2 * i; });
    }
    first.setValue(5, 2, QStringLiteral("Ærøskøbing – 東京"));
    first.setValue(5, 3, QString(20000, u'x')); // crosses two CONTINUEs
    first.setValue(5, 4, QStringLiteral("Ærøskøbing – 東京"));
    first.setValue(7, 20, QStringLiteral("far right"));
    first.merge({10, 2, 12, 4});
    first.setValue(10, 2, QStringLiteral("merged"));
    first.setRowHeight(9, 30);
    first.setRowHeight(7, 12.75);
    first.pageSetup() = {CellRect{2, 2, 12, 20}, 2, 3, true, 1, 0, true, false};

    SheetModel& second = workbook.addSheet(QStringLiteral("Notes"));
    second.setValue(1, 1, QStringLiteral("second sheet"));
    second.pageSetup().landscape = true;
    second.pageSetup().paperSize = 1; // Letter
    second.pageSetup().titleRowFirst = second.pageSetup().titleRowLast = 1;
    for (int row = 1; row <= 70; ++row)
        second.setValue(row, 2, QStringLiteral("row %1").arg(row % 9)); // shared strings
    workbook.setActiveIndex(1);
}

TEST(XlsRoundTrip, EveryModelPropertySurvives) {
    WorkbookModel original;
    buildVariedWorkbook(original);
    const auto decoded = roundTrip(original);

    ASSERT_EQ(decoded->sheets().size(), original.sheets().size());
    EXPECT_EQ(decoded->activeIndex(), 1);
    for (std::size_t s = 0; s < original.sheets().size(); ++s) {
        const SheetModel& want = *original.sheets()[s];
        const SheetModel& got = *decoded->sheets()[s];
        SCOPED_TRACE(want.name().toStdString());
        EXPECT_EQ(got.name(), want.name());
        EXPECT_EQ(got.cellCount(), want.cellCount());
        want.forEachCell([&](int row, int column, const Cell& cell) {
            const Cell* read = got.cell(row, column);
            ASSERT_NE(read, nullptr) << row << "," << column;
            EXPECT_EQ(read->value(), cell.value()) << row << "," << column;
            EXPECT_EQ(formatOf(*decoded, read), formatOf(original, &cell)) << row << "," << column;
        });
        for (int column = 1; column <= kMaxColumns; ++column) {
            EXPECT_EQ(decoded->formats().at(got.defaultFormatAt(column)),
                      original.formats().at(want.defaultFormatAt(column)))
                << column;
            EXPECT_EQ(got.columnWidth(column), want.columnWidth(column)) << column;
        }
        EXPECT_EQ(got.merges(), want.merges());
        EXPECT_EQ(got.pageSetup(), want.pageSetup());
        for (const auto& [row, points] : want.rowHeights())
            EXPECT_EQ(got.rowHeights().at(row), points) << row;
    }
}

TEST(XlsRoundTrip, RowsWithLargeFontsGetAHeight) {
    WorkbookModel original;
    buildVariedWorkbook(original);
    const auto decoded = roundTrip(original);
    const auto& heights = decoded->sheets()[0]->rowHeights();
    EXPECT_EQ(heights.at(6), 18);      // the 14 pt cell
    EXPECT_FALSE(heights.contains(5)); // 10 pt only
    EXPECT_FALSE(decoded->sheets()[1]->rowHeights().contains(1));
}

TEST(XlsRoundTrip, InvalidWorkbooksAreRefused) {
    WorkbookModel noSheets;
    EXPECT_THROW(encodeXls(noSheets), Failure);
    WorkbookModel badName;
    badName.addSheet(QStringLiteral("a/b"));
    EXPECT_THROW(encodeXls(badName), Failure);
    WorkbookModel duplicate;
    duplicate.addSheet(QStringLiteral("Same"));
    duplicate.addSheet(QStringLiteral("same"));
    EXPECT_THROW(encodeXls(duplicate), Failure);
    WorkbookModel outside;
    SheetModel& sheet = outside.addSheet(QStringLiteral("S"));
    EXPECT_THROW(sheet.setValue(kMaxRows + 1, 1, QStringLiteral("x")), Failure);
    EXPECT_THROW(sheet.touchCell(1, kMaxColumns + 1), Failure);
    EXPECT_EQ(sheet.cellCount(), 0u);
}

TEST(XlsRoundTrip, WriteXlsReplacesTheFileAndReportsAccessErrors) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chart.xls"));
    WorkbookModel workbook;
    test::buildSampleChart(workbook, 3);
    writeXls(workbook, path);
    EXPECT_EQ(readXls(path)->activeSheet().cell(2, 2)->value(), test::kSampleTitle);
    EXPECT_THROW(writeXls(workbook, dir.filePath(QStringLiteral("missing/chart.xls"))), Failure);
    try {
        readXls(dir.filePath(QStringLiteral("none.xls")));
        FAIL() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.description(), failures::kFileNotFound);
    }
}

// ---- the chart workbook ----

void expectSampleChart(const WorkbookModel& workbook) {
    const SheetModel& sheet = workbook.activeSheet();
    const FormatTable& formats = workbook.formats();
    EXPECT_EQ(sheet.cell(2, 2)->value(), test::kSampleTitle);
    EXPECT_EQ(sheet.cell(3, 2)->value(), QStringLiteral("5 Generations"));
    const CellFormat& title = sheet.formatAt(2, 2);
    EXPECT_EQ(title.fontName, QStringLiteral("Tahoma"));
    EXPECT_EQ(title.fontSize, 20);
    EXPECT_EQ(title.fontColorIndex, test::kSampleTitleColor);
    EXPECT_EQ(title.horizontalAlignment, kAlignLeft);
    EXPECT_EQ(sheet.formatAt(3, 2).fontSize, 11);
    EXPECT_EQ(sheet.formatAt(3, 2).fontColorIndex, kColorIndexAutomatic);
    EXPECT_EQ((std::vector<CellRect>{{2, 2, 2, 6}, {3, 2, 3, 6}}), sheet.merges());

    EXPECT_EQ(sheet.columnWidth(1), 2.0);
    for (int column = 2; column <= 6; ++column)
        EXPECT_EQ(sheet.columnWidth(column), 24.0);
    for (int column : {1, 7, 100, 256})
        EXPECT_EQ(formats.at(sheet.defaultFormatAt(column)).fontName, QStringLiteral("Tahoma"));
    EXPECT_EQ(sheet.rowHeights().at(2), 25.5);
    EXPECT_EQ(sheet.rowHeights().at(3), 14.25);

    for (int t = 0; t < 5; ++t) {
        const int boxes = test::sampleBoxCount(5, t);
        const int top = test::sampleBoxRow(t, 0), bottom = test::sampleBoxRow(t, boxes - 1);
        for (int row = top; row <= bottom; ++row) {
            const CellFormat& f = sheet.formatAt(row, 2 + t);
            const bool box = (row - top) % (2 << t) == 0;
            EXPECT_EQ(f.interiorColorIndex, box ? test::kSampleBoxColor : kColorIndexNone);
            EXPECT_EQ(f.border(Edge::Right), kLineStyleContinuous) << row << "," << 2 + t;
            EXPECT_EQ(f.border(Edge::Left), box ? kLineStyleContinuous : kLineStyleNone);
            EXPECT_EQ(f.fontName, QStringLiteral("Tahoma"));
        }
    }
    EXPECT_EQ(sheet.usedRange(), (CellRect{2, 2, 35, 6}));
}

struct RawRecord {
    int id;
    qsizetype offset;
    QByteArray data;
    int u16(int at) const { return qFromLittleEndian<std::uint16_t>(data.constData() + at); }
    std::uint32_t u32(int at) const {
        return qFromLittleEndian<std::uint32_t>(data.constData() + at);
    }
};

std::vector<RawRecord> records(const QByteArray& stream, qsizetype from) {
    std::vector<RawRecord> out;
    for (qsizetype at = from; at + 4 <= stream.size();) {
        RawRecord r{qFromLittleEndian<std::uint16_t>(stream.constData() + at), at, {}};
        const int length = qFromLittleEndian<std::uint16_t>(stream.constData() + at + 2);
        r.data = stream.mid(at + 4, length);
        out.push_back(r);
        at += 4 + length;
        if (r.id == biff::kEof)
            break;
    }
    return out;
}

TEST(XlsChart, SampleChartRoundTrips) {
    WorkbookModel workbook;
    test::buildSampleChart(workbook, 5);
    expectSampleChart(*roundTrip(workbook));
}

TEST(XlsChart, WorksheetHasEachCellOnceInOrderWithIndexAndDimensions) {
    WorkbookModel workbook;
    test::buildSampleChart(workbook, 5);
    const QByteArray stream = biff::encodeWorkbookStream(workbook);
    const auto globals = records(stream, 0);
    const auto sheetBof = std::find_if(globals.begin(), globals.end(), [](const RawRecord& r) {
                              return r.id == biff::kBoundSheet;
                          })->u32(0);
    const auto sheet = records(stream, sheetBof);
    ASSERT_EQ(sheet.front().id, biff::kBof);
    ASSERT_EQ(sheet[1].id, biff::kIndex);

    std::vector<std::pair<int, int>> cells;
    std::set<int> colinfoColumns;
    std::vector<std::uint32_t> dbCells;
    for (const RawRecord& r : sheet) {
        switch (r.id) {
        case biff::kBlank:
        case biff::kLabelSst:
            cells.push_back({r.u16(0), r.u16(2)});
            break;
        case biff::kMulBlank:
            ASSERT_GE(r.u16(r.data.size() - 2), r.u16(2) + 1);
            for (int c = r.u16(2); c <= r.u16(r.data.size() - 2); ++c)
                cells.push_back({r.u16(0), c});
            break;
        case biff::kColInfo:
            for (int c = r.u16(0); c <= r.u16(2); ++c)
                colinfoColumns.insert(c);
            break;
        case biff::kDimensions:
            EXPECT_EQ(r.data.toHex(), QByteArray("0100000023000000010006000000"));
            break;
        case biff::kDbCell:
            dbCells.push_back(static_cast<std::uint32_t>(r.offset));
            break;
        default:
            break;
        }
    }
    EXPECT_TRUE(std::is_sorted(cells.begin(), cells.end()));
    EXPECT_EQ(std::adjacent_find(cells.begin(), cells.end()), cells.end()) << "a cell twice";
    EXPECT_EQ(cells.size(), workbook.activeSheet().cellCount());
    EXPECT_EQ(colinfoColumns.size(), 256u);
    const RawRecord& index = sheet[1];
    ASSERT_EQ(index.data.size(), 16 + 4 * static_cast<int>(dbCells.size()));
    for (std::size_t i = 0; i < dbCells.size(); ++i)
        EXPECT_EQ(index.u32(16 + 4 * static_cast<int>(i)), dbCells[i]);
    EXPECT_EQ(sheet[sheet.size() - 2].id, biff::kWindow2);
}

TEST(XlsChart, FifteenColumnChartNeedsMoreThanOneFatSector) {
    WorkbookModel workbook;
    test::buildSampleChart(workbook, 15);
    const QByteArray file = encodeXls(workbook);
    EXPECT_GT(file.size(), 128 * 512);
    const auto decoded = decodeXls(file);
    const SheetModel& sheet = decoded->activeSheet();
    EXPECT_EQ(sheet.usedRange(), (CellRect{2, 2, 3 + (1 << 15), 16}));
    EXPECT_EQ(sheet.formatAt(test::sampleBoxRow(14, 0), 16).interiorColorIndex,
              test::kSampleBoxColor);
    EXPECT_EQ(sheet.cellCount(), workbook.activeSheet().cellCount());
}

// ---- LibreOffice ----

class XlsLibreOffice : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (soffice.isEmpty()) {
            sSkipReason = "soffice (LibreOffice) is not installed";
            return;
        }
        sDir = std::make_unique<QTemporaryDir>();
        const QString ours = sDir->filePath(QStringLiteral("chart.xls"));
        WorkbookModel workbook;
        test::buildSampleChart(workbook, 5);
        workbook.activeSheet().pageSetup() = kPrinted;
        writeXls(workbook, ours);
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        // A private profile, so parallel runs and a user's open LibreOffice do not interfere.
        process.start(
            soffice, {QStringLiteral("-env:UserInstallation=") +
                          QUrl::fromLocalFile(sDir->filePath(QStringLiteral("profile"))).toString(),
                      QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                      QStringLiteral("xls:MS Excel 97"), QStringLiteral("--outdir"),
                      sDir->filePath(QStringLiteral("resaved")), ours});
        if (!process.waitForFinished(120000))
            process.kill();
        sOutput = process.readAll();
        sResaved = sDir->filePath(QStringLiteral("resaved/chart.xls"));
    }
    static void TearDownTestSuite() { sDir.reset(); }

    void SetUp() override {
        if (!sSkipReason.empty())
            GTEST_SKIP() << sSkipReason;
        ASSERT_TRUE(QFileInfo::exists(sResaved)) << sOutput.toStdString();
    }

    // The chart's page set-up: LibreOffice keeps it through its own save.
    static inline const PageSetup kPrinted{CellRect{2, 2, 35, 6}, 2, 3, true, 1, 0, true, false};
    static inline std::string sSkipReason;
    static inline std::unique_ptr<QTemporaryDir> sDir;
    static inline QString sResaved;
    static inline QByteArray sOutput;
};

TEST_F(XlsLibreOffice, ResavedChartReadsBackTheSame) {
    const auto workbook = readXls(sResaved);
    expectSampleChart(*workbook);
    EXPECT_EQ(workbook->activeSheet().name(), QStringLiteral("Sheet1"));
    EXPECT_EQ(workbook->activeSheet().pageSetup(), kPrinted);
    for (int column = 7; column <= 10; ++column) {
        const auto width = workbook->activeSheet().columnWidth(column);
        EXPECT_TRUE(!width || *width == biff::kDefaultColumnWidth) << column;
    }
}

TEST_F(XlsLibreOffice, ResavedChartSurvivesOurRewrite) {
    const auto workbook = readXls(sResaved);
    expectSampleChart(*roundTrip(*workbook));
}

} // namespace
} // namespace pq::engine
