#include "rangedisplaylist.h"

#include "base/failure.h"

#include <QFont>
#include <QFontMetricsF>
#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <numeric>

namespace pq::engine {

namespace {

constexpr int kMaxDigitWidth = 7; // Arial 10, the standard font, at 96 dpi
constexpr int kDefaultColumnPixels = 64;
constexpr double kMinRowPoints = 12.75;
constexpr int kTextPadding = 2; // between a gridline and left- or right-aligned text

// ---- geometry ----

int columnPixels(std::optional<double> characters) {
    if (!characters)
        return kDefaultColumnPixels;
    const double n = *characters;
    if (n <= 0)
        return 0; // hidden
    // Below one character the padding shrinks with the width.
    if (n < 1)
        return static_cast<int>(std::lround(n * (kMaxDigitWidth + 5)));
    return static_cast<int>(n * kMaxDigitWidth + 5 + 1e-9);
}

int pointsToPixels(double points) {
    return static_cast<int>(std::lround(points * 96.0 / 72.0));
}

struct PlacedCell {
    int row = 0;
    int column = 0;
    const Cell* cell = nullptr;
};

// The geometry and, on request, the range's cells in row-major order, from one pass over the
// range's rows.
struct RangeScan {
    RangeGeometry geometry;
    std::vector<PlacedCell> cells;
};

void validate(const CellRect& range) {
    if (range.top < 1 || range.left < 1 || range.bottom > kMaxRows || range.right > kMaxColumns ||
        range.top > range.bottom || range.left > range.right)
        throw Failure(failures::kInvalidArgument);
}

std::vector<int> edgesFrom(const std::vector<int>& sizes) {
    std::vector<int> edges(sizes.size() + 1, 0);
    for (std::size_t i = 0; i < sizes.size(); ++i)
        edges[i + 1] = edges[i] + sizes[i];
    return edges;
}

RangeScan scanRange(const SheetModel& sheet, const CellRect& range, bool collectCells) {
    validate(range);
    const FormatTable& formats = sheet.formats();
    std::vector<double> neededByFormat(formats.size(), -1.0);
    auto needed = [&](std::uint32_t id) {
        if (neededByFormat[id] < 0)
            neededByFormat[id] = rowHeightPointsForFont(formats.at(id).fontSize);
        return neededByFormat[id];
    };

    // Rows without cells of their own follow the whole-sheet font.
    const int rows = range.bottom - range.top + 1;
    std::vector<double> points(rows, needed(sheet.sheetFormat()));
    RangeScan scan;
    for (int row = range.top; row <= std::min(range.bottom, sheet.rowCount()); ++row) {
        double& rowPoints = points[row - range.top];
        for (const ColumnCell& c : sheet.cellsInRow(row)) {
            if (collectCells && c.column >= range.left && c.column <= range.right)
                scan.cells.push_back({row, c.column, &c});
            const double cellPoints = needed(c.format);
            if (cellPoints <= rowPoints)
                continue;
            // A merged area's font counts for its top row only.
            if (const CellRect* m = sheet.mergeAt(row, c.column); m && m->top != row)
                continue;
            rowPoints = cellPoints;
        }
    }
    const auto& explicitHeights = sheet.rowHeights();
    for (auto it = explicitHeights.lower_bound(range.top);
         it != explicitHeights.end() && it->first <= range.bottom; ++it)
        points[it->first - range.top] = std::max(0.0, it->second);

    std::vector<int> heights(rows);
    std::transform(points.begin(), points.end(), heights.begin(), pointsToPixels);
    std::vector<int> widths;
    for (int c = range.left; c <= range.right; ++c)
        widths.push_back(columnPixels(sheet.columnWidth(c)));
    scan.geometry.columnLefts = edgesFrom(widths);
    scan.geometry.rowTops = edgesFrom(heights);
    return scan;
}

// ---- intervals of cells along an edge ----

// Cells from..to (relative indices) along edge `edge` (a relative edge index).
struct EdgeRun {
    int edge = 0;
    int from = 0;
    int to = 0;
};

// Orders runs by edge, then start, and joins those that touch or overlap on the same edge.
// Cells come row by row, so along each edge the runs mostly arrive in order already: grouping
// them by edge (a counting sort) leaves each group sorted or nearly so.
std::vector<EdgeRun> joined(const std::vector<EdgeRun>& runs, int edges) {
    std::vector<std::size_t> groupEnd(static_cast<std::size_t>(edges) + 1, 0);
    for (const EdgeRun& r : runs)
        ++groupEnd[static_cast<std::size_t>(r.edge) + 1];
    std::partial_sum(groupEnd.begin(), groupEnd.end(), groupEnd.begin());
    std::vector<EdgeRun> grouped(runs.size());
    for (const EdgeRun& r : runs)
        grouped[groupEnd[static_cast<std::size_t>(r.edge)]++] = r;
    const auto byStart = [](const EdgeRun& a, const EdgeRun& b) { return a.from < b.from; };
    for (std::size_t e = 0, begin = 0; e < static_cast<std::size_t>(edges); ++e) {
        const auto first = grouped.begin() + static_cast<std::ptrdiff_t>(begin);
        const auto last = grouped.begin() + static_cast<std::ptrdiff_t>(groupEnd[e]);
        if (!std::is_sorted(first, last, byStart))
            std::sort(first, last, byStart);
        begin = groupEnd[e];
    }
    std::vector<EdgeRun> out;
    for (const EdgeRun& r : grouped) {
        if (!out.empty() && out.back().edge == r.edge && r.from <= out.back().to + 1)
            out.back().to = std::max(out.back().to, r.to);
        else
            out.push_back(r);
    }
    return out;
}

// The runs of 0..length-1 on each edge 0..edges-1 that no blocked run covers.
std::vector<EdgeRun> complement(const std::vector<EdgeRun>& blocked, int edges, int length) {
    std::vector<EdgeRun> out;
    auto b = blocked.begin();
    for (int e = 0; e < edges; ++e) {
        int next = 0;
        for (; b != blocked.end() && b->edge == e; ++b) {
            if (b->from > next)
                out.push_back({e, next, b->from - 1});
            next = std::max(next, b->to + 1);
        }
        if (next < length)
            out.push_back({e, next, length - 1});
    }
    return out;
}

// ---- text ----

QString displayText(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar ch = value.at(i);
        const char16_t u = ch.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
            continue; // control characters show nothing on one line
        if (ch.isHighSurrogate() && i + 1 < value.size() && value.at(i + 1).isLowSurrogate()) {
            out += ch;
            out += value.at(++i);
        } else if (ch.isSurrogate() || u == 0xFFFE || u == 0xFFFF) {
            out += QChar::ReplacementCharacter; // not representable in XML or UTF-8
        } else {
            out += ch;
        }
    }
    return out;
}

// Metrics of a font at a size, scaled from the reference size.
class ScaledMetrics {
public:
    ScaledMetrics(const QString& family, double points)
        : mMetrics(referenceFont(family)), mScale(pixelsForPoints(points) / kReferenceFontPixels) {}
    double advance(const QString& text, qsizetype length) const {
        return length == 0 ? 0.0
                           : mMetrics.horizontalAdvance(text, static_cast<int>(length)) * mScale;
    }
    double descent() const { return mMetrics.descent() * mScale; }

private:
    QFontMetricsF mMetrics;
    double mScale;
};

class FontCache {
public:
    const ScaledMetrics& metrics(const QString& family, double points) {
        for (const Entry& e : mEntries)
            if (e.family == family && e.points == points)
                return e.metrics;
        mEntries.push_back({family, points, ScaledMetrics(family, points)});
        return mEntries.back().metrics;
    }

private:
    struct Entry {
        QString family;
        double points;
        ScaledMetrics metrics;
    };
    std::deque<Entry> mEntries; // stable references
};

// Smallest n in [lo, hi] with pred(n), given pred is monotone; hi + 1 when none.
template<class Pred> qsizetype firstWhere(qsizetype lo, qsizetype hi, Pred pred) {
    while (lo <= hi) {
        const qsizetype mid = lo + (hi - lo) / 2;
        if (pred(mid))
            hi = mid - 1;
        else
            lo = mid + 1;
    }
    return lo;
}

// Cuts the run to the characters that lie wholly within [left, right), as a clipped cell
// shows them; a surrogate pair is never split.
void cutToClip(TextRun& run, const ScaledMetrics& m, double left, double right) {
    const QString& t = run.text;
    const auto advance = [&](qsizetype n) { return m.advance(t, n); };
    const double width = advance(t.size());
    if (run.x >= left - 0.01 && run.x + width <= right + 0.01)
        return;
    qsizetype a = run.x >= left ? 0 : firstWhere(0, t.size(), [&](qsizetype n) {
        return run.x + advance(n) >= left - 0.01;
    });
    qsizetype b =
        firstWhere(0, t.size(), [&](qsizetype n) { return run.x + advance(n) > right + 0.01; }) - 1;
    if (a < t.size() && a > 0 && t.at(a).isLowSurrogate())
        ++a;
    if (b > 0 && b < t.size() && t.at(b - 1).isHighSurrogate())
        --b;
    if (b <= a) {
        run.text.clear();
        return;
    }
    run.x += advance(a);
    run.text = t.mid(a, b - a);
}

QRgb fontColor(const CellFormat& f) {
    return defaultPaletteColor(f.fontColorIndex).value_or(qRgb(0, 0, 0));
}

bool hasFillOrBorder(const CellFormat& f) {
    return defaultPaletteColor(f.interiorColorIndex) ||
           std::any_of(f.borders.begin(), f.borders.end(),
                       [](int b) { return b != kLineStyleNone; });
}

// ---- the builder ----

class Builder {
public:
    Builder(const SheetModel& sheet, const CellRect& range)
        : mSheet(sheet), mRange(range), mScan(scanRange(sheet, range, true)),
          mCols(range.right - range.left + 1), mRows(range.bottom - range.top + 1) {
        for (const CellRect& m : sheet.merges())
            if (!(m.right < range.left || m.left > range.right || m.bottom < range.top ||
                  m.top > range.bottom))
                mMerges.push_back(m);
    }

    RangeDisplayList build() {
        RangeDisplayList list;
        list.bands.resize((mRows + kRowsPerBand - 1) / kRowsPerBand);
        for (std::size_t i = 0; i < list.bands.size(); ++i) {
            list.bands[i].firstRow = mRange.top + static_cast<int>(i) * kRowsPerBand;
            list.bands[i].lastRow =
                std::min(mRange.bottom, list.bands[i].firstRow + kRowsPerBand - 1);
        }
        mBands = &list.bands;
        addMerges();
        addCells();
        addDefaultFormatCells();
        emitBorders();
        emitGridlines();
        list.geometry = std::move(mScan.geometry);
        return list;
    }

private:
    const std::vector<int>& lefts() const { return mScan.geometry.columnLefts; }
    const std::vector<int>& tops() const { return mScan.geometry.rowTops; }
    RowBand& bandOfRow(int relRow) {
        return (*mBands)[std::clamp(relRow, 0, mRows - 1) / kRowsPerBand];
    }

    const CellRect* mergeAt(int row, int column) const {
        for (const CellRect& m : mMerges)
            if (m.contains(row, column))
                return &m;
        return nullptr;
    }

    CellRect clipped(const CellRect& m) const {
        return {std::max(m.top, mRange.top), std::max(m.left, mRange.left),
                std::min(m.bottom, mRange.bottom), std::min(m.right, mRange.right)};
    }

    // Pixels of an area including both edge lines, as a fill covers its gridlines.
    QRect areaPixels(const CellRect& a) const {
        const int l = lefts()[a.left - mRange.left], r = lefts()[a.right - mRange.left + 1];
        const int t = tops()[a.top - mRange.top], b = tops()[a.bottom - mRange.top + 1];
        return QRect(QPoint(l, t), QPoint(r, b));
    }

    void addFill(const CellRect& area, const CellFormat& f) {
        const std::optional<QRgb> color = defaultPaletteColor(f.interiorColorIndex);
        if (!color)
            return;
        // One box per band, so that a later band's gridlines never cross it.
        for (int top = area.top; top <= area.bottom;) {
            const int rel = top - mRange.top;
            const int bottom =
                std::min(area.bottom, mRange.top + (rel / kRowsPerBand + 1) * kRowsPerBand - 1);
            bandOfRow(rel).fills.push_back(
                {areaPixels({top, area.left, bottom, area.right}), *color});
            top = bottom + 1;
        }
    }

    void addMerges() {
        for (const CellRect& m : mMerges) {
            const CellRect area = clipped(m);
            const Cell* anchor = mSheet.cell(m.top, m.left);
            const CellFormat& f = mSheet.formatAt(m.top, m.left);
            addFill(area, f);
            for (int e = area.left + 1; e <= area.right; ++e)
                mBlockedVertical.push_back(
                    {e - mRange.left, area.top - mRange.top, area.bottom - mRange.top});
            for (int e = area.top + 1; e <= area.bottom; ++e)
                mBlockedHorizontal.push_back(
                    {e - mRange.top, area.left - mRange.left, area.right - mRange.left});
            if (anchor && !anchor->value().isEmpty())
                addText(anchor->value(), f, area, false);
        }
    }

    void addCells() {
        for (const PlacedCell& p : mScan.cells) {
            const CellFormat& f = mSheet.formats().at(p.cell->format);
            const CellRect* merge = mergeAt(p.row, p.column);
            addBorders(p.row, p.row, p.column, f, merge);
            if (merge)
                continue; // fill and text belong to the whole area
            addFill({p.row, p.column, p.row, p.column}, f);
            if (!p.cell->value().isEmpty())
                addText(p.cell->value(), f, {p.row, p.column, p.row, p.column}, true);
        }
    }

    // Positions without a cell show their column's format, or the sheet's.
    void addDefaultFormatCells() {
        std::vector<int> columns;
        for (int c = mRange.left; c <= mRange.right; ++c)
            if (hasFillOrBorder(mSheet.formats().at(mSheet.defaultFormatAt(c))))
                columns.push_back(c);
        if (columns.empty())
            return;
        std::vector<std::vector<int>> rowsWithCells(mCols); // each in ascending order
        for (const PlacedCell& p : mScan.cells)
            rowsWithCells[p.column - mRange.left].push_back(p.row);
        for (int c : columns) {
            const CellFormat& f = mSheet.formats().at(mSheet.defaultFormatAt(c));
            int next = mRange.top;
            auto gap = [&](int until) {
                if (until >= next) {
                    addFill({next, c, until, c}, f);
                    addBorders(next, until, c, f, nullptr);
                }
            };
            for (int row : rowsWithCells[c - mRange.left]) {
                gap(row - 1);
                next = row + 1;
            }
            gap(mRange.bottom);
        }
    }

    // Borders of the cells top..bottom of one column; an edge inside a merged area has none.
    void addBorders(int top, int bottom, int column, const CellFormat& f, const CellRect* merge) {
        const int relCol = column - mRange.left;
        const int relTop = top - mRange.top, relBottom = bottom - mRange.top;
        auto inside = [&](int row, int col) { return merge && merge->contains(row, col); };
        if (f.border(Edge::Left) != kLineStyleNone && !inside(top, column - 1))
            mVerticalBorders.push_back({relCol, relTop, relBottom});
        if (f.border(Edge::Right) != kLineStyleNone && !inside(top, column + 1))
            mVerticalBorders.push_back({relCol + 1, relTop, relBottom});
        for (int r = relTop; r <= relBottom; ++r) {
            if (f.border(Edge::Top) != kLineStyleNone && !inside(r + mRange.top - 1, column))
                mHorizontalBorders.push_back({r, relCol, relCol});
            if (f.border(Edge::Bottom) != kLineStyleNone && !inside(r + mRange.top + 1, column))
                mHorizontalBorders.push_back({r + 1, relCol, relCol});
        }
    }

    // An empty neighbour lets overflowing text run on.
    bool takesOverflow(int row, int column) const {
        if (column < mRange.left || column > mRange.right)
            return false;
        const Cell* c = mSheet.cell(row, column);
        return (!c || c->value().isEmpty()) && !mergeAt(row, column);
    }

    void addText(const QString& value, const CellFormat& f, const CellRect& area,
                 bool mayOverflow) {
        TextRun run;
        run.text = displayText(value);
        run.family = displayText(f.fontName);
        run.pointSize = f.fontSize;
        run.color = fontColor(f);
        const ScaledMetrics& m = mFonts.metrics(run.family, run.pointSize);
        double width = m.advance(run.text, run.text.size());
        double scale = 1.0; // of the font, for text shrunk to fit its cell
        if (f.shrinkToFit) {
            // Shrunk text keeps to its own cell: the size that fits between the paddings.
            // Widths grow linearly with the size, so the shrunk width is the room itself.
            const int room = lefts()[area.right - mRange.left + 1] -
                             lefts()[area.left - mRange.left] - 1 - 2 * kTextPadding;
            if (width > room && room > 0) {
                scale = room / width;
                run.pointSize *= scale;
                width = room;
            }
            mayOverflow = false;
        }
        int first = area.left, last = area.right; // columns the text may use
        auto x = [&] {
            const int l = lefts()[area.left - mRange.left];
            const int r = lefts()[area.right - mRange.left + 1];
            switch (f.horizontalAlignment) {
            case kAlignRight:
                return r - kTextPadding - width;
            case kAlignCenter:
                return (l + r + 1) / 2.0 - width / 2;
            default:
                return l + 1 + kTextPadding + 0.0;
            }
        }();
        auto clipLeft = [&] { return lefts()[first - mRange.left] + 1; };
        auto clipRight = [&] { return lefts()[last - mRange.left + 1]; };
        if (mayOverflow) {
            const int row = area.top;
            while (x + width > clipRight() && takesOverflow(row, last + 1) &&
                   f.horizontalAlignment != kAlignRight)
                ++last;
            while (x < clipLeft() && takesOverflow(row, first - 1) &&
                   (f.horizontalAlignment == kAlignRight || f.horizontalAlignment == kAlignCenter))
                --first;
            for (int e = first + 1; e <= last; ++e)
                mBlockedVertical.push_back({e - mRange.left, row - mRange.top, row - mRange.top});
        }
        run.x = x;
        const int bottomEdge = tops()[area.bottom - mRange.top + 1];
        run.baseline = bottomEdge - 1 - std::round(m.descent() * scale);
        run.clip = QRect(QPoint(clipLeft(), tops()[area.top - mRange.top] + 1),
                         QPoint(clipRight() - 1, bottomEdge - 1));
        if (run.clip.isEmpty())
            return;
        if (scale == 1.0)
            cutToClip(run, m, clipLeft(), clipRight());
        if (!run.text.isEmpty())
            bandOfRow(area.top - mRange.top).texts.push_back(std::move(run));
    }

    void emitBorders() {
        for (const EdgeRun& r : joined(mVerticalBorders, mCols + 1))
            addVerticalLine(r, &RowBand::borders);
        // A horizontal border belongs to the band of the row below it, drawn after the fills
        // on both sides.
        for (const EdgeRun& r : joined(mHorizontalBorders, mRows + 1))
            bandOfRow(r.edge).borders.push_back(horizontalLine(r));
    }

    void emitGridlines() {
        for (const EdgeRun& r : complement(joined(mBlockedVertical, mCols + 1), mCols + 1, mRows))
            addVerticalLine(r, &RowBand::gridlines);
        // A horizontal gridline belongs to the band of the row above it, drawn before the
        // fills on both sides.
        for (const EdgeRun& r : complement(joined(mBlockedHorizontal, mRows + 1), mRows + 1, mCols))
            bandOfRow(r.edge - 1).gridlines.push_back(horizontalLine(r));
    }

    PixelLine horizontalLine(const EdgeRun& r) const {
        return {false, tops()[r.edge], lefts()[r.from], lefts()[r.to + 1]};
    }

    // Split at band boundaries so that every band draws its own part.
    void addVerticalLine(const EdgeRun& r, std::vector<PixelLine> RowBand::*target) {
        for (int from = r.from; from <= r.to;) {
            const int to = std::min(r.to, (from / kRowsPerBand + 1) * kRowsPerBand - 1);
            (bandOfRow(from).*target)
                .push_back({true, lefts()[r.edge], tops()[from], tops()[to + 1]});
            from = to + 1;
        }
    }

    const SheetModel& mSheet;
    const CellRect mRange;
    RangeScan mScan;
    const int mCols;
    const int mRows;
    std::vector<CellRect> mMerges; // those that meet the range; few on any sheet
    std::vector<RowBand>* mBands = nullptr;
    std::vector<EdgeRun> mVerticalBorders, mHorizontalBorders;
    std::vector<EdgeRun> mBlockedVertical, mBlockedHorizontal;
    FontCache mFonts;
};

} // namespace

QFont referenceFont(const QString& family) {
    registerChartFonts();
    QFont font(family);
    font.setPixelSize(kReferenceFontPixels);
    return font;
}

QSize RangeGeometry::size() const {
    if (columnLefts.empty() || rowTops.empty())
        return {};
    return {columnLefts.back() + 1, rowTops.back() + 1};
}

double rowHeightPointsForFont(double fontPoints) {
    // Heights step in quarter pixels' worth of points (0.75 pt = 1 px).
    const double steps = std::ceil(fontPoints * 1.275 / 0.75 - 1e-9);
    return std::max(kMinRowPoints, steps * 0.75);
}

std::optional<QRgb> defaultPaletteColor(int colorIndex) {
    static constexpr std::array<QRgb, 56> palette{
        0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
        0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
        0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
        0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
        0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
        0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
        0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333};
    if (colorIndex < 1 || colorIndex > 56)
        return std::nullopt;
    return 0xFF000000 | palette[colorIndex - 1];
}

RangeGeometry rangeGeometry(const SheetModel& sheet, const CellRect& range) {
    return scanRange(sheet, range, false).geometry;
}

RangeDisplayList buildDisplayList(const SheetModel& sheet, const CellRect& range) {
    return Builder(sheet, range).build();
}

} // namespace pq::engine
