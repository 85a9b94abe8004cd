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

using SortedCells = std::vector<std::pair<std::pair<int, int>, const Cell*>>;

constexpr int kRowsPerBlock = 32;

// One ROW record and the cells that follow it (0-based row).
struct RowSpan {
    std::uint16_t row = 0;
    std::size_t begin = 0, end = 0; // cells [begin, end) of the sorted cells
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

void checkCellBounds(const SortedCells& cells) {
    for (const auto& [position, cell] : cells) {
        const auto [row, column] = position;
        if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
            throw Failure(QStringLiteral("Cell at row %1, column %2 lies outside a 97-2003 sheet")
                              .arg(row)
                              .arg(column));
    }
}

class WorkbookWriter {
public:
    explicit WorkbookWriter(const WorkbookModel& workbook)
        : mWorkbook(workbook), mStyles(workbook.formats()) {}

    QByteArray write() {
        planSheets();
        std::vector<qsizetype> offsetSlots = writeGlobals();
        for (std::size_t i = 0; i < mSheets.size(); ++i) {
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
            SortedCells cells = sheet->sortedCells();
            checkCellBounds(cells);
            for (const auto& [position, cell] : cells) {
                mStyles.xfOf(cell->format);
                if (!cell->value.isEmpty()) {
                    ++mStringReferences;
                    if (!mStringIndex.contains(cell->value)) {
                        mStringIndex.insert(cell->value,
                                            static_cast<std::uint32_t>(mStrings.size()));
                        mStrings.push_back(cell->value);
                    }
                }
            }
            for (int column = 1; column <= kMaxColumns; ++column)
                mStyles.xfOf(sheet->defaultFormatAt(column));
            mSheets.push_back(std::move(cells));
        }
        if (mSheets.empty())
            throw Failure(QStringLiteral("A workbook needs at least one sheet"));
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
        const int perBucket = sstStringsPerBucket(mStrings.size());
        const auto buckets = appendSst(mOut, mStrings, mStringReferences, perBucket);
        appendExtSst(mOut, static_cast<std::uint16_t>(perBucket), buckets);
        appendEof(mOut);
        return offsetSlots;
    }

    int activeIndex() const {
        return std::clamp(mWorkbook.activeIndex(), 0, static_cast<int>(mSheets.size()) - 1);
    }

    void writeSheet(std::size_t index) {
        const SheetModel& sheet = *mWorkbook.sheets()[index];
        const SortedCells& cells = mSheets[index];
        const std::vector<RowSpan> rows = rowSpans(sheet, cells);
        const int blocks = blockCount(rows);

        appendBof(mOut, kWorksheetType);
        const std::uint32_t rowFirst = rows.empty() ? 0 : rows.front().row;
        const std::uint32_t rowLimit = rows.empty() ? 0 : rows.back().row + 1u;
        const qsizetype dbCellSlots = appendIndex(mOut, rowFirst, rowLimit, blocks);
        appendDefaultRowHeight(mOut);
        appendWsBool(mOut);
        patchU32(mOut, dbCellSlots - 4, static_cast<std::uint32_t>(mOut.size()));
        appendDefColWidth(mOut);
        writeColumnInfo(sheet);
        writeDimensions(sheet);
        writeCellTable(rows, cells, dbCellSlots);
        writeMerges(sheet);
        appendWindow2(mOut, static_cast<int>(index) == activeIndex());
        appendEof(mOut);
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

    // Rows with cells or an explicit height. A row whose largest font needs more than the
    // default height gets that height, so large titles show uncut on opening.
    std::vector<RowSpan> rowSpans(const SheetModel& sheet, const SortedCells& cells) {
        std::vector<RowSpan> rows;
        std::uint16_t largestFont = 0;
        auto finishRow = [&] {
            if (!rows.empty()) {
                const std::uint16_t twips = rowTwipsForFont(largestFont);
                rows.back().heightTwips = twips > kDefaultRowTwips ? twips : 0;
            }
            largestFont = 0;
        };
        for (std::size_t i = 0; i < cells.size(); ++i) {
            const auto [row, column] = cells[i].first;
            if (rows.empty() || rows.back().row != row - 1) {
                finishRow();
                rows.push_back({static_cast<std::uint16_t>(row - 1), i, i,
                                static_cast<std::uint16_t>(column - 1), 0, 0});
            }
            rows.back().end = i + 1;
            rows.back().colLimit = static_cast<std::uint16_t>(column);
            largestFont = std::max(largestFont, mStyles.fontTwipsOf(cells[i].second->format));
        }
        finishRow();
        applyExplicitHeights(sheet, rows);
        return rows;
    }

    static void applyExplicitHeights(const SheetModel& sheet, std::vector<RowSpan>& rows) {
        bool inserted = false;
        for (const auto& [row, points] : sheet.rowHeights()) {
            if (row < 1 || row > kMaxRows)
                continue;
            const auto twips =
                static_cast<std::uint16_t>(std::clamp(std::lround(points * 20.0), 2L, 8192L));
            auto it = std::lower_bound(rows.begin(), rows.end(), row - 1,
                                       [](const RowSpan& r, int value) { return r.row < value; });
            if (it != rows.end() && it->row == row - 1) {
                it->heightTwips = twips;
            } else {
                RowSpan empty;
                empty.row = static_cast<std::uint16_t>(row - 1);
                empty.heightTwips = twips;
                rows.push_back(empty);
                inserted = true;
            }
        }
        if (inserted)
            std::sort(rows.begin(), rows.end(),
                      [](const RowSpan& a, const RowSpan& b) { return a.row < b.row; });
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
    void writeCellTable(const std::vector<RowSpan>& rows, const SortedCells& cells,
                        qsizetype dbCellSlots) {
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
                writeCells(rows[k], cells);
            }
            const qsizetype dbCell = mOut.size();
            appendDbCell(mOut, static_cast<std::uint32_t>(dbCell - firstRow), offsets);
            patchU32(mOut, dbCellSlots + 4 * block, static_cast<std::uint32_t>(dbCell));
            ++block;
            r = end;
        }
    }

    // Texts as LABELSST; runs of adjacent formatted blanks as one MULBLANK.
    void writeCells(const RowSpan& row, const SortedCells& cells) {
        std::size_t i = row.begin;
        while (i < row.end) {
            const auto [position, cell] = cells[i];
            const auto column = static_cast<std::uint16_t>(position.second - 1);
            if (!cell->value.isEmpty()) {
                appendLabelSst(mOut, row.row, column, mStyles.xfOf(cell->format),
                               mStringIndex.value(cell->value));
                ++i;
                continue;
            }
            mBlankRun.clear();
            while (i < row.end && cells[i].second->value.isEmpty() &&
                   cells[i].first.second - 1 == column + static_cast<int>(mBlankRun.size())) {
                mBlankRun.push_back(mStyles.xfOf(cells[i].second->format));
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
    std::vector<SortedCells> mSheets;
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
