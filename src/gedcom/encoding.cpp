#include "encoding.h"

#include <QByteArrayView>
#include <array>
#include <cstdint>

namespace pq::gedcom {

namespace {

// Windows-1252's 0x80-0x9F; the five unassigned bytes keep their C1 control value.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// ANSEL 0xA0-0xCF: spacing characters; 0 marks an unassigned byte. 0xBE, 0xBF and 0xCD-0xCF
// are the family-tree format's additions.
constexpr std::array<char16_t, 48> kAnselSpacing = {
    0,      0x0141, 0x00D8, 0x0110, 0x00DE, 0x00C6, 0x0152, 0x02B9, // A0
    0x00B7, 0x266D, 0x00AE, 0x00B1, 0x01A0, 0x01AF, 0x02BC, 0,      // A8
    0x02BB, 0x0142, 0x00F8, 0x0111, 0x00FE, 0x00E6, 0x0153, 0x02BA, // B0
    0x0131, 0x00A3, 0x00F0, 0,      0x01A1, 0x01B0, 0x25A1, 0x25A0, // B8
    0x00B0, 0x2113, 0x2117, 0x00A9, 0x266F, 0x00BF, 0x00A1, 0x00DF, // C0
    0x20AC, 0,      0,      0,      0,      0x0065, 0x006F, 0x00DF, // C8
};

// ANSEL 0xE0-0xFE: combining marks, written before the letter they belong to.
constexpr std::array<char16_t, 32> kAnselCombining = {
    0x0309, 0x0300, 0x0301, 0x0302, 0x0303, 0x0304, 0x0306, 0x0307, // E0
    0x0308, 0x030C, 0x030A, 0xFE20, 0xFE21, 0x0315, 0x030B, 0x0310, // E8
    0x0327, 0x0328, 0x0323, 0x0324, 0x0325, 0x0333, 0x0332, 0x0326, // F0
    0x031C, 0x032E, 0xFE22, 0xFE23, 0x0338, 0,      0x0313, 0,      // F8
};

QString decodeCp1252(std::string_view bytes) {
    QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* d = out.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *d++ = QChar(b >= 0x80 && b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b));
    }
    return out;
}

char16_t anselCharacter(unsigned char b) {
    if (b < 0x80)
        return b;
    if (b == 0x8D)
        return 0x200D; // joiner
    if (b == 0x8E)
        return 0x200C; // non-joiner
    if (b >= 0xA0 && b < 0xD0 && kAnselSpacing[b - 0xA0])
        return kAnselSpacing[b - 0xA0];
    return 0xFFFD;
}

QString decodeAnsel(std::string_view bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    QString marks; // combining marks waiting for their letter
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0x88 || b == 0x89)
            continue; // sorting markers, not text
        if (b >= 0xE0 && kAnselCombining[b - 0xE0]) {
            marks += QChar(kAnselCombining[b - 0xE0]);
            continue;
        }
        out += QChar(anselCharacter(b));
        out += marks;
        marks.clear();
    }
    out += marks;
    return out.normalized(QString::NormalizationForm_C);
}

} // namespace

bool isAscii(std::string_view bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

Encoding encodingForLabel(std::string_view label, bool* known) {
    if (known)
        *known = true;
    const auto is = [label = QByteArrayView(label)](const char* name) {
        return label.compare(name, Qt::CaseInsensitive) == 0;
    };
    for (const char* utf8 : {"UTF-8", "UTF8", "UNICODE", "UTF-16", "UTF16"})
        if (is(utf8))
            return Encoding::Utf8; // a UTF-16 file is already UTF-8 when its header is read
    if (is("ANSEL"))
        return Encoding::Ansel;
    for (const char* cp :
         {"ANSI", "ASCII", "WINDOWS-1252", "CP1252", "LATIN1", "ISO-8859-1", "ISO8859-1"})
        if (is(cp))
            return Encoding::Cp1252;
    if (known)
        *known = false;
    return Encoding::Cp1252;
}

QString decodeText(std::string_view bytes, Encoding encoding) {
    if (encoding == Encoding::Utf8 || isAscii(bytes))
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (encoding == Encoding::Ansel)
        return decodeAnsel(bytes);
    return decodeCp1252(bytes);
}

std::string utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size() / 2 + bytes.size() / 8);
    const std::size_t units = bytes.size() / 2;
    const auto unit = [&](std::size_t i) {
        const auto hi = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 0 : 1)]);
        const auto lo = static_cast<unsigned char>(bytes[2 * i + (bigEndian ? 1 : 0)]);
        return static_cast<char16_t>((hi << 8) | lo);
    };
    for (std::size_t i = 0; i < units; ++i) {
        const char16_t u = unit(i);
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < units && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) < 0xE000) {
            appendUtf8(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u < 0xE000) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

} // namespace pq::gedcom
