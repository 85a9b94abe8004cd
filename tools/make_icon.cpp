// Writes the application icon: one .ico file with four images, in this order, 32x32 in 24-bit
// colour, then 256x256, 128x128 and 48x48 in 32-bit colour, all stored as bitmaps (BMP in ICO).
// The picture is a small pedigree tree: one box, its two parents, their four parents, lime
// boxes with black outlines joined by black lines, on a transparent background. Plain integer
// drawing, so the file comes out the same byte for byte on every build.
//
// Usage: make_icon <output.ico>
//        make_icon SIZE OUT.png [SIZE OUT.png ...]   (the same picture as PNGs, for icon themes)

#include <QImage>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

constexpr Rgba kLime{0x99, 0xCC, 0x00, 0xFF};
constexpr Rgba kBlack{0x00, 0x00, 0x00, 0xFF};

class Canvas {
public:
    explicit Canvas(int size) : mSize(size), mPixels(static_cast<std::size_t>(size * size)) {}
    int size() const { return mSize; }
    const Rgba& at(int x, int y) const { return mPixels[static_cast<std::size_t>(y * mSize + x)]; }

    // Fills [x0, x1) x [y0, y1), clipped to the canvas.
    void fill(int x0, int y0, int x1, int y1, Rgba colour) {
        for (int y = std::max(y0, 0); y < std::min(y1, mSize); ++y)
            for (int x = std::max(x0, 0); x < std::min(x1, mSize); ++x)
                mPixels[static_cast<std::size_t>(y * mSize + x)] = colour;
    }

private:
    int mSize;
    std::vector<Rgba> mPixels;
};

// Positions in 1/1000 of the icon's side, scaled to whole pixels.
int scaled(int size, int thousandths) {
    return (size * thousandths + 500) / 1000;
}

struct Box {
    int left, top, right, bottom; // thousandths
};

// Generation g (0 = the person) has 2^g boxes, each centred between its two parents.
Box boxAt(int generation, int index) {
    const int columnLeft[] = {30, 370, 710};
    const int width = 260;
    const int rows = 1 << generation;
    const int centre = (2 * index + 1) * 1000 / (2 * rows);
    const int half = generation == 2 ? 85 : 95;
    return {columnLeft[generation], centre - half, columnLeft[generation] + width, centre + half};
}

void drawBox(Canvas& canvas, const Box& box, int line) {
    const int s = canvas.size();
    const int l = scaled(s, box.left), t = scaled(s, box.top);
    const int r = scaled(s, box.right), b = scaled(s, box.bottom);
    canvas.fill(l, t, r, b, kBlack);
    canvas.fill(l + line, t + line, r - line, b - line, kLime);
}

// A child's box joined to its two parents: a line out of the child's right edge to a vertical
// line that spans the two parents' centres, and a line into each parent.
void drawJoin(Canvas& canvas, const Box& child, const Box& upper, const Box& lower, int line) {
    const int s = canvas.size();
    const int from = scaled(s, child.right);
    const int to = scaled(s, upper.left);
    const int middle = (from + to) / 2 - line / 2;
    const int childY = scaled(s, (child.top + child.bottom) / 2) - line / 2;
    const int upperY = scaled(s, (upper.top + upper.bottom) / 2) - line / 2;
    const int lowerY = scaled(s, (lower.top + lower.bottom) / 2) - line / 2;
    canvas.fill(from, childY, middle + line, childY + line, kBlack);
    canvas.fill(middle, upperY, middle + line, lowerY + line, kBlack);
    canvas.fill(middle, upperY, to, upperY + line, kBlack);
    canvas.fill(middle, lowerY, to, lowerY + line, kBlack);
}

Canvas drawTree(int size) {
    Canvas canvas(size);
    const int line = std::max(1, size / 40);
    for (int generation = 0; generation < 2; ++generation)
        for (int index = 0; index < (1 << generation); ++index)
            drawJoin(canvas, boxAt(generation, index), boxAt(generation + 1, 2 * index),
                     boxAt(generation + 1, 2 * index + 1), line);
    for (int generation = 0; generation < 3; ++generation)
        for (int index = 0; index < (1 << generation); ++index)
            drawBox(canvas, boxAt(generation, index), line);
    return canvas;
}

class Bytes {
public:
    void u8(unsigned v) { mData.push_back(static_cast<std::uint8_t>(v)); }
    void u16(unsigned v) {
        u8(v & 0xFF);
        u8((v >> 8) & 0xFF);
    }
    void u32(std::uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void append(const Bytes& other) {
        mData.insert(mData.end(), other.mData.begin(), other.mData.end());
    }
    std::size_t size() const { return mData.size(); }
    const std::vector<std::uint8_t>& data() const { return mData; }

private:
    std::vector<std::uint8_t> mData;
};

int rowBytes(int bits) {
    return (bits + 31) / 32 * 4;
}

// One icon image: BITMAPINFOHEADER (height doubled for the mask), the colour rows bottom-up,
// then the 1-bit transparency mask (1 = transparent), rows padded to four bytes.
Bytes iconImage(const Canvas& canvas, int bitCount) {
    const int s = canvas.size();
    const int colourRow = rowBytes(s * bitCount);
    const int maskRow = rowBytes(s);
    Bytes out;
    out.u32(40);
    out.u32(static_cast<std::uint32_t>(s));
    out.u32(static_cast<std::uint32_t>(2 * s));
    out.u16(1);
    out.u16(static_cast<unsigned>(bitCount));
    out.u32(0); // no compression
    out.u32(static_cast<std::uint32_t>((colourRow + maskRow) * s));
    out.u32(0);
    out.u32(0);
    out.u32(0);
    out.u32(0);
    for (int y = s - 1; y >= 0; --y) {
        for (int x = 0; x < s; ++x) {
            const Rgba& p = canvas.at(x, y);
            out.u8(p.b);
            out.u8(p.g);
            out.u8(p.r);
            if (bitCount == 32)
                out.u8(p.a);
        }
        for (int pad = s * bitCount / 8; pad < colourRow; ++pad)
            out.u8(0);
    }
    for (int y = s - 1; y >= 0; --y) {
        for (int byte = 0; byte < maskRow; ++byte) {
            unsigned bits = 0;
            for (int bit = 0; bit < 8; ++bit) {
                const int x = byte * 8 + bit;
                if (x < s && canvas.at(x, y).a == 0)
                    bits |= 0x80u >> bit;
            }
            out.u8(bits);
        }
    }
    return out;
}

struct Entry {
    int size;
    int bitCount;
};

constexpr Entry kEntries[] = {{32, 24}, {256, 32}, {128, 32}, {48, 32}};

} // namespace

// Writes the tree at each given size as a 32-bit PNG.
int writePngs(int argc, char** argv) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const int size = std::atoi(argv[i]);
        if (size < 16 || size > 1024) {
            std::fprintf(stderr, "make_icon: bad size %s\n", argv[i]);
            return 2;
        }
        const Canvas canvas = drawTree(size);
        QImage image(size, size, QImage::Format_ARGB32);
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const Rgba& p = canvas.at(x, y);
                image.setPixel(x, y, qRgba(p.r, p.g, p.b, p.a));
            }
        if (!image.save(QString::fromLocal8Bit(argv[i + 1]), "PNG")) {
            std::fprintf(stderr, "make_icon: cannot write %s\n", argv[i + 1]);
            return 1;
        }
    }
    return 0;
}

int main(int argc, char** argv) {
    if (argc >= 3 && argc % 2 == 1)
        return writePngs(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icon <output.ico> | make_icon SIZE OUT.png ...\n");
        return 2;
    }
    std::vector<Bytes> images;
    for (const Entry& e : kEntries)
        images.push_back(iconImage(drawTree(e.size), e.bitCount));

    Bytes file;
    file.u16(0); // reserved
    file.u16(1); // icon
    file.u16(static_cast<unsigned>(images.size()));
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const Entry& e = kEntries[i];
        file.u8(e.size == 256 ? 0 : static_cast<unsigned>(e.size)); // 0 stands for 256
        file.u8(e.size == 256 ? 0 : static_cast<unsigned>(e.size));
        file.u8(0); // no palette
        file.u8(0);
        file.u16(1); // planes
        file.u16(static_cast<unsigned>(e.bitCount));
        file.u32(static_cast<std::uint32_t>(images[i].size()));
        file.u32(offset);
        offset += static_cast<std::uint32_t>(images[i].size());
    }
    for (const Bytes& image : images)
        file.append(image);

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(file.data().data()),
              static_cast<std::streamsize>(file.size()));
    if (!out) {
        std::fprintf(stderr, "make_icon: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
