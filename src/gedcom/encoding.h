#pragma once

// The character sets a family-tree file may use, and turning the bytes of a value into text.
// Line structure (levels, tags, pointers) is ASCII in every 8-bit set, so the reader works on
// the raw bytes and decodes only the values somebody asks for; UTF-16 files are turned into
// UTF-8 once, on loading, for the same reason.

#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace pq::gedcom {

enum class Encoding {
    Utf8,     // also plain ASCII files that carry no high bytes
    Ansel,    // ANSI/NISO Z39.47 with the family-tree additions; diacritics precede their letter
    Cp1252,   // the Windows code page of files labelled "ANSI"
    Cp437,    // the code page of files labelled "IBMPC"
    MacRoman, // files labelled "MACINTOSH"
};

// The set named by a CHAR header line ("UTF-8", "ANSEL", "ANSI", "ASCII", ...), the label
// without the blanks around it; `known` is cleared for a label we do not recognise, which is
// then read as Windows-1252.
Encoding encodingForLabel(std::string_view label, bool* known = nullptr);
// The set's name as a warning gives it: "UTF-8", "Windows-1252", "code page 437"...
QString encodingName(Encoding encoding);

// The text of a value. What no chart can show is left out: control characters other than tab
// and line break, bytes the set does not define, and U+FFFD, the mark of a character some
// earlier program could not read. findUnshowable reports them once per file.
QString decodeText(std::string_view bytes, Encoding encoding);

// Whether the bytes are plain ASCII, and so the same text in every character set.
bool isAscii(std::string_view bytes);
void appendUtf8(std::string& out, char32_t codePoint);

// UTF-16 (either byte order) to UTF-8; an unpaired surrogate becomes U+FFFD (left out of every
// value's text and reported with its line) and an odd last byte is dropped.
std::string utf16ToUtf8(std::string_view bytes, bool bigEndian);

// What the bytes of a whole file say about their character set. Lines are counted as the line
// reader counts them (CR, LF or CR LF ends a line), from 1.
struct ByteSurvey {
    std::uint32_t firstHighLine = 0;      // the first line with a byte over 0x7F; 0: none
    std::uint32_t firstMultiByteLine = 0; // the first line with a well-formed UTF-8 sequence
    std::uint32_t firstNonUtf8Line = 0;   // the first line whose bytes are not UTF-8
    bool controls = false;                // a control character other than tab and line ends

    bool ascii() const { return firstHighLine == 0; }
    bool utf8() const { return firstNonUtf8Line == 0; }
};
ByteSurvey surveyBytes(std::string_view bytes);

// Calls report(line, count, what) for each line holding characters decodeText leaves out:
// how many, and what the first of them is ("the control character U+0000").
void findUnshowable(std::string_view bytes, Encoding encoding,
                    const std::function<void(std::uint32_t, int, const QString&)>& report);

} // namespace pq::gedcom
