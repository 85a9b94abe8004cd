// make_icon_png: draws the application icon (a small pedigree tree of lime boxes joined by lines)
// as PNG files for the desktop icon theme.
//
//   make_icon_png SIZE OUTPUT.png [SIZE OUTPUT.png ...]
//
// Everything is axis-aligned and drawn without antialiasing on whole pixels, so the same size
// always gives the same pixels. Needs no display and no fonts.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// The motif on a 256-unit square: the person on the left, parents in the middle, grandparents
// on the right; every parent pair joined to its child by an elbow line.
constexpr int kUnits = 256;
constexpr int kBoxWidth = 60;
constexpr int kBoxHeight = 40;
constexpr int kColumnX[] = {14, 98, 182};
constexpr int kPersonY = 128;
constexpr int kParentY[] = {70, 186};
constexpr int kGrandparentY[] = {36, 104, 152, 220};
constexpr int kOutlineUnits = 8;

class Scaled {
public:
    explicit Scaled(int size) : mSize(size) {}
    int operator()(int units) const {
        return static_cast<int>(std::lround(static_cast<double>(units) * mSize / kUnits));
    }

private:
    int mSize;
};

QImage drawIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const Scaled s(size);
    const int outline = std::max(1, s(kOutlineUnits));
    const QColor lime(0x99, 0xCC, 0x00);
    const QColor black(0, 0, 0);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);

    // A box centred vertically on y, its outline drawn inside its own rectangle.
    auto boxRect = [&](int column, int y) {
        const int left = s(kColumnX[column]);
        const int right = s(kColumnX[column] + kBoxWidth);
        const int top = s(y - kBoxHeight / 2);
        const int bottom = s(y + kBoxHeight / 2);
        return QRect(left, top, std::max(right - left, 2 * outline + 1),
                     std::max(bottom - top, 2 * outline + 1));
    };
    auto fill = [&](const QRect& r, const QColor& c) { painter.fillRect(r, c); };
    auto drawBox = [&](int column, int y) {
        const QRect r = boxRect(column, y);
        fill(r, black);
        fill(r.adjusted(outline, outline, -outline, -outline), lime);
    };
    // Elbow from a child's box to its two parents' boxes.
    auto join = [&](int childColumn, int childY, int parentY1, int parentY2) {
        const QRect child = boxRect(childColumn, childY);
        const QRect parent1 = boxRect(childColumn + 1, parentY1);
        const QRect parent2 = boxRect(childColumn + 1, parentY2);
        const int half = outline / 2;
        const int midX = (child.right() + 1 + parent1.left()) / 2;
        const int childMid = child.center().y();
        const int top = parent1.center().y();
        const int bottom = parent2.center().y();
        fill(QRect(QPoint(child.right() + 1, childMid - half),
                   QPoint(midX, childMid - half + outline - 1)),
             black);
        fill(QRect(QPoint(midX - half, top - half), QPoint(midX - half + outline - 1,
                                                           bottom - half + outline - 1)),
             black);
        for (int y : {top, bottom})
            fill(QRect(QPoint(midX, y - half), QPoint(parent1.left() - 1, y - half + outline - 1)),
                 black);
    };

    join(0, kPersonY, kParentY[0], kParentY[1]);
    join(1, kParentY[0], kGrandparentY[0], kGrandparentY[1]);
    join(1, kParentY[1], kGrandparentY[2], kGrandparentY[3]);
    drawBox(0, kPersonY);
    for (int y : kParentY)
        drawBox(1, y);
    for (int y : kGrandparentY)
        drawBox(2, y);
    return image;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc < 3 || argc % 2 != 1) {
        std::fprintf(stderr, "usage: make_icon_png SIZE OUTPUT.png [SIZE OUTPUT.png ...]\n");
        return 2;
    }
    for (int i = 1; i < argc; i += 2) {
        char* end = nullptr;
        const long size = std::strtol(argv[i], &end, 10);
        if (*end != '\0' || size < 16 || size > 1024) {
            std::fprintf(stderr, "make_icon_png: size must be 16 to 1024, not \"%s\"\n", argv[i]);
            return 2;
        }
        const QImage image = drawIcon(static_cast<int>(size));
        const QString path = QString::fromLocal8Bit(argv[i + 1]);
        if (!image.save(path, "PNG")) {
            std::fprintf(stderr, "make_icon_png: cannot write %s\n", argv[i + 1]);
            return 1;
        }
    }
    return 0;
}
