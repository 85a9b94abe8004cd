// Painting a part of a vector picture band by band gives the same pixels as painting the whole
// picture clipped to that part.

#include "spreadsheet/picture.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

namespace pq {
namespace {

// Ten bands of 30 rows, each band a different grey with a black bottom line; optionally each
// band states its rows as its extent, as the range picture does.
QByteArray bandedSvg(const QString& viewBox = QString(), bool statesExtents = false) {
    QString svg = QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' "
                                 "xmlns:pq='https://quillmere.example/ns/picture' width='200' "
                                 "height='300'%1>")
                      .arg(viewBox.isEmpty() ? QString() : " viewBox='" + viewBox + "'");
    for (int k = 0; k < 10; ++k) {
        const int grey = 20 + 20 * k;
        const QString extent =
            statesExtents ? QStringLiteral(" pq:extent='0 %1 200 30'").arg(30 * k) : QString();
        svg += QStringLiteral("<g id='rows-%1'%5><rect x='10' y='%2' width='180' height='29' "
                              "fill='rgb(%3,%3,%3)'/><line x1='10' y1='%4' x2='190' y2='%4' "
                              "stroke='black'/></g>")
                   .arg(k)
                   .arg(30 * k)
                   .arg(grey)
                   .arg(30 * k + 29.5)
                   .arg(extent);
    }
    return (svg + "</svg>").toUtf8();
}

QImage paintPart(const Picture& p, const QRectF& target, const QRectF& source) {
    QImage image(400, 600, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    p.paint(painter, target, source);
    return image;
}

// The whole picture drawn without bands, clipped to the target.
QImage reference(const QByteArray& svg, const QRectF& target, const QRectF& source) {
    QByteArray plain = svg;
    plain.replace("id='rows-", "id='other-");
    return paintPart(Picture::fromSvg(plain), target, source);
}

TEST(PictureBands, PartOfTheBandsMatchesTheWholePicture) {
    // Stated extents choose the bands; each is still drawn where its own drawing lies.
    for (bool statesExtents : {false, true}) {
        const QByteArray svg = bandedSvg(QString(), statesExtents);
        const Picture banded = Picture::fromSvg(svg);
        // Stretched 2x, the source cutting through bands 3 to 5.
        const QRectF source(15, 95, 150, 70);
        const QRectF target(20, 40, 300, 140);
        const QImage got = paintPart(banded, target, source);
        const QImage want = reference(svg, target, source);
        EXPECT_EQ(got, want) << statesExtents;
        // And the part is really drawn, not left white.
        EXPECT_EQ(got.pixelColor(100, 60), QColor(80, 80, 80)); // band 3
    }
}

TEST(PictureBands, ViewBoxScalesTheBandsWithThePicture) {
    const QByteArray svg = bandedSvg(QStringLiteral("0 0 100 150")); // drawing shown at 2x
    const Picture banded = Picture::fromSvg(svg);
    const QRectF source(0, 100, 200, 100);
    const QRectF target(0, 0, 200, 100);
    EXPECT_EQ(paintPart(banded, target, source), reference(svg, target, source));
}

TEST(PictureBands, ReadingADrawingAgainGivesThatDrawing) {
    // Same length, other colour: a drawing read before must never stand in for another.
    const QByteArray grey = bandedSvg();
    QByteArray dark = grey;
    dark.replace("rgb(80,80,80)", "rgb(10,10,10)");
    ASSERT_EQ(dark.size(), grey.size());
    const QRectF all(0, 0, 200, 300);
    for (const QByteArray& svg : {grey, grey, dark, grey, grey}) {
        const QColor band3 = paintPart(Picture::fromSvg(svg), all, all).pixelColor(100, 100);
        EXPECT_EQ(band3, svg == grey ? QColor(80, 80, 80) : QColor(10, 10, 10));
    }
}

TEST(PictureBands, BitmapPartIsDrawnStretched) {
    QImage bitmap(10, 10, QImage::Format_RGB32);
    bitmap.fill(Qt::green);
    const QImage got =
        paintPart(Picture::fromImage(bitmap), QRectF(0, 0, 40, 40), QRectF(0, 0, 5, 5));
    EXPECT_EQ(got.pixelColor(39, 39), QColor(Qt::green));
    EXPECT_EQ(got.pixelColor(41, 41), QColor(Qt::white));
}

} // namespace
} // namespace pq
