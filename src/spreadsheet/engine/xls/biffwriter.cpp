#include "biffwriter.h"

#include "base/failure.h"
#include "biffrecords.h"
#include "biffstyles.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace pq::engine::biff {

namespace {

constexpr int kRowsPerBlock = 32;

// One ROW record and the cells that follow it (0-based row).
struct RowSpan {
    std::uint16_t row = 0;
    std::span<const ColumnCell> cells; // in column order
    std::uint16_t colFirst = 0, colLimit = 0;
    std::uint16_t heightTwips = 0; // 0: default
};

void checkSheetName(const QString& name, QSet<QString>& seen) {
    static const QString forbidden = QStringLiteral("[]:\\?/*");
    const bool valid =
        !name.isEmpty() && name.size() <= 31 && !name.startsWith(u'\'') && !name.endsWith(u'\'') &&
        std::none_of(name.begin(), name.end(), [](QChar c) { return forbidden.contains(c); });
    if (!valid)
        throw Failure(QStringLiteral("Invalid sheet name \"%1\"").arg(name));
    const QString key = name.toUpper();
    if (seen.contains(key))
        throw Failure(QStringLiteral("Duplicate sheet name \"%1\"").arg(name));
    seen.insert(key);
}

class WorkbookWriter {
public:
    explicit WorkbookWriter(const WorkbookModel& workbook)
        : mWorkbook(workbook), mStyles(workbook.formats()) {}

    QByteArray write() {
        planSheets();
        mOut.reserve(expectedSize());
        std::vector<qsizetype> offsetSlots = writeGlobals();
        for (std::size_t i = 0; i < mWorkbook.sheets().size(); ++i) {
            patchU32(mOut, offsetSlots[i], static_cast<std::uint32_t>(mOut.size()));
            writeSheet(i);
        }
        return std::move(mOut);
    }

private:
    // Validates the sheets, collects the shared strings and assigns every used format an XF,
    // as the globals that come first must list them all.
    void planSheets() {
        QSet<QString> names;
        for (const auto& sheet : mWorkbook.sheets()) {
            checkSheetName(sheet->name(), names);
            sheet->forEachCell([&](int, int, const Cell& cell) {
                mStyles.xfOf(cell.format);
                if (!cell.value().isEmpty()) {
                    ++mStringReferences;
                    if (!mStringIndex.contains(cell.value())) {
                        mStringIndex.insert(cell.value(),
                                            static_cast<std::uint32_t>(mStrings.size()));
                        mStrings.push_back(cell.value());
                    }
                }
            });
            for (int column = 1; column <= kMaxColumns; ++column)
                mStyles.xfOf(sheet->defaultFormatAt(column));
        }
        if (mWorkbook.sheets().empty())
            throw Failure(QStringLiteral("A workbook needs at least one sheet"));
    }

    // About what the stream will take, so that it is allocated once: a ROW record and a few
    // bytes per cell, and room for the globals.
    qsizetype expectedSize() const {
        qsizetype bytes = 16384;
        for (const auto& sheet : mWorkbook.sheets())
            bytes += 24 * qsizetype(sheet->rowCount()) + 6 * qsizetype(sheet->cellCount());
        for (const QString& s : mStrings)
            bytes += 3 + 2 * s.size();
        return bytes;
    }

    std::vector<qsizetype> writeGlobals() {
        appendBof(mOut, kGlobalsType);
        appendCodePage(mOut);
        appendWindow1(mOut, static_cast<std::uint16_t>(activeIndex()));
        mStyles.appendRecords(mOut);
        std::vector<qsizetype> offsetSlots;
        for (const auto& sheet : mWorkbook.sheets())
            offsetSlots.push_back(appendBoundSheet(mOut, sheet->name()));
        appendCountry(mOut);
        writePrintNames();
        const int perBucket = sstStringsPerBucket(mStrings.size());
        const auto buckets = appendSst(mOut, mStrings, mStringReferences, perBucket);
        appendExtSst(mOut, static_cast<std::uint16_t>(perBucket), buckets);
        appendEof(mOut);
        return offsetSlots;
    }

    // Print areas and title rows are defined names local to their sheets; their formulas
    // reach the sheets through this workbook's own EXTERNSHEET references, one per sheet.
    void writePrintNames() {
        struct Name {
            BuiltInName code;
            std::uint16_t sheet;
            CellArea area;
        };
        std::vector<Name> names;
        std::vector<std::uint16_t> referenced;
        const auto& sheets = mWorkbook.sheets();
        for (std::size_t i = 0; i < sheets.size(); ++i) {
            const PageSetup& setup = sheets[i]->pageSetup();
            const auto sheet = static_cast<std::uint16_t>(i);
            const std::size_t before = names.size();
            if (setup.printArea)
                names.push_back({kPrintArea, sheet, areaOf(*setup.printArea)});
            if (setup.titleRowFirst > 0)
                names.push_back(
                    {kPrintTitles, sheet,
                     areaOf({setup.titleRowFirst, 1, setup.titleRowLast, kMaxColumns})});
            if (names.size() > before)
                referenced.push_back(sheet);
        }
        if (names.empty())
            return;
        appendSupBookSelf(mOut, static_cast<std::uint16_t>(sheets.size()));
        appendExternSheet(mOut, referenced);
        for (const Name& n : names) {
            const auto ixti = std::find(referenced.begin(), referenced.end(), n.sheet);
            appendBuiltInName(mOut, n.code, n.sheet,
                              static_cast<std::uint16_t>(ixti - referenced.begin()), n.area);
        }
    }

    static CellArea areaOf(const CellRect& r) {
        auto row = [](int v) { return static_cast<std::uint16_t>(std::clamp(v, 1, kMaxRows) - 1); };
        auto column = [](int v) {
            return static_cast<std::uint16_t>(std::clamp(v, 1, kMaxColumns) - 1);
        };
        return {row(r.top), row(r.bottom), column(r.left), column(r.right)};
    }

    int activeIndex() const {
        return std::clamp(mWorkbook.activeIndex(), 0,
                          static_cast<int>(mWorkbook.sheets().size()) - 1);
    }

    void writeSheet(std::size_t index) {
        const SheetModel& sheet = *mWorkbook.sheets()[index];
        const std::vector<RowSpan> rows = rowSpans(sheet);
        const int blocks = blockCount(rows);

        appendBof(mOut, kWorksheetType);
        const std::uint32_t rowFirst = rows.empty() ? 0 : rows.front().row;
        const std::uint32_t rowLimit = rows.empty() ? 0 : rows.back().row + 1u;
        const qsizetype dbCellSlots = appendIndex(mOut, rowFirst, rowLimit, blocks);
        appendDefaultRowHeight(mOut);
        appendWsBool(mOut, sheet.pageSetup().fitToPages);
        writePageSetup(sheet.pageSetup());
        patchU32(mOut, dbCellSlots - 4, static_cast<std::uint32_t>(mOut.size()));
        appendDefColWidth(mOut);
        writeColumnInfo(sheet);
        writeDimensions(sheet);
        writeCellTable(rows, dbCellSlots);
        writeMerges(sheet);
        appendWindow2(mOut, static_cast<int>(index) == activeIndex());
        appendEof(mOut);
    }

    void writePageSetup(const PageSetup& setup) {
        appendHeader(mOut);
        appendFooter(mOut);
        appendHCenter(mOut, setup.centerHorizontally);
        appendVCenter(mOut, false);
        auto pages = [](int n) { return static_cast<std::uint16_t>(std::clamp(n, 0, 32767)); };
        appendSetup(mOut,
                    {pages(setup.fitToPagesWide), pages(setup.fitToPagesTall), setup.landscape,
                     static_cast<std::uint16_t>(std::clamp(setup.paperSize, 1, 255))});
    }

    // Runs of columns sharing width and default XF; the sheet-wide format reaches all 256.
    void writeColumnInfo(const SheetModel& sheet) {
        struct Column {
            std::uint16_t coldx, xf;
            bool userWidth;
            bool operator==(const Column&) const = default;
        };
        auto columnAt = [&](int column) {
            const auto width = sheet.columnWidth(column);
            return Column{columnWidthToColdx(width.value_or(kDefaultColumnWidth)),
                          mStyles.xfOf(sheet.defaultFormatAt(column)), width.has_value()};
        };
        int first = 1;
        Column run = columnAt(1);
        for (int column = 2; column <= kMaxColumns + 1; ++column) {
            const bool end = column > kMaxColumns;
            const Column next = end ? Column{} : columnAt(column);
            if (!end && next == run)
                continue;
            if (run.userWidth || run.xf != kDefaultCellXf)
                appendColInfo(mOut, static_cast<std::uint16_t>(first - 1),
                              static_cast<std::uint16_t>(column - 2), run.coldx, run.xf,
                              run.userWidth);
            first = column;
            run = next;
        }
    }

    void writeDimensions(const SheetModel& sheet) {
        const auto used = sheet.usedRange();
        if (!used) {
            appendDimensions(mOut, 0, 0, 0, 0);
            return;
        }
        appendDimensions(mOut, static_cast<std::uint32_t>(used->top - 1),
                         static_cast<std::uint32_t>(used->bottom),
                         static_cast<std::uint16_t>(used->left - 1),
                         static_cast<std::uint16_t>(used->right));
    }

    // Rows with cells or an explicit height, in order. A row whose largest font needs more
    // than the default height gets that height, so large titles show uncut on opening.
    std::vector<RowSpan> rowSpans(const SheetModel& sheet) {
        std::vector<RowSpan> rows;
        const auto& explicitHeights = sheet.rowHeights();
        auto height = explicitHeights.lower_bound(1);
        auto addExplicitUpTo = [&](int last) {
            for (; height != explicitHeights.end() && height->first <= last; ++height)
                if (height->first <= kMaxRows)
                    rows.push_back(explicitRow(height->first, height->second));
        };
        for (int row = 1; row <= sheet.rowCount(); ++row) {
            const std::span<const ColumnCell> cells = sheet.cellsInRow(row);
            if (cells.empty())
                continue;
            addExplicitUpTo(row - 1);
            RowSpan span{static_cast<std::uint16_t>(row - 1), cells,
                         static_cast<std::uint16_t>(cells.front().column - 1),
                         static_cast<std::uint16_t>(cells.back().column), 0};
            if (height != explicitHeights.end() && height->first == row) {
                span.heightTwips = explicitRow(row, height->second).heightTwips;
                ++height;
            } else {
                span.heightTwips = heightForFonts(cells);
            }
            rows.push_back(span);
        }
        addExplicitUpTo(kMaxRows);
        return rows;
    }

    static RowSpan explicitRow(int row, double points) {
        RowSpan span;
        span.row = static_cast<std::uint16_t>(row - 1);
        span.heightTwips =
            static_cast<std::uint16_t>(std::clamp(std::lround(points * 20.0), 2L, 8192L));
        return span;
    }

    std::uint16_t heightForFonts(std::span<const ColumnCell> cells) {
        std::uint16_t largestFont = 0;
        for (const ColumnCell& c : cells)
            largestFont = std::max(largestFont, mStyles.fontTwipsOf(c.format));
        const std::uint16_t twips = rowTwipsForFont(largestFont);
        return twips > kDefaultRowTwips ? twips : 0;
    }

    static int blockCount(const std::vector<RowSpan>& rows) {
        int blocks = 0;
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (i == 0 || rows[i].row / kRowsPerBlock != rows[i - 1].row / kRowsPerBlock)
                ++blocks;
        return blocks;
    }

    // Blocks of up to 32 rows: their ROW records, their cells, then a DBCELL that lets
    // readers find each row's cells; the INDEX lists every DBCELL.
    void writeCellTable(const std::vector<RowSpan>& rows, qsizetype dbCellSlots) {
        std::size_t r = 0;
        int block = 0;
        std::vector<std::uint16_t> offsets;
        while (r < rows.size()) {
            std::size_t end = r;
            while (end < rows.size() &&
                   rows[end].row / kRowsPerBlock == rows[r].row / kRowsPerBlock)
                ++end;
            const qsizetype firstRow = mOut.size();
            for (std::size_t k = r; k < end; ++k)
                appendRow(mOut, rows[k].row, rows[k].colFirst, rows[k].colLimit,
                          rows[k].heightTwips);
            offsets.clear();
            qsizetype previous = firstRow + 20; // the second ROW record's start
            for (std::size_t k = r; k < end; ++k) {
                offsets.push_back(static_cast<std::uint16_t>(mOut.size() - previous));
                previous = mOut.size();
                writeCells(rows[k]);
            }
            const qsizetype dbCell = mOut.size();
            appendDbCell(mOut, static_cast<std::uint32_t>(dbCell - firstRow), offsets);
            patchU32(mOut, dbCellSlots + 4 * block, static_cast<std::uint32_t>(dbCell));
            ++block;
            r = end;
        }
    }

    // Texts as LABELSST; runs of adjacent formatted blanks as one MULBLANK.
    void writeCells(const RowSpan& row) {
        const auto cells = row.cells;
        std::size_t i = 0;
        while (i < cells.size()) {
            const ColumnCell& first = cells[i];
            const auto column = static_cast<std::uint16_t>(first.column - 1);
            if (!first.value().isEmpty()) {
                appendLabelSst(mOut, row.row, column, mStyles.xfOf(first.format),
                               mStringIndex.value(first.value()));
                ++i;
                continue;
            }
            mBlankRun.clear();
            while (i < cells.size() && cells[i].value().isEmpty() &&
                   cells[i].column - 1 == column + static_cast<int>(mBlankRun.size())) {
                mBlankRun.push_back(mStyles.xfOf(cells[i].format));
                ++i;
            }
            if (mBlankRun.size() == 1)
                appendBlank(mOut, row.row, column, mBlankRun.front());
            else
                appendMulBlank(mOut, row.row, column, mBlankRun);
        }
    }

    void writeMerges(const SheetModel& sheet) {
        std::vector<MergeArea> areas;
        for (const CellRect& m : sheet.merges()) {
            const bool inside = m.top >= 1 && m.left >= 1 && m.bottom <= kMaxRows &&
                                m.right <= kMaxColumns && m.top <= m.bottom && m.left <= m.right;
            const bool singleCell = m.top == m.bottom && m.left == m.right;
            if (inside && !singleCell)
                areas.push_back({static_cast<std::uint16_t>(m.top - 1),
                                 static_cast<std::uint16_t>(m.bottom - 1),
                                 static_cast<std::uint8_t>(m.left - 1),
                                 static_cast<std::uint8_t>(m.right - 1)});
        }
        appendMergedCells(mOut, areas);
    }

    const WorkbookModel& mWorkbook;
    StyleTable mStyles;
    QStringList mStrings;
    QHash<QString, std::uint32_t> mStringIndex;
    std::uint32_t mStringReferences = 0;
    std::vector<std::uint16_t> mBlankRun;
    QByteArray mOut;
};

} // namespace

QByteArray encodeWorkbookStream(const WorkbookModel& workbook) {
    return WorkbookWriter(workbook).write();
}

} // namespace pq::engine::biff
