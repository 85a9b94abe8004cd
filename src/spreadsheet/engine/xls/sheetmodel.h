#pragma once

// The in-memory workbook behind the embedded spreadsheet engine: cells with their values and
// formats, column widths, merged areas and row heights. The automation objects edit it; the
// BIFF8 writer and reader and the range renderer read and fill it.

#include <QRect>
#include <QString>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

namespace pq::engine {

// Constants with the values of the spreadsheet application's own object model.
inline constexpr int kColorIndexAutomatic = -4105; // font colour "automatic"
inline constexpr int kColorIndexNone = -4142;      // interior without fill
inline constexpr int kLineStyleNone = -4142;
inline constexpr int kLineStyleContinuous = 1;
inline constexpr int kAlignGeneral = 1;
inline constexpr int kAlignLeft = -4131;
inline constexpr int kAlignCenter = -4108;
inline constexpr int kAlignRight = -4152;

inline constexpr int kMaxRows = 65536;  // a 97-2003 sheet
inline constexpr int kMaxColumns = 256; // columns A..IV
inline constexpr int kMaxCellTextLength = 32767;

// Edges in the order of the object model's edge constants 7..10.
enum class Edge : int { Left = 0, Top = 1, Bottom = 2, Right = 3 };

struct CellFormat {
    QString fontName = QStringLiteral("Arial");
    double fontSize = 10.0;                    // points
    int fontColorIndex = kColorIndexAutomatic; // ColorIndex 1..56, or automatic
    int horizontalAlignment = kAlignGeneral;
    bool shrinkToFit = false; // text wider than its cell is drawn smaller, never cut
    int interiorColorIndex = kColorIndexNone; // ColorIndex 1..56, or none
    std::array<int, 4> borders{kLineStyleNone, kLineStyleNone, kLineStyleNone, kLineStyleNone};

    int border(Edge e) const { return borders[static_cast<int>(e)]; }
    bool operator==(const CellFormat&) const = default;
};

struct CellFormatHash {
    std::size_t operator()(const CellFormat& f) const noexcept;
};

// Interns formats so that every distinct format is stored once and a cell holds a small id.
// Interning is O(1) amortised.
class FormatTable {
public:
    FormatTable();
    std::uint32_t intern(const CellFormat& format);
    // The format an edit makes of format `id`. An edit named by a key (its property and value,
    // see editKey) is remembered, so that repeating it on many cells costs one lookup each: a
    // chart sets the same few properties on thousands of cells. Key 0 names no edit.
    template<class Edit> std::uint32_t edited(std::uint32_t id, std::uint32_t key, Edit&& edit);
    const CellFormat& at(std::uint32_t id) const { return mFormats.at(id); }
    std::size_t size() const { return mFormats.size(); }
    static constexpr std::uint32_t kDefault = 0; // the workbook's Normal format

private:
    std::vector<CellFormat> mFormats;
    std::unordered_map<CellFormat, std::uint32_t, CellFormatHash> mIds;
    // By format id: the named edits made of it and the formats they made. A format has few.
    std::vector<std::vector<std::pair<std::uint32_t, std::uint32_t>>> mEdited;
};

// The properties an edit key can name.
enum class EditedProperty : std::uint32_t {
    FontColor = 1,
    Alignment,
    Interior,
    LeftBorder,
    TopBorder,
    BottomBorder,
    RightBorder,
    ShrinkToFit,
};

// Names the edit that sets a property to a value (the object model's small whole numbers).
constexpr std::uint32_t editKey(EditedProperty property, int value) {
    return static_cast<std::uint32_t>(property) << 24 |
           (static_cast<std::uint32_t>(value) & 0xFFFFFF);
}

// A cell: its format and, when it shows something, its text. Nearly every cell of a chart is
// a blank that only carries its format, so the text is held apart: a blank costs a pointer
// and its format.
class Cell {
public:
    Cell() = default;
    explicit Cell(std::uint32_t format) : format(format) {}

    const QString& value() const { return mText ? *mText : emptyText(); }
    void setValue(const QString& text);

private:
    static const QString& emptyText();
    std::unique_ptr<QString> mText; // null for a blank

public:
    // After the text, so that a row's column fits in the room left at the end.
    std::uint32_t format = FormatTable::kDefault;
};

// A cell with its column, as a row stores it. The column takes the room the cell leaves
// unused at its end, so a stored cell costs no more than the cell.
struct ColumnCell : Cell {
    int column = 0;
};

// A rectangle of 1-based rows and columns, both ends included.
struct CellRect {
    int top = 1, left = 1, bottom = 1, right = 1;
    bool contains(int row, int column) const {
        return row >= top && row <= bottom && column >= left && column <= right;
    }
    bool operator==(const CellRect&) const = default;
};

// How a sheet prints, as the spreadsheet application's page set-up holds it.
struct PageSetup {
    std::optional<CellRect> printArea; // nothing: the used range
    int titleRowFirst = 0;             // rows repeated atop every page; 0: none
    int titleRowLast = 0;
    // Scaled to fit so many pages wide and tall (0: as many as needed) instead of printed at
    // full size.
    bool fitToPages = false;
    int fitToPagesWide = 1;
    int fitToPagesTall = 1;
    bool centerHorizontally = false;
    bool landscape = false;
    int paperSize = 9; // the paper size code: 9 A4, 1 Letter, 5 Legal, 8 A3, 3 Tabloid
    bool operator==(const PageSetup&) const = default;
};

// One worksheet. Rows and columns are 1-based, as in the object model.
class SheetModel {
public:
    explicit SheetModel(FormatTable& formats, QString name = QStringLiteral("Sheet1"));

    const QString& name() const { return mName; }
    void setName(const QString& name) { mName = name; }

    // The format a cell takes when it comes into being: the column's, else the sheet's.
    std::uint32_t defaultFormatAt(int column) const;

    // Sheet-wide format (the whole-sheet Cells selection): every existing cell, every column
    // and every cell created later take the change.
    template<class Edit> void editSheetFormat(Edit&& edit);

    // Edits one cell's format, creating the cell when needed. Within a merged area the whole
    // area takes the change, as a merged cell is formatted as one. `key` names the edit, if it
    // can be named (FormatTable::edited).
    template<class Edit>
    void editCellFormat(int row, int column, Edit&& edit, std::uint32_t key = 0);

    void setValue(int row, int column, const QString& value);
    const Cell* cell(int row, int column) const;
    const CellFormat& formatAt(int row, int column) const;

    void setColumnWidth(int firstColumn, int lastColumn, double characters);
    std::optional<double> columnWidth(int column) const; // unset: the default width
    const std::map<int, double>& columnWidths() const { return mColumnWidths; }
    std::optional<std::uint32_t> columnFormat(int column) const;
    std::uint32_t sheetFormat() const { return mSheetFormat; }

    // Row heights in points that a file gave explicitly; the writer computes the rest.
    void setRowHeight(int row, double points) { mRowHeights[row] = points; }
    const std::map<int, double>& rowHeights() const { return mRowHeights; }

    const PageSetup& pageSetup() const { return mPageSetup; }
    PageSetup& pageSetup() { return mPageSetup; }

    void merge(const CellRect& area);
    // For readers: records a merged area as a file gave it, leaving the cells as they are.
    void restoreMerge(const CellRect& area) { mMerges.push_back(area); }
    const std::vector<CellRect>& merges() const { return mMerges; }
    const CellRect* mergeAt(int row, int column) const;

    // The rectangle spanned by every cell that holds a value or a format, or nothing on an
    // empty sheet. Kept up to date on every change, never rescanned.
    std::optional<CellRect> usedRange() const;

    // The stored cells of one row in column order; empty for a row without cells.
    std::span<const ColumnCell> cellsInRow(int row) const;
    // The last row that has room for cells: rows 1..rowCount() may hold cells.
    int rowCount() const { return static_cast<int>(mRows.size()); }
    std::size_t cellCount() const { return mCellCount; }

    // Visits every cell as visit(row, column, cell), rows in order and each row's cells in
    // column order.
    template<class Visit> void forEachCell(Visit&& visit) const {
        for (std::size_t r = 0; r < mRows.size(); ++r)
            for (const ColumnCell& c : mRows[r].cells)
                visit(static_cast<int>(r) + 1, c.column, static_cast<const Cell&>(c));
    }

    // Room for the cells of an area (readers know it from the file), so that filling it
    // moves nothing.
    void reserveRows(int lastRow);
    void reserveRow(int row, int cells);

    FormatTable& formats() { return mFormats; }
    const FormatTable& formats() const { return mFormats; }

    // Whole-sheet format without touching cells (for readers that restore column formats).
    void setSheetFormatId(std::uint32_t id) { mSheetFormat = id; }
    void setColumnFormatId(int firstColumn, int lastColumn, std::uint32_t id);
    // The cell, created with its column's format when missing. A position outside a
    // 97-2003 sheet fails.
    Cell& touchCell(int row, int column);

private:
    void growUsedRange(int row, int column);
    void prefetchRowEnd(int row) const;

    FormatTable& mFormats;
    QString mName;
    // Row r's cells at mRows[r - 1], each row in column order: the writer walks them as they
    // are, and a lookup is a short search in one row. The row's last column is kept beside
    // its cells, so that adding a cell at a row's end, the common case, reads nothing of the
    // row's cells: a pass down a column then never waits for memory.
    struct Row {
        std::vector<ColumnCell> cells;
        int lastColumn = 0;
    };
    std::vector<Row> mRows;
    std::size_t mCellCount = 0;
    std::map<int, double> mColumnWidths;
    std::map<int, std::uint32_t> mColumnFormats;
    std::map<int, double> mRowHeights;
    std::vector<CellRect> mMerges;
    std::uint32_t mSheetFormat = FormatTable::kDefault;
    std::optional<CellRect> mUsed;
    PageSetup mPageSetup;
};

class WorkbookModel {
public:
    WorkbookModel();
    WorkbookModel(const WorkbookModel&) = delete; // sheets refer to mFormats
    WorkbookModel& operator=(const WorkbookModel&) = delete;
    FormatTable& formats() { return mFormats; }
    const FormatTable& formats() const { return mFormats; }
    SheetModel& addSheet(const QString& name);
    std::vector<std::unique_ptr<SheetModel>>& sheets() { return mSheets; }
    const std::vector<std::unique_ptr<SheetModel>>& sheets() const { return mSheets; }
    SheetModel& activeSheet() { return *mSheets.at(mActive); }
    const SheetModel& activeSheet() const { return *mSheets.at(mActive); }
    int activeIndex() const { return mActive; }
    void setActiveIndex(int index) { mActive = index; }

private:
    FormatTable mFormats;
    std::vector<std::unique_ptr<SheetModel>> mSheets;
    int mActive = 0;
};

// ---- template members ----

template<class Edit> void SheetModel::editSheetFormat(Edit&& edit) {
    auto apply = [&](std::uint32_t id) {
        CellFormat f = mFormats.at(id);
        edit(f);
        return mFormats.intern(f);
    };
    // Each distinct old format maps to one new format, so the pass costs one intern per
    // distinct format, not per cell.
    std::unordered_map<std::uint32_t, std::uint32_t> remap;
    auto mapped = [&](std::uint32_t id) {
        auto it = remap.find(id);
        if (it == remap.end())
            it = remap.emplace(id, apply(id)).first;
        return it->second;
    };
    mSheetFormat = mapped(mSheetFormat);
    for (auto& [column, id] : mColumnFormats)
        id = mapped(id);
    for (auto& row : mRows)
        for (ColumnCell& c : row.cells)
            c.format = mapped(c.format);
}

template<class Edit>
std::uint32_t FormatTable::edited(std::uint32_t id, std::uint32_t key, Edit&& edit) {
    if (key != 0 && id < mEdited.size())
        for (const auto& [known, result] : mEdited[id])
            if (known == key)
                return result;
    CellFormat f = at(id);
    edit(f);
    const std::uint32_t result = intern(f);
    if (key != 0) {
        if (id >= mEdited.size())
            mEdited.resize(id + 1);
        mEdited[id].emplace_back(key, result);
    }
    return result;
}

template<class Edit>
void SheetModel::editCellFormat(int row, int column, Edit&& edit, std::uint32_t key) {
    CellRect area{row, column, row, column};
    if (const CellRect* m = mergeAt(row, column))
        area = *m;
    for (int r = area.top; r <= area.bottom; ++r)
        for (int c = area.left; c <= area.right; ++c) {
            Cell& target = touchCell(r, c);
            target.format = mFormats.edited(target.format, key, edit);
        }
}

} // namespace pq::engine
