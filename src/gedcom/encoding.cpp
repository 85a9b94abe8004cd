#include "encoding.h"

#include <QByteArrayView>
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Code page 437's 0x80-0xFF.
constexpr std::array<char16_t, 128> kCp437High = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, // 80
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, // 88
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, // 90
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, // 98
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, // A0
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, // A8
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, // B8
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, // C8
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, // D8
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, // E0
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, // E8
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0, // F8
};

// Mac Roman's 0x80-0xFF.
constexpr std::array<char16_t, 128> kMacRomanHigh = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, // 80
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8, // 88
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3, // 90
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, // 98
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF, // A0
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8, // A8
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, // B0
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, // B8
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, // C0
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, // C8
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA, // D0
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, // D8
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, // E0
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4, // E8
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC, // F0
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7, // F8
};

// Whether a character can stand in a cell: not a control character (tab and the line break
// of a CONT line aside), not U+FFFD, the mark of a character an earlier program could not
// read, and not one of the two non-characters.
bool showable(char32_t c) {
    if (c < 0x20)
        return c == '\t' || c == '\n';
    return !(c >= 0x7F && c <= 0x9F) && c != 0xFFFD && c != 0xFFFE && c != 0xFFFF;
}

void dropUnshowable(QString& text) {
    qsizetype out = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            text[out++] = ch;
            text[out++] = text.at(++i);
        } else if (!ch.isSurrogate() && showable(ch.unicode())) {
            text[out++] = ch;
        }
    }
    text.truncate(out);
}

// A table of 0x80-0xFF for one of the single-byte code pages; 0x00-0x7F are ASCII.
const char16_t* highHalf(Encoding encoding) {
    switch (encoding) {
    case Encoding::Cp437:
        return kCp437High.data();
    case Encoding::MacRoman:
        return kMacRomanHigh.data();
    default:
        return nullptr;
    }
}

char16_t codePageCharacter(unsigned char b, Encoding encoding) {
    if (b < 0x80)
        return b;
    if (const char16_t* high = highHalf(encoding))
        return high[b - 0x80];
    return b < 0xA0 ? kCp1252High[b - 0x80] : char16_t(b);
}

QString decodeCodePage(std::string_view bytes, Encoding encoding) {
    QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* d = out.data();
    for (const char c : bytes)
        *d++ = QChar(codePageCharacter(static_cast<unsigned char>(c), encoding));
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
    if (b >= 0xE0 && kAnselCombining[b - 0xE0])
        return kAnselCombining[b - 0xE0];
    return 0xFFFD;
}

bool isAnselMark(unsigned char b) {
    return b >= 0xE0 && kAnselCombining[b - 0xE0];
}

QString decodeAnsel(std::string_view bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    QString marks; // combining marks waiting for their letter
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b == 0x88 || b == 0x89)
            continue; // sorting markers, not text
        const char16_t ch = anselCharacter(b);
        if (isAnselMark(b)) {
            marks += QChar(ch);
        } else if (showable(ch)) { // an undefined byte leaves the marks to the next letter
            out += QChar(ch);
            out += marks;
            marks.clear();
        }
    }
    out += marks;
    return out.normalized(QString::NormalizationForm_C);
}

// The length of the well-formed UTF-8 sequence at p (at most `left` bytes), or 0.
int utf8SequenceLength(const unsigned char* p, std::size_t left) {
    const unsigned char b = p[0];
    int length = 0;
    unsigned char low = 0x80, high = 0xBF; // the allowed range of the second byte
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        low = b == 0xE0 ? 0xA0 : 0x80;
        high = b == 0xED ? 0x9F : 0xBF;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        low = b == 0xF0 ? 0x90 : 0x80;
        high = b == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (left < std::size_t(length) || p[1] < low || p[1] > high)
        return 0;
    for (int i = 2; i < length; ++i)
        if ((p[i] & 0xC0) != 0x80)
            return 0;
    return length;
}

char32_t utf8CodePoint(const unsigned char* p, int length) {
    char32_t c = length == 2 ? (p[0] & 0x1F) : length == 3 ? (p[0] & 0x0F) : (p[0] & 0x07);
    for (int i = 1; i < length; ++i)
        c = (c << 6) | (p[i] & 0x3F);
    return c;
}

// Whether the byte at i ends a line as the line reader counts lines: CR, LF and CR LF each
// end one (the CR of a CR LF does not).
bool endsLine(std::string_view bytes, std::size_t i) {
    return bytes[i] == '\n' ||
           (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n'));
}

QString hex(std::uint32_t value, int digits) {
    return QString::number(value, 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

QString describeCodePoint(char32_t c) {
    if (c == 0xFFFD)
        return QStringLiteral("U+FFFD (a character an earlier program could not read)");
    if (c == 0xFFFE || c == 0xFFFF)
        return QStringLiteral("U+%1 (no character)").arg(hex(c, 4));
    return QStringLiteral("the control character U+%1").arg(hex(c, 4));
}

QString describeByte(unsigned char b, Encoding encoding) {
    return QStringLiteral("the byte 0x%1, which %2 does not define")
        .arg(hex(b, 2), encodingName(encoding));
}

// What the first unshowable character at bytes[i] is and how many bytes it takes; an empty
// description for a showable character.
QString unshowableAt(std::string_view bytes, std::size_t i, Encoding encoding, int& length) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + i;
    length = 1;
    if (p[0] < 0x80)
        return showable(p[0]) ? QString() : describeCodePoint(p[0]);
    switch (encoding) {
    case Encoding::Utf8: {
        length = utf8SequenceLength(p, bytes.size() - i);
        if (length == 0) {
            length = 1;
            return describeByte(p[0], encoding);
        }
        const char32_t c = utf8CodePoint(p, length);
        return showable(c) ? QString() : describeCodePoint(c);
    }
    case Encoding::Ansel:
        return p[0] == 0x88 || p[0] == 0x89 || showable(anselCharacter(p[0]))
                   ? QString()
                   : describeByte(p[0], encoding);
    default:
        return showable(codePageCharacter(p[0], encoding)) ? QString()
                                                           : describeByte(p[0], encoding);
    }
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
    for (const char* cp : {"IBMPC", "IBM PC", "CP437", "IBM437"})
        if (is(cp))
            return Encoding::Cp437;
    for (const char* mac : {"MACINTOSH", "MACROMAN", "MAC"})
        if (is(mac))
            return Encoding::MacRoman;
    if (known)
        *known = false;
    return Encoding::Cp1252;
}

QString encodingName(Encoding encoding) {
    switch (encoding) {
    case Encoding::Utf8:
        return QStringLiteral("UTF-8");
    case Encoding::Ansel:
        return QStringLiteral("ANSEL");
    case Encoding::Cp1252:
        return QStringLiteral("Windows-1252");
    case Encoding::Cp437:
        return QStringLiteral("code page 437");
    case Encoding::MacRoman:
        return QStringLiteral("Mac Roman");
    }
    return QString();
}

QString decodeText(std::string_view bytes, Encoding encoding) {
    QString text;
    if (isAscii(bytes))
        text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
    else if (encoding == Encoding::Utf8)
        text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    else if (encoding == Encoding::Ansel)
        return decodeAnsel(bytes); // already without what it cannot show
    else
        text = decodeCodePage(bytes, encoding);
    dropUnshowable(text);
    return text;
}

namespace {

// The scans below skip the bytes that hold nothing for them, printable ASCII, tabs and line
// breaks (nearly all of a family file), sixteen at a time where the processor can compare them
// so.
bool plainByte(unsigned char b) {
    return (b >= 0x20 && b < 0x7F) || b == '\n' || b == '\r' || b == '\t';
}

#if defined(__SSE2__)
// One bit per byte of the sixteen at `p` that is not plain.
unsigned oddBytesOf16(const unsigned char* p) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // Signed, bytes over 0x7F count as below 0x20.
    const __m128i outside = _mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)),
                                         _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F)));
    const __m128i breaks = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n')),
                                                     _mm_cmpeq_epi8(v, _mm_set1_epi8('\r'))),
                                        _mm_cmpeq_epi8(v, _mm_set1_epi8('\t')));
    return unsigned(_mm_movemask_epi8(_mm_andnot_si128(breaks, outside)));
}
#endif

// Line numbers found on demand: the scans need the line of a few rare bytes only, so the line
// ends are counted up to each of them, once, instead of being tested at every byte.
class LineNumbers {
public:
    explicit LineNumbers(std::string_view bytes) : mBytes(bytes) {}

    // The line (from 1) that holds the byte at `offset`; offsets asked for never go back.
    std::uint32_t at(std::size_t offset) {
        std::uint32_t ends = 0;
        for (; mCounted < offset; ++mCounted)
            ends += endsLine(mBytes, mCounted) ? 1 : 0;
        mLine += ends;
        return mLine;
    }

private:
    std::string_view mBytes;
    std::size_t mCounted = 0;
    std::uint32_t mLine = 1;
};

// Calls `visit(i)` for every byte of `bytes` that is not plain, in order; visit returns how many
// bytes it took (a multi-byte character), at least 1.
template<class Visit> void forEachOddByte(std::string_view bytes, Visit&& visit) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t n = bytes.size();
    std::size_t i = 0;
#if defined(__SSE2__)
    while (n - i >= 16) {
        const std::size_t start = i;
        for (unsigned odd = oddBytesOf16(p + start); odd; odd &= odd - 1) {
            const std::size_t at = start + std::size_t(std::countr_zero(odd));
            if (at >= i) // else inside a character already visited
                i = at + visit(at);
        }
        i = std::max(i, start + 16);
    }
#endif
    while (i < n)
        i += plainByte(p[i]) ? 1 : visit(i);
}

} // namespace

ByteSurvey surveyBytes(std::string_view bytes) {
    ByteSurvey survey;
    LineNumbers lines(bytes);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    forEachOddByte(bytes, [&](std::size_t i) -> std::size_t {
        if (p[i] < 0x80) {
            survey.controls = true; // tabs and line breaks are plain
            return 1;
        }
        if (!survey.firstHighLine)
            survey.firstHighLine = lines.at(i);
        if (const int length = utf8SequenceLength(p + i, bytes.size() - i)) {
            if (!survey.firstMultiByteLine)
                survey.firstMultiByteLine = lines.at(i);
            return std::size_t(length);
        }
        if (!survey.firstNonUtf8Line)
            survey.firstNonUtf8Line = lines.at(i);
        return 1;
    });
    return survey;
}

void findUnshowable(std::string_view bytes, Encoding encoding,
                    const std::function<void(std::uint32_t, int, const QString&)>& report) {
    LineNumbers lines(bytes);
    std::uint32_t line = 0; // the line whose unshowable characters are being counted
    int count = 0;
    QString first;
    forEachOddByte(bytes, [&](std::size_t i) -> std::size_t {
        int length = 1;
        const QString what = unshowableAt(bytes, i, encoding, length);
        if (what.isEmpty())
            return std::size_t(length);
        if (const std::uint32_t here = lines.at(i); here != line) {
            if (count)
                report(line, count, first);
            line = here;
            count = 0;
        }
        if (count++ == 0)
            first = what;
        return std::size_t(length);
    });
    if (count)
        report(line, count, first);
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
