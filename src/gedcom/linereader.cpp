#include "linereader.h"

#include "base/failure.h"

#include <QByteArrayView>
#include <cstring>
#include <limits>

namespace pq::gedcom {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The physical line at pos, without its terminator (CR, LF or CR LF); pos moves past it.
std::string_view physicalLine(std::string_view bytes, std::size_t& pos) {
    const char* begin = bytes.data() + pos;
    const char* end = bytes.data() + bytes.size();
    const char* p = begin;
    while (p < end && *p != '\n' && *p != '\r')
        ++p;
    const std::string_view text(begin, static_cast<std::size_t>(p - begin));
    if (p < end)
        p += (*p == '\r' && p + 1 < end && p[1] == '\n') ? 2 : 1;
    pos = static_cast<std::size_t>(p - bytes.data());
    return text;
}

// The long forms some programs write instead of the tags, with the tags they stand for.
constexpr std::pair<std::string_view, std::string_view> kLongTags[] = {
    {"ADOPTION", "ADOP"},      {"BAPTISM", "BAPM"},       {"BIRTH", "BIRT"},
    {"BURIAL", "BURI"},        {"CHARACTER", "CHAR"},     {"CHILD", "CHIL"},
    {"CHRISTENING", "CHR"},    {"CONCATENATION", "CONC"}, {"CONTINUED", "CONT"},
    {"DEATH", "DEAT"},         {"FAMILY", "FAM"},         {"FAMILY_CHILD", "FAMC"},
    {"FAMILY_SPOUSE", "FAMS"}, {"GEDCOM", "GEDC"},        {"GIVEN_NAME", "GIVN"},
    {"HEADER", "HEAD"},        {"HUSBAND", "HUSB"},       {"INDIVIDUAL", "INDI"},
    {"NAME_PREFIX", "NPFX"},   {"NAME_SUFFIX", "NSFX"},   {"NICKNAME", "NICK"},
    {"PEDIGREE", "PEDI"},      {"SURNAME", "SURN"},       {"SURN_PREFIX", "SPFX"},
    {"TRAILER", "TRLR"},       {"VERSION", "VERS"},
};

// The code of a tag as the standard writes it: lower-case letters and the long forms are
// read as the tags they spell. Tags of the usual shape cost one pass over four letters.
std::uint32_t standardTagCode(std::string_view tag) {
    bool lower = false;
    for (const char c : tag)
        lower = lower || (c >= 'a' && c <= 'z');
    if (!lower && tag.size() <= 4)
        return tagCode(tag);
    char upper[16];
    if (tag.size() > sizeof upper)
        return 0;
    for (std::size_t i = 0; i < tag.size(); ++i)
        upper[i] = (tag[i] >= 'a' && tag[i] <= 'z') ? char(tag[i] - 32) : tag[i];
    const std::string_view word(upper, tag.size());
    if (word.size() <= 4)
        return tagCode(word);
    for (const auto& [longForm, shortForm] : kLongTags)
        if (word == longForm)
            return tagCode(shortForm);
    return 0;
}

enum class Shape { Blank, Malformed, Line };

// Splits a line into level, cross-reference, tag and value; `problem` says what is missing.
Shape splitLine(std::string_view s, Line& out, const char** problem) {
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    if (i == s.size())
        return Shape::Blank;
    if (!isDigit(s[i])) {
        *problem = "does not begin with a level number";
        return Shape::Malformed;
    }
    int level = 0;
    std::size_t digits = 0;
    const std::size_t levelBegin = i;
    for (; i < s.size() && isDigit(s[i]); ++i, ++digits)
        if (digits < 4)
            level = level * 10 + (s[i] - '0');
    if (digits > 4)
        level = std::numeric_limits<int>::max() / 2; // a jump like any other
    const auto skipBlanks = [&] {
        const std::size_t from = i;
        while (i < s.size() && isBlank(s[i]))
            ++i;
        return i > from;
    };
    if (!skipBlanks() || i == s.size()) {
        *problem = "has no tag after its level";
        return Shape::Malformed;
    }
    std::string_view xref;
    if (s[i] == '@') {
        const std::size_t close = s.find('@', i + 1);
        if (close == std::string_view::npos || close == i + 1) {
            *problem = "has a cross-reference without its closing @";
            return Shape::Malformed;
        }
        xref = s.substr(i + 1, close - i - 1);
        i = close + 1;
        if (!skipBlanks() || i == s.size()) {
            *problem = "has no tag after its cross-reference";
            return Shape::Malformed;
        }
    }
    const std::size_t tagBegin = i;
    while (i < s.size() && !isBlank(s[i]))
        ++i;
    out.level = level;
    out.levelText = s.substr(levelBegin, digits);
    out.xref = xref;
    out.tag = s.substr(tagBegin, i - tagBegin);
    out.code = standardTagCode(out.tag);
    // One delimiter separates tag and value; whatever follows it belongs to the value.
    out.value = i < s.size() ? s.substr(i + 1) : s.substr(s.size());
    out.end = 0;
    return Shape::Line;
}

bool isContinuation(const Line& line) {
    return line.code == tagCode("CONT") || line.code == tagCode("CONC");
}

// A short, printable excerpt of a line for a warning.
QString excerpt(std::string_view s) {
    QString out;
    for (std::size_t i = 0; i < s.size() && i < 24; ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        out += (c >= 0x20 && c < 0x7F) ? QChar(c) : QChar(u'?');
    }
    return s.size() > 24 ? out + QStringLiteral("...") : out;
}

} // namespace

std::string_view trimmed(std::string_view value) {
    while (!value.empty() && isBlank(value.front()))
        value.remove_prefix(1);
    while (!value.empty() && isBlank(value.back()))
        value.remove_suffix(1);
    return value;
}

// ---- Source ----

Source::Source(QByteArray file) : mFile(std::move(file)) {
    if (mFile.isEmpty())
        throw FormatFailure(0, QStringLiteral("the file is empty"));
    const std::string_view raw(mFile.constData(), static_cast<std::size_t>(mFile.size()));
    const auto startsWith = [&](std::string_view prefix) {
        return raw.substr(0, prefix.size()) == prefix;
    };
    const auto transcode = [&](std::string_view utf16, bool bigEndian) {
        mTranscoded = utf16ToUtf8(utf16, bigEndian);
        mBytes = mTranscoded;
        mFile = QByteArray(); // the UTF-16 bytes are no longer needed
    };
    // A file that begins "0" as a 16-bit unit is UTF-16 without a byte-order mark.
    const bool zeroDigitFirst = raw.size() >= 2 && raw[0] == 0 && raw[1] == '0';
    const bool digitZeroFirst = raw.size() >= 2 && raw[0] == '0' && raw[1] == 0;
    Marked marked = Marked::Utf16; // the bytes themselves say how they are encoded
    if (startsWith("\xEF\xBB\xBF")) {
        mBytes = raw.substr(3);
        marked = Marked::Utf8ByteOrderMark;
    } else if (startsWith("\xFF\xFE") || startsWith("\xFE\xFF")) {
        transcode(raw.substr(2), raw[0] == '\xFE');
    } else if (zeroDigitFirst || digitZeroFirst) {
        transcode(raw, zeroDigitFirst);
    } else {
        mBytes = raw;
        marked = Marked::No;
    }
    if (mBytes.size() >= std::numeric_limits<std::uint32_t>::max())
        throw FormatFailure(0, QStringLiteral("the file is larger than 4 GB"));
    readHeader();
    settleEncoding(marked);
}

void Source::readHeader() {
    Warnings ignored; // the main pass reports them
    LineReader reader(*this, ignored);
    Line line;
    std::uint32_t level1 = 0;
    bool inHeader = false;
    for (int count = 0; count < 1000 && reader.next(line); ++count) {
        if (line.level == 0) {
            if (inHeader || line.code != tagCode("HEAD"))
                break;
            inHeader = true;
        } else if (line.level == 1) {
            level1 = line.code;
            if (line.code == tagCode("CHAR") && mCharsetLine == 0) {
                mCharsetLine = line.number;
                mLabel = trimmed(line.value);
                mEncoding = encodingForLabel(mLabel, &mLabelKnown);
            }
        } else if (line.level == 2 && level1 == tagCode("GEDC") && line.code == tagCode("VERS") &&
                   !line.value.empty() && isDigit(line.value.front())) {
            mVersion = line.value.front() - '0';
        }
    }
}

QString Source::labelText() const {
    return QStringLiteral("labelled \"%1\" (line %2)")
        .arg(
            QString::fromLatin1(mLabel.data(), qsizetype(std::min<std::size_t>(mLabel.size(), 24))))
        .arg(mCharsetLine);
}

// The bytes decide where they contradict the label: well-formed multi-byte UTF-8 is UTF-8
// whatever the label says, and bytes that are not UTF-8 under a UTF-8 label (or none) are the
// Windows code page, the likeliest source of such a file. Each file gets one warning, naming
// the label and the first line that decided.
void Source::settleEncoding(Marked marked) {
    if (marked == Marked::Utf16) {
        mEncoding = Encoding::Utf8;
    } else {
        if (marked == Marked::Utf8ByteOrderMark)
            mEncoding = Encoding::Utf8;
        const ByteSurvey survey = surveyBytes(mBytes);
        const auto warn = [&](std::uint32_t line, const QString& text) {
            mWarnings.add(line, [&] { return text; });
        };
        if (mEncoding == Encoding::Utf8 && !survey.utf8()) {
            const QString label = marked == Marked::Utf8ByteOrderMark
                                      ? QStringLiteral("begins with a UTF-8 byte-order mark")
                                  : mCharsetLine ? QStringLiteral("is ") + labelText()
                                                 : QStringLiteral("names no character set");
            warn(survey.firstNonUtf8Line,
                 QStringLiteral("the file %1, but line %2 is not UTF-8: the file is read as "
                                "Windows-1252")
                     .arg(label)
                     .arg(survey.firstNonUtf8Line));
            mEncoding = Encoding::Cp1252;
        } else if (mEncoding != Encoding::Utf8 && !survey.ascii() && survey.utf8()) {
            warn(survey.firstMultiByteLine,
                 QStringLiteral("the file is %1, but its text is UTF-8 (line %2 is the first "
                                "to show it): the file is read as UTF-8")
                     .arg(labelText())
                     .arg(survey.firstMultiByteLine));
            mEncoding = Encoding::Utf8;
        } else if (!mLabelKnown) {
            warn(mCharsetLine,
                 QStringLiteral("the character set \"%1\" is not known; the file is "
                                "read as Windows-1252")
                     .arg(QString::fromLatin1(mLabel.data(), qsizetype(mLabel.size()))));
        } else if (!survey.ascii() &&
                   QByteArrayView(mLabel).compare("ASCII", Qt::CaseInsensitive) == 0) {
            warn(survey.firstHighLine,
                 QStringLiteral("the file is %1, but line %2 holds bytes outside ASCII: they are "
                                "read as Windows-1252")
                     .arg(labelText())
                     .arg(survey.firstHighLine));
        }
        if (survey.ascii() && !survey.controls)
            return;
    }
    findUnshowable(mBytes, mEncoding, [&](std::uint32_t line, int count, const QString& what) {
        mWarnings.add(line, [&] {
            return count == 1 ? QStringLiteral("%1 cannot be shown; it is dropped").arg(what)
                              : QStringLiteral("%1 characters cannot be shown, the first %2; "
                                               "they are dropped")
                                    .arg(count)
                                    .arg(what);
        });
    });
}

TextRef Source::ref(const Line& line) const {
    return {static_cast<std::uint32_t>(line.value.data() - mBytes.data()),
            static_cast<std::uint32_t>(line.value.size()), line.number, line.end};
}

void Source::unescapeInto(std::string& out, std::string_view piece) const {
    if (mVersion >= 7) { // only a leading @ is doubled
        if (piece.substr(0, 2) == "@@")
            piece.remove_prefix(1);
        out += piece;
        return;
    }
    for (std::size_t at; (at = piece.find("@@")) != std::string_view::npos;) {
        out += piece.substr(0, at + 1);
        piece.remove_prefix(at + 2);
    }
    out += piece;
}

std::string Source::joined(const TextRef& ref) const {
    std::string out;
    unescapeInto(out, mBytes.substr(ref.begin, ref.size));
    std::size_t pos = ref.begin + ref.size;
    while (pos < ref.end) {
        Line line;
        const char* problem = nullptr;
        if (splitLine(physicalLine(mBytes, pos), line, &problem) != Shape::Line ||
            !isContinuation(line))
            continue;
        if (line.code == tagCode("CONT"))
            out += '\n';
        unescapeInto(out, line.value);
    }
    return out;
}

QString Source::text(const TextRef& ref) const {
    const std::string_view value = mBytes.substr(ref.begin, ref.size);
    if (!ref.continued() && value.find("@@") == std::string_view::npos)
        return decodeText(value, mEncoding);
    return decodeText(joined(ref), mEncoding);
}

// ---- LineReader ----

LineReader::LineReader(const Source& source, Warnings& warnings)
    : mBytes(source.bytes()), mWarnings(warnings) {}

bool LineReader::nextPhysical(Line& line) {
    while (mPos < mBytes.size()) {
        const std::string_view text = physicalLine(mBytes, mPos);
        ++mLineNumber;
        const char* problem = nullptr;
        const Shape shape = splitLine(text, line, &problem);
        if (shape != Shape::Blank && mFirstTextLine == 0)
            mFirstTextLine = mLineNumber;
        if (shape == Shape::Line) {
            line.number = mLineNumber;
            return true;
        }
        if (shape == Shape::Malformed)
            mWarnings.add(mLineNumber, [&] {
                return QStringLiteral("\"%1\" %2; the line is skipped")
                    .arg(excerpt(text), QLatin1String(problem));
            });
    }
    return false;
}

bool LineReader::next(Line& line) {
    bool jumpReported = false;
    for (;;) {
        if (mHavePending) {
            line = mPending;
            mHavePending = false;
        } else if (!nextPhysical(line)) {
            return false;
        }
        if (line.level > mLastLevel + 1) {
            if (!jumpReported)
                mWarnings.add(line.number, [&] {
                    return mLastLevel < 0
                               ? QStringLiteral("the file does not begin at level 0; the lines "
                                                "before the first level-0 line are skipped")
                               : QStringLiteral("level %1 follows level %2; the line and the "
                                                "lines under it are skipped")
                                     .arg(QLatin1String(line.levelText.data(),
                                                        qsizetype(line.levelText.size())))
                                     .arg(mLastLevel);
                });
            jumpReported = true;
            continue;
        }
        mLastLevel = line.level;
        while (nextPhysical(mPending)) {
            if (mPending.level != line.level + 1 || !isContinuation(mPending)) {
                mHavePending = true;
                break;
            }
            line.end = static_cast<std::uint32_t>(mPending.value.data() + mPending.value.size() -
                                                  mBytes.data());
        }
        return true;
    }
}

} // namespace pq::gedcom
