#include "chartfind.h"

#include "gedcom/names.h"
#include "spreadsheet/engine/rangepicture.h"
#include "spreadsheet/engine/xls/xlsfile.h"

#include <algorithm>
#include <memory>

namespace pq {

namespace {
// The pixels of a cell area on the picture, its edges' gridlines included.
QRect areaPixels(const engine::RangeGeometry& geometry, const engine::CellRect& range,
                 const engine::CellRect& area) {
    const int left = geometry.columnLefts[area.left - range.left];
    const int top = geometry.rowTops[area.top - range.top];
    const int right = geometry.columnLefts[area.right - range.left + 1];
    const int bottom = geometry.rowTops[area.bottom - range.top + 1];
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

engine::CellRect clipped(const engine::CellRect& area, const engine::CellRect& range) {
    return {std::max(area.top, range.top), std::max(area.left, range.left),
            std::min(area.bottom, range.bottom), std::min(area.right, range.right)};
}
} // namespace

ChartFind::ChartFind(const engine::SheetModel& sheet, const engine::CellRect& range) {
    const engine::RangeGeometry geometry = engine::rangeGeometry(sheet, range);
    std::string folded;
    sheet.forEachCell([&](int row, int column, const engine::Cell& cell) {
        if (cell.value().isEmpty() || !range.contains(row, column))
            return;
        engine::CellRect area{row, column, row, column};
        if (const engine::CellRect* merged = sheet.mergeAt(row, column))
            area = clipped(*merged, range);
        folded = gedcom::foldQuery(cell.value());
        if (folded.empty())
            return;
        mEntries.push_back({areaPixels(geometry, range, area), cell.value(), folded});
    });
}

ChartFind ChartFind::fromWorkbookFile(const QString& path) {
    const std::unique_ptr<engine::WorkbookModel> workbook = engine::readXls(path);
    const engine::SheetModel& sheet = workbook->activeSheet();
    const std::optional<engine::CellRect> used = sheet.usedRange();
    if (!used)
        return {};
    return ChartFind(sheet, *used);
}

std::optional<ChartFind::Found> ChartFind::find(QStringView typed, std::optional<std::size_t> after,
                                                bool backwards) const {
    const std::string wanted = gedcom::foldQuery(typed.toString());
    if (wanted.empty())
        return std::nullopt;
    // One pass: the count and ordinal come with the match, so the answer costs the same
    // wherever the match lies.
    std::optional<Found> first, last, next, previous;
    int total = 0;
    for (std::size_t i = 0; i < mEntries.size(); ++i) {
        if (mEntries[i].folded.find(wanted) == std::string::npos)
            continue;
        const Found here{i, ++total, 0};
        if (!first)
            first = here;
        last = here;
        if (after && i < *after)
            previous = here;
        if (!next && (!after || i > *after))
            next = here;
    }
    std::optional<Found> found = backwards ? (previous ? previous : last) : (next ? next : first);
    if (found)
        found->total = total;
    return found;
}

} // namespace pq
