#pragma once

// The character sets a family-tree file may use, and turning the bytes of a value into text.
// Line structure (levels, tags, pointers) is ASCII in every 8-bit set, so the reader works on
// the raw bytes and decodes only the values somebody asks for; UTF-16 files are turned into
// UTF-8 once, on loading, for the same reason.

#include <QString>
#include <string>
#include <string_view>

namespace pq::gedcom {

enum class Encoding {
    Utf8,   // also plain ASCII files that carry no high bytes
    Ansel,  // ANSI/NISO Z39.47 with the family-tree additions; diacritics precede their letter
    Cp1252, // the Windows code page of files labelled "ANSI"
};

// The set named by a CHAR header line ("UTF-8", "ANSEL", "ANSI", "ASCII", ...), the label
// without the blanks around it; `known` is cleared for a label we do not recognise, which is
// then read as Windows-1252.
Encoding encodingForLabel(std::string_view label, bool* known = nullptr);

QString decodeText(std::string_view bytes, Encoding encoding);

// Whether the bytes are plain ASCII, and so the same text in every character set.
bool isAscii(std::string_view bytes);
void appendUtf8(std::string& out, char32_t codePoint);

// UTF-16 (either byte order) to UTF-8; an unpaired surrogate becomes U+FFFD and an odd last
// byte is dropped.
std::string utf16ToUtf8(std::string_view bytes, bool bigEndian);

} // namespace pq::gedcom
