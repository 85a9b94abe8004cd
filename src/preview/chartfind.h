#pragma once

// Finding text in the chart: every text the chart's cells hold, each with the place of its box
// on the picture, and a search through them in reading order (row by row, left to right).
// Case, accents and spacing are ignored, as in the names of a family-tree file.

#include "spreadsheet/engine/xls/sheetmodel.h"

#include <QRect>
#include <QString>
#include <QStringView>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace pq {

class ChartFind {
public:
    ChartFind() = default;
    // The texts of the sheet over `range`, the range its picture shows; boxes in the picture's
    // pixels at factor 1 (a merged area is one box).
    ChartFind(const engine::SheetModel& sheet, const engine::CellRect& range);
    // The texts of a workbook file's active sheet over its used range, the range the preview's
    // picture shows. Throws Failure when the file cannot be read.
    static ChartFind fromWorkbookFile(const QString& path);

    struct Found {
        std::size_t index = 0; // the box, for box()
        int ordinal = 0;       // 1 for the first box in reading order that holds the text
        int total = 0;         // how many boxes hold it
    };
    // The next box after `after` (from the start when nothing) that holds `typed`, going on
    // from the start past the last one; backwards, the one before. Nothing when no box holds
    // it or nothing but spaces was typed.
    std::optional<Found> find(QStringView typed, std::optional<std::size_t> after = std::nullopt,
                              bool backwards = false) const;

    const QRect& box(std::size_t index) const { return mEntries.at(index).box; }
    const QString& text(std::size_t index) const { return mEntries.at(index).text; }
    std::size_t size() const { return mEntries.size(); }

private:
    struct Entry {
        QRect box;
        QString text;
        std::string folded;
    };
    std::vector<Entry> mEntries; // in reading order
};

} // namespace pq
