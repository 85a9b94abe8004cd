#pragma once

// Writes small Windows cursor files (.cur) for the tests: one image, 32-bit colour with alpha or
// 1-bit monochrome, with a given hot spot.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>

namespace pq::test {

struct CursorShape {
    int size = 32;
    int bitCount = 32; // 32 or 1
    int hotX = 0;
    int hotY = 0;
};

inline void putU16(QByteArray& out, int v) {
    out.append(static_cast<char>(v & 0xFF));
    out.append(static_cast<char>((v >> 8) & 0xFF));
}
inline void putU32(QByteArray& out, quint32 v) {
    putU16(out, static_cast<int>(v & 0xFFFF));
    putU16(out, static_cast<int>(v >> 16));
}

// The picture: the left half opaque red (32-bit) or black (1-bit), the right half transparent.
inline QByteArray cursorBytes(const CursorShape& shape) {
    const int s = shape.size;
    const int colourRow = (s * shape.bitCount + 31) / 32 * 4;
    const int maskRow = (s + 31) / 32 * 4;
    QByteArray image;
    putU32(image, 40);
    putU32(image, s);
    putU32(image, 2 * s);
    putU16(image, 1);
    putU16(image, shape.bitCount);
    putU32(image, 0);
    putU32(image, (colourRow + maskRow) * s);
    for (int i = 0; i < 4; ++i)
        putU32(image, 0);
    if (shape.bitCount == 1) {
        putU32(image, 0x00000000); // palette: black, white
        putU32(image, 0x00FFFFFF);
    }
    for (int y = 0; y < s; ++y) {
        QByteArray row(colourRow, '\0');
        if (shape.bitCount == 32)
            for (int x = 0; x < s / 2; ++x)
                row.replace(4 * x, 4, QByteArray("\x00\x00\xFF\xFF", 4));
        image.append(row);
    }
    for (int y = 0; y < s; ++y) {
        QByteArray row(maskRow, '\0');
        for (int x = s / 2; x < s; ++x)
            row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
        image.append(row);
    }
    QByteArray file;
    putU16(file, 0);
    putU16(file, 2); // cursor
    putU16(file, 1);
    file.append(static_cast<char>(s));
    file.append(static_cast<char>(s));
    file.append('\0');
    file.append('\0');
    putU16(file, shape.hotX); // a cursor keeps its hot spot where an icon keeps planes and bits
    putU16(file, shape.hotY);
    putU32(file, static_cast<quint32>(image.size()));
    putU32(file, 22);
    return file + image;
}

inline void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

} // namespace pq::test
