#pragma once

// The line layer of a family-tree file: the bytes in a form we can walk (byte-order mark,
// UTF-16, the character set and version named in the header), and its lines, each split into
// level, cross-reference, tag and value without copying anything. CONT and CONC lines are
// folded into the line they continue; values are joined, unescaped and decoded only on demand.

#include "base/failure.h"
#include "encoding.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pq::gedcom {

struct Warning {
    std::uint32_t line = 0;
    QString text;
};

// A file that cannot be a family-tree file at all (empty, too large, not beginning with
// "0 HEAD"): the line to blame (0 when no line is) and the reason, as fields.
class FormatFailure : public Failure {
public:
    FormatFailure(std::uint32_t line, const QString& reason)
        : Failure(line ? QStringLiteral("line %1: %2").arg(line).arg(reason) : reason), mLine(line),
          mReason(reason) {}
    std::uint32_t line() const { return mLine; }
    const QString& reason() const { return mReason; }

private:
    std::uint32_t mLine;
    QString mReason;
};

// The problems met while reading. A hostile file can have millions, so only the first ones
// are kept, and the rest are counted.
class Warnings {
public:
    static constexpr std::size_t kKept = 100;
    // The text is only made for the warnings that are kept.
    template<class MakeText> void add(std::uint32_t line, MakeText&& makeText) {
        ++mTotal;
        if (mKept.size() < kKept)
            mKept.push_back({line, makeText()});
    }
    // Takes over another reader's problems, as if they had been added here.
    void absorb(const Warnings& other) {
        for (const Warning& w : other.mKept)
            if (mKept.size() < kKept)
                mKept.push_back(w);
        mTotal += other.mTotal;
    }
    const std::vector<Warning>& kept() const { return mKept; }
    std::size_t total() const { return mTotal; }

private:
    std::vector<Warning> mKept;
    std::size_t mTotal = 0;
};

// Where a value lies: the value on its own line and, when CONT or CONC lines continue it,
// the end of the last of them.
struct TextRef {
    std::uint32_t begin = 0;
    std::uint32_t size = 0;
    std::uint32_t line = 0;
    std::uint32_t end = 0; // past the last continuation line; 0 when there is none

    bool isSet() const { return line != 0; }
    bool continued() const { return end != 0; }
};

// A tag of up to four characters packed into a number, so that tags are compared (and
// switched on) without comparing strings; 0 for longer tags.
constexpr std::uint32_t tagCode(std::string_view tag) {
    if (tag.size() > 4)
        return 0;
    std::uint32_t code = 0;
    for (const char c : tag)
        code = (code << 8) | static_cast<unsigned char>(c);
    return code;
}

// A value without the spaces and tabs around it.
std::string_view trimmed(std::string_view value);

struct Line {
    std::uint32_t number = 0; // 1-based, as an editor counts lines
    int level = 0;
    std::string_view levelText; // the digits as written; a level of over four digits is capped
    std::string_view xref;      // between the @ signs; empty when the line defines none
    std::string_view tag;
    std::uint32_t code = 0; // tagCode(tag)
    std::string_view value; // as written: escapes not applied, continuations not joined
    std::uint32_t end = 0;  // past the last CONT or CONC line; 0 when none follows
};

class Source {
public:
    // Takes the file as read: strips a byte-order mark, turns UTF-16 into UTF-8 and reads the
    // character set and version from the header. Where the bytes contradict the header's
    // character set they decide, and warnings() says so; characters no chart can show are
    // reported there too. Throws FormatFailure for a file that cannot be a family-tree file at
    // all (empty, or larger than 4 GB).
    explicit Source(QByteArray file);
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;

    std::string_view bytes() const { return mBytes; }
    Encoding encoding() const { return mEncoding; }
    int majorVersion() const { return mVersion; } // 5 for 5.5.x, 7 for 7.0
    // What the bytes say about the character set, each problem once and naming its line.
    const Warnings& warnings() const { return mWarnings; }

    TextRef ref(const Line& line) const;
    // The value's bytes with its continuations joined (CONT as a line break) and @@ unescaped.
    std::string joined(const TextRef& ref) const;
    QString text(const TextRef& ref) const;

private:
    enum class Marked { No, Utf8ByteOrderMark, Utf16 };
    void readHeader();
    void settleEncoding(Marked marked);
    QString labelText() const;
    void unescapeInto(std::string& out, std::string_view piece) const;

    QByteArray mFile;
    std::string mTranscoded; // the UTF-8 form of a UTF-16 file
    std::string_view mBytes;
    Encoding mEncoding = Encoding::Utf8;
    int mVersion = 5;
    std::string_view mLabel; // the CHAR line's value, trimmed
    bool mLabelKnown = true;
    std::uint32_t mCharsetLine = 0;
    Warnings mWarnings;
};

// Walks the lines of a source in order. Blank lines and leading whitespace are tolerated;
// a line without level or tag, and a line whose level jumps more than one below the line
// before it (with the lines under it), are reported and skipped.
class LineReader {
public:
    LineReader(const Source& source, Warnings& warnings);
    bool next(Line& line);
    // The number of the first line that is not blank, well-formed or not; 0 before it is seen.
    std::uint32_t firstTextLine() const { return mFirstTextLine; }

private:
    bool nextPhysical(Line& line); // the next well-formed line, CONT and CONC not yet folded

    std::string_view mBytes;
    Warnings& mWarnings;
    std::size_t mPos = 0;
    std::uint32_t mLineNumber = 0;
    std::uint32_t mFirstTextLine = 0;
    int mLastLevel = -1;
    bool mHavePending = false;
    Line mPending;
};

} // namespace pq::gedcom
