#include "rangepicture.h"

#include "base/failure.h"
#include "rangedisplaylist.h"

#include <QClipboard>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <charconv>
#include <cmath>
#include <map>
#include <new>

namespace pq::engine {

void registerChartFonts() {
    static bool registered = false;
    if (registered || !QGuiApplication::instance())
        return;
    registered = true;
    if (QFontDatabase::families().contains(QStringLiteral("Tahoma")))
        return;
    for (const char* path :
         {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"})
        if (QFile::exists(QLatin1String(path)))
            QFontDatabase::addApplicationFont(QLatin1String(path));
}

namespace {

// ---- SVG ----

void appendNumber(QByteArray& out, double v) {
    const double rounded = std::round(v);
    if (std::abs(v - rounded) < 0.005) {
        out += QByteArray::number(static_cast<qint64>(rounded));
        return;
    }
    QByteArray s = QByteArray::number(v, 'f', 2);
    while (s.endsWith('0'))
        s.chop(1);
    out += s;
}

void appendColor(QByteArray& out, QRgb c) {
    out += '#';
    out += QByteArray::number(c & 0xFFFFFF, 16).rightJustified(6, '0').toUpper();
}

// Escapes the five XML specials; the text is already free of characters XML cannot hold.
QByteArray xmlEscaped(const QString& text) {
    QByteArray out;
    const QByteArray utf8 = text.toUtf8();
    out.reserve(utf8.size());
    for (char ch : utf8) {
        switch (ch) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&apos;";
            break;
        default:
            out += ch;
        }
    }
    return out;
}

// Whole numbers straight into the text: a tall chart's picture has some hundred thousand
// path commands, and a temporary per number would cost more than the drawing itself.
void appendInt(QByteArray& out, int v) {
    char digits[12];
    const auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
    out.append(digits, end - digits);
}

// Path data that moves from each subpath to the next by a relative step: on a tall chart the
// steps are short where the positions are long, which keeps the text, and the parsing of it,
// small. Positions are counted in half pixels, as lines run through pixel centres.
class PathText {
public:
    explicit PathText(QByteArray& out) : mOut(out) {}

    void moveTo(int x2, int y2) {
        if (mStarted) {
            mOut += 'm';
            appendHalves(x2 - mX2);
            mOut += ' ';
            appendHalves(y2 - mY2);
        } else {
            mOut += 'M';
            appendHalves(x2);
            mOut += ' ';
            appendHalves(y2);
            mStarted = true;
        }
        mX2 = mStartX2 = x2;
        mY2 = mStartY2 = y2;
    }
    void horizontal(int dx2) {
        mOut += 'h';
        appendHalves(dx2);
        mX2 += dx2;
    }
    void vertical(int dy2) {
        mOut += 'v';
        appendHalves(dy2);
        mY2 += dy2;
    }
    void close() {
        mOut += 'z';
        mX2 = mStartX2;
        mY2 = mStartY2;
    }

private:
    void appendHalves(int halves) {
        if (halves < 0) {
            mOut += '-';
            halves = -halves;
        }
        appendInt(mOut, halves / 2);
        if (halves % 2)
            mOut += ".5";
    }

    QByteArray& mOut;
    bool mStarted = false;
    int mX2 = 0, mY2 = 0, mStartX2 = 0, mStartY2 = 0;
};

// A 1-pixel line as a stroke through the pixel centres; butt caps end it on pixel edges.
void appendLine(PathText& d, const PixelLine& l) {
    const int length = l.to + 1 - l.from;
    if (l.vertical) {
        d.moveTo(2 * l.at + 1, 2 * l.from);
        d.vertical(2 * length);
    } else {
        d.moveTo(2 * l.from, 2 * l.at + 1);
        d.horizontal(2 * length);
    }
}

void appendLinePath(QByteArray& out, const std::vector<PixelLine>& lines, QRgb color) {
    if (lines.empty())
        return;
    out += "<path fill=\"none\" stroke-width=\"1\" stroke=\"";
    appendColor(out, color);
    out += "\" d=\"";
    PathText d(out);
    for (const PixelLine& l : lines)
        appendLine(d, l);
    out += "\"/>\n";
}

// One path per colour keeps the file small: a box costs one short subpath.
void appendFills(QByteArray& out, const std::vector<FillBox>& fills) {
    struct ColorPath {
        ColorPath() : text(d) {}
        ColorPath(const ColorPath&) = delete;
        QByteArray d;
        PathText text;
    };
    std::map<QRgb, ColorPath> byColor; // nodes stay put: each text keeps writing its own path
    for (const FillBox& f : fills) {
        PathText& d = byColor.try_emplace(f.color).first->second.text;
        d.moveTo(2 * f.pixels.x(), 2 * f.pixels.y());
        d.horizontal(2 * f.pixels.width());
        d.vertical(2 * f.pixels.height());
        d.horizontal(-2 * f.pixels.width());
        d.close();
    }
    for (const auto& [color, path] : byColor) {
        out += "<path fill=\"";
        appendColor(out, color);
        out += "\" d=\"" + path.d + "\"/>\n";
    }
}

void appendText(QByteArray& out, const TextRun& t) {
    out += "<text x=\"";
    appendNumber(out, t.x);
    out += "\" y=\"";
    appendNumber(out, t.baseline);
    out += "\" font-family=\"" + xmlEscaped(t.family) + "\" font-size=\"";
    appendNumber(out, pixelsForPoints(t.pointSize));
    out += "\" fill=\"";
    appendColor(out, t.color);
    out += "\">" + xmlEscaped(t.text) + "</text>\n";
}

// The pixels a band's rows cover, the closing line below them included.
QRect bandPixels(const RangeDisplayList& list, const RowBand& band) {
    const std::vector<int>& tops = list.geometry.rowTops;
    const int first = band.firstRow - list.bands.front().firstRow;
    const int last = band.lastRow - list.bands.front().firstRow;
    return QRect(0, tops[first], list.geometry.size().width(), tops[last + 1] - tops[first] + 1);
}

// The band's pixels as "x y width height": a viewer places the band by them without measuring
// the band's drawing.
void appendBandExtent(QByteArray& out, const RangeDisplayList& list, const RowBand& band) {
    const QRect pixels = bandPixels(list, band);
    appendInt(out, pixels.x());
    out += ' ';
    appendInt(out, pixels.y());
    out += ' ';
    appendInt(out, pixels.width());
    out += ' ';
    appendInt(out, pixels.height());
}

QByteArray svgOf(const RangeDisplayList& list) {
    const QSize size = list.geometry.size();
    const QByteArray w = QByteArray::number(size.width()), h = QByteArray::number(size.height());
    QByteArray out;
    out.reserve(1024 + 64 * static_cast<qsizetype>(list.geometry.rowTops.size()));
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:pq=\"";
    out += kPictureNamespace;
    out += "\" version=\"1.2\" baseProfile=\"tiny\" xml:space=\"preserve\" width=\"" + w +
           "\" height=\"" + h + "\" viewBox=\"0 0 " + w + ' ' + h + "\">\n";
    out += "<rect width=\"" + w + "\" height=\"" + h + "\" fill=\"";
    appendColor(out, kBackgroundColor);
    out += "\"/>\n";
    for (std::size_t i = 0; i < list.bands.size(); ++i) {
        const RowBand& band = list.bands[i];
        out += "<g id=\"rows-" + QByteArray::number(i) + "\" pq:extent=\"";
        appendBandExtent(out, list, band);
        out += "\">\n";
        appendLinePath(out, band.gridlines, kGridlineColor);
        appendFills(out, band.fills);
        appendLinePath(out, band.borders, kBorderColor);
        for (const TextRun& t : band.texts)
            appendText(out, t);
        out += "</g>\n";
    }
    out += "</svg>\n";
    return out;
}

// ---- bitmap ----

// Text at its point size, drawn with the reference font scaled, inside `clip` (picture pixels):
// the same glyph positions as the SVG's text, on a bitmap or a printed page.
void drawTextRun(QPainter& p, const TextRun& t, const QRectF& clip) {
    const double scale = pixelsForPoints(t.pointSize) / kReferenceFontPixels;
    p.save();
    p.setClipRect(clip, Qt::IntersectClip);
    p.translate(t.x, t.baseline);
    p.scale(scale, scale);
    p.setFont(referenceFont(t.family));
    p.setPen(QColor::fromRgb(t.color));
    p.drawText(QPointF(0, 0), t.text);
    p.restore();
}

QRect lineRect(const PixelLine& l) {
    return l.vertical ? QRect(l.at, l.from, 1, l.to - l.from + 1)
                      : QRect(l.from, l.at, l.to - l.from + 1, 1);
}

void paintBand(QPainter& p, const RowBand& band) {
    for (const PixelLine& l : band.gridlines)
        p.fillRect(lineRect(l), QColor::fromRgb(kGridlineColor));
    for (const FillBox& f : band.fills)
        p.fillRect(f.pixels, QColor::fromRgb(f.color));
    for (const PixelLine& l : band.borders)
        p.fillRect(lineRect(l), QColor::fromRgb(kBorderColor));
    for (const TextRun& t : band.texts)
        drawTextRun(p, t, t.clip);
}

bool affordable(const QSize& size) {
    return !size.isEmpty() &&
           static_cast<qint64>(size.width()) * size.height() <= kMaxPictureBitmapPixels;
}

// The image's default resolution is 96 dpi, so point sizes map to the same pixels as in the
// SVG.
QImage imageOf(const RangeDisplayList& list) {
    QImage image(list.geometry.size(), QImage::Format_RGB32);
    if (image.isNull()) // an affordable size, so the memory ran out
        throw std::bad_alloc();
    image.fill(QColor::fromRgb(kBackgroundColor));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    for (const RowBand& band : list.bands)
        paintBand(painter, band);
    return image;
}

// ---- print ----

// The part of a line inside the source, as a stroke through the pixel centres.
void addLine(QPainterPath& path, const PixelLine& l, const QRectF& source) {
    const QRectF part = QRectF(lineRect(l)).intersected(source);
    if (part.isEmpty())
        return;
    if (l.vertical) {
        path.moveTo(l.at + 0.5, part.top());
        path.lineTo(l.at + 0.5, part.bottom());
    } else {
        path.moveTo(part.left(), l.at + 0.5);
        path.lineTo(part.right(), l.at + 0.5);
    }
}

void strokeLines(QPainter& p, const std::vector<PixelLine>& lines, QRgb color,
                 const QRectF& source) {
    QPainterPath path;
    for (const PixelLine& l : lines)
        addLine(path, l, source);
    if (!path.isEmpty())
        p.strokePath(path, QPen(QColor::fromRgb(color), 1.0, Qt::SolidLine, Qt::FlatCap));
}

void fillBoxes(QPainter& p, const std::vector<FillBox>& fills, const QRectF& source) {
    std::map<QRgb, QPainterPath> byColor;
    for (const FillBox& f : fills)
        if (const QRectF part = QRectF(f.pixels).intersected(source); !part.isEmpty())
            byColor[f.color].addRect(part);
    for (const auto& [color, path] : byColor)
        p.fillPath(path, QColor::fromRgb(color));
}

void printTexts(QPainter& p, const std::vector<TextRun>& texts, const QRectF& source) {
    for (const TextRun& t : texts) {
        const QRectF clip = QRectF(t.clip).intersected(source);
        if (!clip.isEmpty())
            drawTextRun(p, t, clip);
    }
}

// Whether a band's rows meet the source, the closing line below them included.
bool bandMeets(const RangeDisplayList& list, const RowBand& band, const QRectF& source) {
    const QRect pixels = bandPixels(list, band);
    return pixels.y() < source.bottom() && pixels.y() + pixels.height() > source.top();
}

} // namespace

RangePrintout::RangePrintout(const SheetModel& sheet, const CellRect& range)
    : mList(std::make_unique<RangeDisplayList>(buildDisplayList(sheet, range))) {}

RangePrintout::~RangePrintout() = default;

const RangeGeometry& RangePrintout::geometry() const {
    return mList->geometry;
}

void RangePrintout::paint(QPainter& painter, const QRectF& source) const {
    // Bands in order, each in the bitmap's order, so that fills cover gridlines and borders
    // cover fills across band boundaries too.
    for (const RowBand& band : mList->bands) {
        if (!bandMeets(*mList, band, source))
            continue;
        strokeLines(painter, band.gridlines, kGridlineColor, source);
        fillBoxes(painter, band.fills, source);
        strokeLines(painter, band.borders, kBorderColor, source);
        printTexts(painter, band.texts, source);
    }
}

QByteArray renderRangeSvg(const SheetModel& sheet, const CellRect& range) {
    return svgOf(buildDisplayList(sheet, range));
}

QImage renderRangeImage(const SheetModel& sheet, const CellRect& range) {
    // The geometry alone says whether the bitmap is affordable.
    if (!affordable(rangeGeometry(sheet, range).size()))
        return {};
    return imageOf(buildDisplayList(sheet, range));
}

void copyRangePictureToClipboard(const SheetModel& sheet, const CellRect& range) {
    if (!qGuiApp)
        throw Failure(failures::kCannotCreateObject);
    const RangeDisplayList list = buildDisplayList(sheet, range);
    auto mime = std::make_unique<QMimeData>();
    mime->setData(QStringLiteral("image/svg+xml"), svgOf(list));
    if (affordable(list.geometry.size()))
        mime->setImageData(imageOf(list));
    QGuiApplication::clipboard()->setMimeData(mime.release());
}

} // namespace pq::engine
