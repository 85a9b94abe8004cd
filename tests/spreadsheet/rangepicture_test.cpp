#include "base/failure.h"
#include "spreadsheet/engine/rangedisplaylist.h"
#include "spreadsheet/engine/rangepicture.h"
#include "support/samplechart.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace pq::engine;
using pq::test::fillChart;

namespace {

constexpr QRgb kLime = 0xFF99CC00;
constexpr QRgb kBlack = 0xFF000000;
constexpr QRgb kWhite = 0xFFFFFFFF;
constexpr QRgb kTitleGrey = 0xFF808080;
constexpr QRgb kGridGrey = 0xFFD4D4D4;

// Pixel rows of the 5-generation chart's picture (B2:F35): title rows 34 and 19 px, then 17.
int chartRowTop(int row) {
    return row == 2 ? 0 : row == 3 ? 34 : 53 + (row - 4) * 17;
}
int chartRowMiddle(int row) {
    return chartRowTop(row) + 8;
}
int chartColumnLeft(int column) {
    return (column - 2) * 173;
}

QImage renderSvg(const QByteArray& svg, QSize size) {
    QSvgRenderer renderer(svg);
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    renderer.render(&painter, QRectF(QPointF(0, 0), size));
    return image;
}

// Checks the XML is well formed and returns the content of its text elements.
QStringList svgTexts(const QByteArray& svg) {
    QStringList texts;
    QXmlStreamReader xml(svg);
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == u"text")
            texts << xml.readElementText();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return texts;
}

class RangePictureTest : public ::testing::Test {
protected:
    FormatTable formats;
    SheetModel sheet{formats};
};

// ---- geometry ----

TEST_F(RangePictureTest, ColumnWidthsFollowTheStandardFontsDigitWidth) {
    sheet.setColumnWidth(1, 1, 2);
    sheet.setColumnWidth(2, 2, 24);
    sheet.setColumnWidth(4, 4, 8.43);
    sheet.setColumnWidth(5, 5, 0);
    const RangeGeometry g = rangeGeometry(sheet, {1, 1, 1, 5});
    EXPECT_EQ(g.columnLefts, (std::vector<int>{0, 19, 192, 256, 320, 320}));
    EXPECT_EQ(g.size(), QSize(321, 18));
}

TEST_F(RangePictureTest, RowHeightsFollowTheLargestFontOrTheExplicitHeight) {
    sheet.editCellFormat(2, 3, [](CellFormat& f) { f.fontSize = 20; });
    sheet.editCellFormat(3, 1, [](CellFormat& f) { f.fontSize = 11; });
    sheet.editCellFormat(3, 2, [](CellFormat& f) { f.fontSize = 8; });
    sheet.setRowHeight(4, 30);
    sheet.editCellFormat(4, 2, [](CellFormat& f) { f.fontSize = 20; });
    sheet.editCellFormat(6, 40, [](CellFormat& f) { f.fontSize = 11; }); // outside the range
    const RangeGeometry g = rangeGeometry(sheet, {1, 1, 6, 2});
    EXPECT_EQ(g.rowTops, (std::vector<int>{0, 17, 51, 70, 110, 127, 146}));
}

TEST_F(RangePictureTest, MergedAreaFontCountsForItsTopRowOnly) {
    sheet.merge({2, 1, 3, 2});
    sheet.editCellFormat(2, 1, [](CellFormat& f) { f.fontSize = 20; });
    EXPECT_EQ(rangeGeometry(sheet, {1, 1, 3, 1}).rowTops, (std::vector<int>{0, 17, 51, 68}));
}

TEST_F(RangePictureTest, WholeSheetFontSetsTheHeightOfEmptyRows) {
    sheet.editSheetFormat([](CellFormat& f) { f.fontSize = 20; });
    EXPECT_EQ(rangeGeometry(sheet, {1, 1, 2, 1}).rowTops, (std::vector<int>{0, 34, 68}));
}

TEST(RowHeightForFont, StepsInWholePixelsAboveTheMinimum) {
    EXPECT_DOUBLE_EQ(rowHeightPointsForFont(10), 12.75);
    EXPECT_DOUBLE_EQ(rowHeightPointsForFont(8), 12.75);
    EXPECT_DOUBLE_EQ(rowHeightPointsForFont(11), 14.25);
    EXPECT_DOUBLE_EQ(rowHeightPointsForFont(12), 15.75);
    EXPECT_DOUBLE_EQ(rowHeightPointsForFont(20), 25.5);
}

TEST(DefaultPalette, IsIndexedByOneBasedColorIndex) {
    EXPECT_EQ(defaultPaletteColor(1), kBlack);
    EXPECT_EQ(defaultPaletteColor(16), kTitleGrey);
    EXPECT_EQ(defaultPaletteColor(43), kLime);
    EXPECT_EQ(defaultPaletteColor(56), 0xFF333333);
    EXPECT_FALSE(defaultPaletteColor(0));
    EXPECT_FALSE(defaultPaletteColor(57));
    EXPECT_FALSE(defaultPaletteColor(kColorIndexNone));
}

TEST_F(RangePictureTest, RejectsAnInvertedRange) {
    EXPECT_THROW(rangeGeometry(sheet, {5, 1, 4, 1}), pq::Failure);
    EXPECT_THROW(renderRangeSvg(sheet, {1, 1, 1, kMaxColumns + 1}), pq::Failure);
}

// ---- the chart's picture ----

class ChartPictureTest : public RangePictureTest {
protected:
    void SetUp() override {
        range = fillChart(sheet, 5);
        image = renderRangeImage(sheet, range);
        ASSERT_FALSE(image.isNull());
    }
    QRgb at(int x, int y) const { return image.pixel(x, y); }
    CellRect range;
    QImage image;
};

TEST_F(ChartPictureTest, CoversTheUsedRangeAtItsPixelSize) {
    EXPECT_EQ(range, (CellRect{2, 2, 35, 6}));
    EXPECT_EQ(image.size(), QSize(5 * 173 + 1, chartRowTop(36) + 1));
}

TEST_F(ChartPictureTest, BoxesAreLimeWithBlackEdges) {
    const int top = chartRowTop(5), bottom = chartRowTop(6), middle = chartRowMiddle(5);
    EXPECT_EQ(at(86, middle), kLime);
    EXPECT_EQ(at(0, middle), kBlack);
    EXPECT_EQ(at(173, middle), kBlack);
    EXPECT_EQ(at(86, top), kBlack);
    EXPECT_EQ(at(86, bottom), kBlack);
    EXPECT_EQ(at(1, top + 1), kLime); // the fill reaches the borders
    // The person's box in column F.
    EXPECT_EQ(at(chartColumnLeft(6) + 86, chartRowMiddle(20)), kLime);
}

TEST_F(ChartPictureTest, ConnectorsJoinBoxesAndEndAtTheLastBox) {
    EXPECT_EQ(at(173, chartRowMiddle(6)), kBlack);         // between B5 and B7
    EXPECT_EQ(at(173, chartRowMiddle(34)), kBlack);        // between B33 and B35
    EXPECT_EQ(at(173, chartRowMiddle(4)), kGridGrey);      // above the first box
    EXPECT_EQ(at(2 * 173, chartRowMiddle(8)), kBlack);     // column C's connector
    EXPECT_EQ(at(5 * 173, chartRowMiddle(21)), kGridGrey); // column F has none
}

TEST_F(ChartPictureTest, EmptyCellsShowWhiteWithGreyGridlines) {
    const int x = chartColumnLeft(3) + 86; // C5 is empty
    EXPECT_EQ(at(x, chartRowMiddle(5)), kWhite);
    EXPECT_EQ(at(x, chartRowTop(5)), kGridGrey);
    EXPECT_EQ(at(x, chartRowTop(6)), kBlack); // the top edge of the box C6
}

TEST_F(ChartPictureTest, MergedTitleHasNoInnerGridlines) {
    for (int column = 3; column <= 6; ++column) {
        const int x = chartColumnLeft(column);
        EXPECT_EQ(at(x, 2), kWhite) << column;
        EXPECT_EQ(at(x, chartRowMiddle(3)), kWhite) << column;
    }
    EXPECT_EQ(at(500, chartRowTop(3)), kGridGrey); // between the two title rows
}

TEST_F(ChartPictureTest, TitleIsGreyTextAtTheLeftOfItsRow) {
    auto greyPixels = [&](int fromX, int toX) {
        int n = 0;
        for (int y = 1; y < chartRowTop(3); ++y)
            for (int x = fromX; x < toX; ++x)
                n += at(x, y) == kTitleGrey;
        return n;
    };
    EXPECT_GT(greyPixels(0, 100), 50);
    EXPECT_EQ(greyPixels(500, image.width()), 0); // the title ends well before column E
    EXPECT_EQ(at(2, 20), kWhite);                 // left padding
}

TEST_F(ChartPictureTest, SvgDrawsTheSamePixelsAsTheBitmap) {
    const QByteArray svg = renderRangeSvg(sheet, range);
    QSvgRenderer renderer(svg);
    ASSERT_TRUE(renderer.isValid());
    EXPECT_EQ(renderer.defaultSize(), image.size());
    const QImage fromSvg = renderSvg(svg, image.size());
    for (int row : {4, 5, 6, 12, 20, 34, 35})
        for (int x : {0, 1, 86, 172, 173, 174, 346, 519, 700, 865}) {
            const QPoint p(x, chartRowMiddle(row));
            EXPECT_EQ(fromSvg.pixel(p), image.pixel(p)) << x << "," << p.y();
            const QPoint edge(x, chartRowTop(row));
            EXPECT_EQ(fromSvg.pixel(edge), image.pixel(edge)) << x << "," << edge.y();
        }
    EXPECT_EQ(svgTexts(svg), (QStringList{"Family Tree for Tamsin Orrow", "5 Generations"}));
}

// ---- bands ----

TEST_F(RangePictureTest, SvgGroupsRowsIntoBandsAViewerCanDrawAlone) {
    const CellRect range = fillChart(sheet, 10); // rows 2..1027: 1026 rows
    const int bands = (1026 + kRowsPerBand - 1) / kRowsPerBand;
    const QByteArray svg = renderRangeSvg(sheet, range);
    QSvgRenderer renderer(svg);
    ASSERT_TRUE(renderer.isValid());
    for (int band = 0; band < bands; ++band)
        EXPECT_TRUE(renderer.elementExists(QStringLiteral("rows-%1").arg(band))) << band;
    EXPECT_FALSE(renderer.elementExists(QStringLiteral("rows-%1").arg(bands)));

    const RangeGeometry g = rangeGeometry(sheet, range);
    const QRectF second = renderer.boundsOnElement(QStringLiteral("rows-1"));
    EXPECT_NEAR(second.top(), g.rowTops[kRowsPerBand], 1.0);
    EXPECT_NEAR(second.bottom(), g.rowTops[2 * kRowsPerBand] + 1, 1.0);

    // Each band states where it lies; strokes reach half a pixel beyond.
    QXmlStreamReader xml(svg);
    int stated = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString extent =
            xml.attributes()
                .value(QString::fromLatin1(kPictureNamespace), QStringLiteral("extent"))
                .toString();
        if (extent.isEmpty())
            continue;
        const QStringList v = extent.split(' ');
        ASSERT_EQ(v.size(), 4);
        const QRectF box(v[0].toDouble(), v[1].toDouble(), v[2].toDouble(), v[3].toDouble());
        const QString id = xml.attributes().value(QStringLiteral("id")).toString();
        EXPECT_TRUE(box.adjusted(-0.5, -0.5, 0.5, 0.5).contains(renderer.boundsOnElement(id)))
            << id.toStdString();
        EXPECT_EQ(id, QStringLiteral("rows-%1").arg(stated++));
    }
    EXPECT_EQ(stated, bands);
}

TEST_F(RangePictureTest, ConnectorSegmentsAreJoinedWithinABand) {
    const CellRect range = fillChart(sheet, 10);
    const RangeDisplayList list = buildDisplayList(sheet, range);
    const int columnBRight = 173;
    for (const RowBand& band : list.bands) {
        const auto n =
            std::count_if(band.borders.begin(), band.borders.end(),
                          [&](const PixelLine& l) { return l.vertical && l.at == columnBRight; });
        EXPECT_EQ(n, 1) << band.firstRow; // boxes' and connectors' edges make one line
    }
}

// ---- text ----

TEST_F(RangePictureTest, OverflowingTextHidesGridlinesUpToTheNextFilledCell) {
    sheet.setValue(1, 1, QStringLiteral("A text far wider than one column of the sheet"));
    sheet.setValue(1, 3, QStringLiteral("x"));
    const RangeDisplayList list = buildDisplayList(sheet, {1, 1, 1, 4});
    const RowBand& band = list.bands.at(0);
    auto hasGridlineAt = [&](int x) {
        return std::any_of(band.gridlines.begin(), band.gridlines.end(),
                           [&](const PixelLine& l) { return l.vertical && l.at == x; });
    };
    EXPECT_FALSE(hasGridlineAt(64));
    EXPECT_TRUE(hasGridlineAt(128)); // C1 holds a value: the text stops there
    ASSERT_EQ(band.texts.size(), 2u);
    const TextRun& run = band.texts[0];
    EXPECT_EQ(run.clip.right(), 127);
    EXPECT_LT(run.text.size(), sheet.cell(1, 1)->value().size());
    EXPECT_TRUE(sheet.cell(1, 1)->value().startsWith(run.text));
}

// A shrink-to-fit cell shows its whole text, smaller, inside its own cell: nothing cut, nothing
// running into the empty cell beside it; a text that fits keeps its size.
TEST_F(RangePictureTest, ShrinkToFitShowsTheWholeTextInItsCell) {
    const QString longText = QStringLiteral("A text far wider than one column of the sheet");
    for (int row = 1; row <= 3; ++row) {
        sheet.setValue(row, 1, row == 3 ? QStringLiteral("ab") : longText);
        sheet.editCellFormat(row, 1, [&](CellFormat& f) {
            f.shrinkToFit = true;
            f.horizontalAlignment = row == 2 ? kAlignCenter : kAlignGeneral;
        });
    }
    const RangeDisplayList list = buildDisplayList(sheet, {1, 1, 3, 4});
    const auto& texts = list.bands.at(0).texts;
    ASSERT_EQ(texts.size(), 3u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(texts[i].text, longText) << i;
        EXPECT_LT(texts[i].pointSize, 10.0 / 3) << i;
        EXPECT_EQ(texts[i].clip.right(), 63) << i << ": no overflow";
        EXPECT_GE(texts[i].x, 1.0) << i;
    }
    EXPECT_EQ(texts[2].pointSize, 10.0);
}

TEST_F(RangePictureTest, AlignmentPlacesTextInItsCell) {
    const std::array alignments{kAlignGeneral, kAlignLeft, kAlignCenter, kAlignRight};
    for (int i = 0; i < 4; ++i) {
        sheet.setValue(i + 1, 2, QStringLiteral("ab"));
        sheet.editCellFormat(i + 1, 2,
                             [&](CellFormat& f) { f.horizontalAlignment = alignments[i]; });
    }
    const RangeDisplayList list = buildDisplayList(sheet, {1, 1, 4, 3});
    const auto& texts = list.bands.at(0).texts;
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_DOUBLE_EQ(texts[0].x, 67);
    EXPECT_DOUBLE_EQ(texts[1].x, 67);
    EXPECT_GT(texts[2].x, 80);
    EXPECT_LT(texts[2].x, 96);
    EXPECT_GT(texts[3].x, 100);
    EXPECT_LT(texts[3].x, 126);
    EXPECT_LT(texts[0].baseline, 17);
    EXPECT_GT(texts[0].baseline, 10);
}

TEST_F(RangePictureTest, AnyTextKeepsTheSvgWellFormed) {
    const QString specials = QStringLiteral("<>&\"' ]]> --");
    const QString family = QStringLiteral("Ari\"al<&");
    sheet.setColumnWidth(1, 4, 60);
    sheet.setValue(1, 1, specials);
    sheet.setValue(2, 1,
                   QStringLiteral("a\x01"
                                  "b\x1b"
                                  "c\td\ne\x7f") +
                       QChar(0xFFFF));
    sheet.setValue(3, 1, QString(32767, QLatin1Char('W')));
    sheet.setValue(4, 1, QStringLiteral("Family \U0001F46A tree"));
    sheet.setValue(5, 1, QStringLiteral("שלום עולם"));
    sheet.setValue(6, 1, QStringLiteral("lone ") + QChar(0xD800) + QStringLiteral(" surrogate"));
    sheet.setValue(7, 1, QStringLiteral("font"));
    sheet.editCellFormat(7, 1, [&](CellFormat& f) { f.fontName = family; });
    sheet.setValue(1, 2, QStringLiteral("x"));
    sheet.setValue(3, 2, QStringLiteral("x")); // stops the long text's overflow

    const QByteArray svg = renderRangeSvg(sheet, {1, 1, 7, 2});
    const QStringList texts = svgTexts(svg);
    ASSERT_EQ(texts.size(), 9);
    EXPECT_EQ(texts[0], specials);
    EXPECT_EQ(texts[2], QStringLiteral("abcde") + QChar::ReplacementCharacter);
    EXPECT_TRUE(texts[3].startsWith(QStringLiteral("WWW")));
    EXPECT_LT(texts[3].size(), 100); // cut to the cell
    EXPECT_EQ(texts[5], QStringLiteral("Family \U0001F46A tree"));
    EXPECT_EQ(texts[6], QStringLiteral("שלום עולם"));
    EXPECT_EQ(texts[7], QStringLiteral("lone \uFFFD surrogate"));
    EXPECT_TRUE(svg.contains("font-family=\"Ari&quot;al&lt;&amp;\""));
    EXPECT_TRUE(QSvgRenderer(svg).isValid());
}

TEST_F(RangePictureTest, CutTextNeverSplitsASurrogatePair) {
    QString emojis;
    for (int i = 0; i < 200; ++i)
        emojis += QStringLiteral("\U0001F46A");
    sheet.setValue(1, 1, emojis);
    sheet.setValue(1, 2, QStringLiteral("x"));
    const RangeDisplayList list = buildDisplayList(sheet, {1, 1, 1, 2});
    const TextRun& run = list.bands.at(0).texts.at(0);
    ASSERT_FALSE(run.text.isEmpty());
    EXPECT_LT(run.text.size(), emojis.size());
    EXPECT_EQ(run.text.size() % 2, 0);
    EXPECT_TRUE(run.text.back().isLowSurrogate());
}

// ---- formats of cells that do not exist ----

TEST_F(RangePictureTest, ColumnFormatFillsItsEmptyCells) {
    CellFormat filled;
    filled.interiorColorIndex = 3;
    sheet.setColumnFormatId(2, 2, formats.intern(filled));
    const QImage image = renderRangeImage(sheet, {1, 1, 3, 2});
    EXPECT_EQ(image.pixel(96, 25), 0xFFFF0000);
    EXPECT_EQ(image.pixel(32, 25), kWhite);
}

// ---- size limits and the clipboard ----

TEST_F(RangePictureTest, FifteenGenerationChartHasAnSvgButNoBitmap) {
    const CellRect range = fillChart(sheet, 15);
    EXPECT_EQ(range, (CellRect{2, 2, 32771, 16}));
    EXPECT_TRUE(renderRangeImage(sheet, range).isNull());
    const QByteArray svg = renderRangeSvg(sheet, range);
    EXPECT_LT(svg.size(), 8 * 1024 * 1024);
    QSvgRenderer renderer(svg);
    ASSERT_TRUE(renderer.isValid());
    const int bands = (32770 + kRowsPerBand - 1) / kRowsPerBand;
    EXPECT_TRUE(renderer.elementExists(QStringLiteral("rows-%1").arg(bands - 1)));
    EXPECT_EQ(renderer.defaultSize(), rangeGeometry(sheet, range).size());

    // A viewer draws one band into a small bitmap.
    const QRectF last = renderer.boundsOnElement(QStringLiteral("rows-%1").arg(bands - 1));
    QImage part(last.size().toSize() + QSize(1, 1), QImage::Format_RGB32);
    part.fill(Qt::white);
    QPainter painter(&part);
    painter.translate(-last.topLeft());
    renderer.render(&painter, QStringLiteral("rows-%1").arg(bands - 1), last);
    painter.end();
    const int lastBoxMiddle = rangeGeometry(sheet, range).rowTops.back() - 8 - last.top();
    EXPECT_EQ(part.pixel(86, lastBoxMiddle), kLime);
}

TEST_F(RangePictureTest, CopyPutsSvgAndBitmapOnTheClipboard) {
    const CellRect range = fillChart(sheet, 5);
    QGuiApplication::clipboard()->clear();
    copyRangePictureToClipboard(sheet, range);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->data(QStringLiteral("image/svg+xml")), renderRangeSvg(sheet, range));
    ASSERT_TRUE(data->hasImage());
    EXPECT_EQ(qvariant_cast<QImage>(data->imageData()).size(), rangeGeometry(sheet, range).size());
}

TEST_F(RangePictureTest, CopyOfAnUnaffordableBitmapPutsOnlySvg) {
    sheet.setValue(kMaxRows, kMaxColumns, QStringLiteral("far"));
    const CellRect range{1, 1, kMaxRows, kMaxColumns};
    copyRangePictureToClipboard(sheet, range);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat(QStringLiteral("image/svg+xml")));
    EXPECT_FALSE(data->hasImage());
}

} // namespace
