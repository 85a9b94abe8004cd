#include "sheetmodel.h"

#include "base/failure.h"

#include <QHash>
#include <algorithm>

namespace pq::engine {

std::size_t CellFormatHash::operator()(const CellFormat& f) const noexcept {
    std::size_t h = qHash(f.fontName);
    auto mix = [&h](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
    mix(std::hash<double>{}(f.fontSize));
    mix(static_cast<std::size_t>(f.fontColorIndex));
    mix(static_cast<std::size_t>(f.horizontalAlignment));
    mix(static_cast<std::size_t>(f.shrinkToFit));
    mix(static_cast<std::size_t>(f.interiorColorIndex));
    for (int b : f.borders)
        mix(static_cast<std::size_t>(b));
    return h;
}

const QString& Cell::emptyText() {
    static const QString empty;
    return empty;
}

void Cell::setValue(const QString& text) {
    if (text.isEmpty())
        mText.reset();
    else if (mText)
        *mText = text;
    else
        mText = std::make_unique<QString>(text);
}

FormatTable::FormatTable() {
    intern(CellFormat{});
}

std::uint32_t FormatTable::intern(const CellFormat& format) {
    auto [it, inserted] = mIds.try_emplace(format, static_cast<std::uint32_t>(mFormats.size()));
    if (inserted)
        mFormats.push_back(format);
    return it->second;
}

SheetModel::SheetModel(FormatTable& formats, QString name)
    : mFormats(formats), mName(std::move(name)) {}

std::uint32_t SheetModel::defaultFormatAt(int column) const {
    auto it = mColumnFormats.find(column);
    return it != mColumnFormats.end() ? it->second : mSheetFormat;
}

namespace {

bool insideSheet(int row, int column) {
    return row >= 1 && row <= kMaxRows && column >= 1 && column <= kMaxColumns;
}

// The first cell of the row at or right of the column.
template<class Cells> auto seek(Cells& cells, int column) {
    return std::lower_bound(cells.begin(), cells.end(), column,
                            [](const ColumnCell& c, int value) { return c.column < value; });
}

} // namespace

Cell& SheetModel::touchCell(int row, int column) {
    if (!insideSheet(row, column))
        throw Failure(QStringLiteral("Cell at row %1, column %2 lies outside a 97-2003 sheet")
                          .arg(row)
                          .arg(column));
    if (row > rowCount())
        mRows.resize(row);
    Row& r = mRows[row - 1];
    prefetchRowEnd(row + 4);
    std::vector<ColumnCell>::iterator it;
    if (column > r.lastColumn) {
        r.lastColumn = column;
        it = r.cells.end();
    } else {
        it = seek(r.cells, column);
        if (it != r.cells.end() && it->column == column)
            return *it;
    }
    it = r.cells.insert(it, ColumnCell{Cell(defaultFormatAt(column)), column});
    ++mCellCount;
    growUsedRange(row, column);
    return *it;
}

// A layout fills a column from top to bottom, each cell in another row's memory: fetching the
// end of a row a few rows further down early hides most of the wait for it.
void SheetModel::prefetchRowEnd(int row) const {
    if (row <= rowCount()) {
        const auto& cells = mRows[row - 1].cells;
        __builtin_prefetch(cells.data() + cells.size(), 1);
    }
}

void SheetModel::setValue(int row, int column, const QString& value) {
    // A merged area shows its top-left cell only; the object model writes there.
    if (const CellRect* m = mergeAt(row, column)) {
        row = m->top;
        column = m->left;
    }
    touchCell(row, column).setValue(value);
}

const Cell* SheetModel::cell(int row, int column) const {
    if (!insideSheet(row, column) || row > rowCount() || column > mRows[row - 1].lastColumn)
        return nullptr;
    const auto& cells = mRows[row - 1].cells;
    const auto it = seek(cells, column);
    return it != cells.end() && it->column == column ? &*it : nullptr;
}

std::span<const ColumnCell> SheetModel::cellsInRow(int row) const {
    if (row < 1 || row > rowCount())
        return {};
    return mRows[row - 1].cells;
}

void SheetModel::reserveRows(int lastRow) {
    mRows.reserve(static_cast<std::size_t>(std::clamp(lastRow, 0, kMaxRows)));
}

void SheetModel::reserveRow(int row, int cells) {
    if (!insideSheet(row, 1))
        return;
    if (row > rowCount())
        mRows.resize(row);
    mRows[row - 1].cells.reserve(static_cast<std::size_t>(std::clamp(cells, 0, kMaxColumns)));
}

const CellFormat& SheetModel::formatAt(int row, int column) const {
    const Cell* c = cell(row, column);
    return mFormats.at(c ? c->format : defaultFormatAt(column));
}

void SheetModel::setColumnWidth(int firstColumn, int lastColumn, double characters) {
    for (int c = firstColumn; c <= lastColumn; ++c)
        mColumnWidths[c] = characters;
}

std::optional<double> SheetModel::columnWidth(int column) const {
    auto it = mColumnWidths.find(column);
    if (it == mColumnWidths.end())
        return std::nullopt;
    return it->second;
}

std::optional<std::uint32_t> SheetModel::columnFormat(int column) const {
    auto it = mColumnFormats.find(column);
    if (it == mColumnFormats.end())
        return std::nullopt;
    return it->second;
}

void SheetModel::setColumnFormatId(int firstColumn, int lastColumn, std::uint32_t id) {
    for (int c = firstColumn; c <= lastColumn; ++c)
        mColumnFormats[c] = id;
}

void SheetModel::merge(const CellRect& area) {
    // Merging takes the top-left cell's format over the whole area; the other cells' values
    // are dropped, as the spreadsheet application does without alerts.
    const std::uint32_t anchorFormat = touchCell(area.top, area.left).format;
    for (int r = area.top; r <= area.bottom; ++r)
        for (int c = area.left; c <= area.right; ++c) {
            Cell& target = touchCell(r, c);
            target.format = anchorFormat;
            if (r != area.top || c != area.left)
                target.setValue(QString());
        }
    // An overlapping earlier merge is absorbed into the new area.
    std::erase_if(mMerges, [&](const CellRect& m) {
        return !(m.right < area.left || m.left > area.right || m.bottom < area.top ||
                 m.top > area.bottom);
    });
    mMerges.push_back(area);
}

const CellRect* SheetModel::mergeAt(int row, int column) const {
    for (const CellRect& m : mMerges)
        if (m.contains(row, column))
            return &m;
    return nullptr;
}

std::optional<CellRect> SheetModel::usedRange() const {
    return mUsed;
}

void SheetModel::growUsedRange(int row, int column) {
    if (!mUsed) {
        mUsed = CellRect{row, column, row, column};
        return;
    }
    mUsed->top = std::min(mUsed->top, row);
    mUsed->bottom = std::max(mUsed->bottom, row);
    mUsed->left = std::min(mUsed->left, column);
    mUsed->right = std::max(mUsed->right, column);
}

WorkbookModel::WorkbookModel() = default;

SheetModel& WorkbookModel::addSheet(const QString& name) {
    mSheets.push_back(std::make_unique<SheetModel>(mFormats, name));
    return *mSheets.back();
}

} // namespace pq::engine
