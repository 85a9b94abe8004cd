// The line layer and the model: character sets, line ends, continuations, escapes, and files
// that are broken or hostile.

#include "base/failure.h"
#include "gedcom/familyfile.h"

#include <QString>
#include <gtest/gtest.h>

namespace pq::gedcom {
namespace {

QByteArray file(const QByteArray& body, const QByteArray& charset = "UTF-8") {
    return "0 HEAD\n1 GEDC\n2 VERS 5.5.1\n1 CHAR " + charset + "\n" + body + "0 TRLR\n";
}

QString nameOf(const FamilyFile& f, const char* xref) {
    const std::int32_t p = f.personByXref(xref);
    return p < 0 ? QStringLiteral("<none>") : f.text(f.people()[p].name);
}

// The problems reported, as "line: text".
std::vector<std::pair<std::uint32_t, QString>> warningsOf(const FamilyFile& f) {
    std::vector<std::pair<std::uint32_t, QString>> out;
    for (const Warning& w : f.warnings().kept())
        out.emplace_back(w.line, w.text);
    return out;
}

QByteArray utf16(const QString& text, bool bigEndian) {
    QByteArray out(bigEndian ? "\xFE\xFF" : "\xFF\xFE", 2);
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        out.append(bigEndian ? hi : lo).append(bigEndian ? lo : hi);
    }
    return out;
}

TEST(GedcomReader, DecodesEveryCharacterSet) {
    const QString zoe = QStringLiteral("Zoë /Müller/ Łódź");
    const QByteArray utf8Body = "0 @I1@ INDI\n1 NAME " + zoe.toUtf8() + "\n";
    EXPECT_EQ(nameOf(*readFamilyFile(file(utf8Body)), "I1"), zoe);
    EXPECT_EQ(nameOf(*readFamilyFile("\xEF\xBB\xBF" + file(utf8Body)), "I1"), zoe);
    // The label lies: the byte-order mark decides.
    const QString utf16Text = QString::fromUtf8(file(utf8Body, "ANSEL")).replace("\n", "\r\n");
    EXPECT_EQ(nameOf(*readFamilyFile(utf16(utf16Text, false)), "I1"), zoe);
    EXPECT_EQ(nameOf(*readFamilyFile(utf16(utf16Text, true)), "I1"), zoe);
    EXPECT_EQ(nameOf(*readFamilyFile(file("0 @I1@ INDI\n1 NAME Ada /King/\n", "ASCII")), "I1"),
              QStringLiteral("Ada /King/"));
    // ANSEL: the diacritic comes before its letter, and may even end a CONC piece.
    const auto ansel = readFamilyFile(file("0 @I1@ INDI\n1 NAME Zo\xE8"
                                           "e /M\xE8uller/ \xA1\xE2od\xE2z Jos\xE2\n2 CONC e\n",
                                           "ANSEL"));
    EXPECT_EQ(nameOf(*ansel, "I1"), QStringLiteral("Zoë /Müller/ Łódź José"));
    EXPECT_EQ(nameOf(*ansel, "I1").size(), 22) << "marks are composed with their letters";
    const auto ansi = readFamilyFile(file("0 @I1@ INDI\n1 NAME Ren\xE9"
                                          "e /Lef\xE8vre \x8A\x80/\n",
                                          "ANSI"));
    EXPECT_EQ(nameOf(*ansi, "I1"), QStringLiteral("Renée /Lefèvre Š€/"));
    const auto unknown = readFamilyFile(file("0 @I1@ INDI\n1 NAME Ren\xE9"
                                             "e\n",
                                             "KLINGON"));
    EXPECT_EQ(nameOf(*unknown, "I1"), QStringLiteral("Renée"));
    ASSERT_EQ(warningsOf(*unknown).size(), 1u);
    EXPECT_EQ(warningsOf(*unknown)[0].first, 4u);
}

// The bytes decide where the label contradicts them; each file says so once, naming the
// label and the line that decided.
TEST(GedcomReader, CharacterSetFollowsTheBytes) {
    const QByteArray cp1252Body = "0 @I1@ INDI\n1 NAME Zo\xEB /M\xFCller/\n"
                                  "0 @I2@ INDI\n1 NAME Ren\xE9\n";
    const QString zoe = QStringLiteral("Zoë /Müller/");
    const QByteArray utf8Body = "0 @I1@ INDI\n1 NAME " + zoe.toUtf8() + "\n";
    struct Case {
        QByteArray bytes;
        std::uint32_t line; // the deciding line the warning names
        const char* says;
    };
    const QByteArray noLabel = "0 HEAD\n1 GEDC\n2 VERS 5.5.1\n" + cp1252Body + "0 TRLR\n";
    const Case cases[] = {
        {file(cp1252Body), 6, "labelled \"UTF-8\" (line 4), but line 6 is not UTF-8"},
        {noLabel, 5, "names no character set, but line 5 is not UTF-8"},
        {"\xEF\xBB\xBF" + noLabel, 5, "byte-order mark, but line 5 is not UTF-8"},
        {file(utf8Body, "ANSEL"), 6, "labelled \"ANSEL\" (line 4), but its text is UTF-8 (line 6"},
        {file(utf8Body, "ASCII"), 6, "labelled \"ASCII\""},
        {file(utf8Body, "ANSI"), 6, "labelled \"ANSI\""},
        {file(cp1252Body, "ASCII"), 6, "line 6 holds bytes outside ASCII"},
    };
    for (const Case& c : cases) {
        const auto f = readFamilyFile(c.bytes);
        EXPECT_EQ(nameOf(*f, "I1"), zoe) << c.says;
        const auto w = warningsOf(*f);
        ASSERT_EQ(w.size(), 1u) << c.says << ": one warning per file";
        EXPECT_EQ(w[0].first, c.line) << c.says;
        EXPECT_TRUE(w[0].second.contains(QLatin1String(c.says))) << w[0].second.toStdString();
    }
    // Code page 437 and Mac Roman are not the Windows code page.
    EXPECT_EQ(
        nameOf(*readFamilyFile(file("0 @I1@ INDI\n1 NAME M\x81ller \x9A\xE1\n", "IBMPC")), "I1"),
        QStringLiteral("Müller Üß"));
    EXPECT_EQ(nameOf(*readFamilyFile(file("0 @I1@ INDI\n1 NAME M\x9Fller \x86\xA7\n", "MACINTOSH")),
                     "I1"),
              QStringLiteral("Müller Üß"));
    // A sound UTF-8 file and a sound ANSEL file say nothing.
    EXPECT_TRUE(readFamilyFile(file(utf8Body))->warnings().kept().empty());
    EXPECT_TRUE(readFamilyFile(file("0 @I1@ INDI\n1 NAME Zo\xE8"
                                    "e\n",
                                    "ANSEL"))
                    ->warnings()
                    .kept()
                    .empty());
}

// No value carries U+FFFD or a control character: what cannot be read is dropped, and the
// line is named.
TEST(GedcomReader, UnreadableCharactersAreDroppedAndNamed) {
    struct Case {
        QByteArray bytes;
        const char* says;
    };
    const Case cases[] = {
        {file(QByteArray("0 @I1@ INDI\n1 NAME Ann") + '\0' + "a /Ray/\n"),
         "control character U+0000"},
        {file("0 @I1@ INDI\n1 NAME Ann\x07"
              "a\x1B /Ray/\n"),
         "2 characters"},
        {file("0 @I1@ INDI\n1 NAME Ann\xEF\xBF\xBD"
              "a /Ray/\n"),
         "U+FFFD"},
        {file("0 @I1@ INDI\n1 NAME Ann\xC2\x85"
              "a /Ray/\n"),
         "control character U+0085"},
        {file("0 @I1@ INDI\n1 NAME Ann\xFD"
              "a /R\xE2\xAF"
              "ay/\n",
              "ANSEL"),
         "byte 0xFD"},
        {file("0 @I1@ INDI\n1 NAME Ann\x81"
              "a /Ray/\n",
              "ANSI"),
         "byte 0x81"},
    };
    for (const Case& c : cases) {
        const auto f = readFamilyFile(c.bytes);
        const QString name = nameOf(*f, "I1");
        EXPECT_EQ(name, c.bytes.contains("R\xE2\xAF") ? QStringLiteral("Anna /Ráy/")
                                                      : QStringLiteral("Anna /Ray/"))
            << c.says;
        const auto w = warningsOf(*f);
        ASSERT_EQ(w.size(), 1u) << c.says;
        EXPECT_EQ(w[0].first, 6u) << c.says;
        EXPECT_TRUE(w[0].second.contains(QLatin1String(c.says))) << w[0].second.toStdString();
    }
    // Far into a file, with every kind of line end, and odd bytes on either side of the runs of
    // plain text that the scans skip whole: each is still put on its own line.
    QByteArray body;
    std::vector<std::uint32_t> controlLines;
    const char* const ends[] = {"\n", "\r\n", "\r"};
    for (int k = 1; k <= 60; ++k) {
        const std::uint32_t noteLine = 2 * std::uint32_t(k) + 4; // after the 4 header lines
        body += "0 @I" + QByteArray::number(k) + "@ INDI" + ends[k % 3];
        body += "1 NOTE " + QByteArray(k % 41, 'x') + (k == 50 ? "\xE9" : "");
        if (k % 7 == 0) {
            body += "\x07";
            controlLines.push_back(noteLine);
        }
        body += QByteArray("y") + ends[(k + 1) % 3];
    }
    const auto far = readFamilyFile(file(body));
    const auto w = warningsOf(*far);
    ASSERT_EQ(w.size(), controlLines.size() + 1);
    EXPECT_EQ(w[0].first, 104u) << "the first byte that is not UTF-8";
    for (std::size_t i = 0; i < controlLines.size(); ++i)
        EXPECT_EQ(w[i + 1].first, controlLines[i]) << w[i + 1].second.toStdString();
    // An unpaired surrogate in a UTF-16 file.
    QString text = QString::fromUtf8(file("0 @I1@ INDI\n1 NAME Ann\x01"
                                          "a\n"));
    text[text.indexOf(QChar(1))] = QChar(0xD800);
    const auto f = readFamilyFile(utf16(text, false));
    EXPECT_EQ(nameOf(*f, "I1"), QStringLiteral("Anna"));
    ASSERT_EQ(f->warnings().total(), 1u);
    EXPECT_EQ(f->warnings().kept()[0].line, 6u);
}

// Every ANSEL combining mark (0xE0-0xFE), written before its letter, is the right mark.
TEST(GedcomReader, AnselCombiningMarks) {
    const char16_t expected[31] = {
        0x0309, // E0 hook above
        0x0300, // E1 grave
        0x0301, // E2 acute
        0x0302, // E3 circumflex
        0x0303, // E4 tilde
        0x0304, // E5 macron
        0x0306, // E6 breve
        0x0307, // E7 dot above
        0x0308, // E8 diaeresis
        0x030C, // E9 caron
        0x030A, // EA ring above
        0xFE20, // EB ligature, left half
        0xFE21, // EC ligature, right half
        0x0315, // ED comma above right
        0x030B, // EE double acute
        0x0310, // EF candrabindu
        0x0327, // F0 cedilla
        0x0328, // F1 ogonek
        0x0323, // F2 dot below
        0x0324, // F3 diaeresis below
        0x0325, // F4 ring below
        0x0333, // F5 double low line
        0x0332, // F6 low line
        0x0326, // F7 comma below
        0x031C, // F8 left half ring below
        0x032E, // F9 breve below
        0xFE22, // FA double tilde, left half
        0xFE23, // FB double tilde, right half
        0x0338, // FC long solidus overlay
        0,      // FD: not defined
        0x0313, // FE comma above
    };
    for (int b = 0xE0; b <= 0xFE; ++b) {
        const std::string bytes{char(b), 'c'};
        const QString decoded =
            decodeText(bytes, Encoding::Ansel).normalized(QString::NormalizationForm_D);
        const char16_t mark = expected[b - 0xE0];
        EXPECT_EQ(decoded, mark ? QString(u'c') + QChar(mark) : QStringLiteral("c"))
            << std::hex << b;
    }
    EXPECT_EQ(decodeText("Fran\xF0"
                         "cois",
                         Encoding::Ansel),
              QStringLiteral("François"));
}

TEST(GedcomReader, LinesContinuationsAndEscapes) {
    // CR, LF and CR LF endings, blank lines and indentation, CONC and CONT, doubled @.
    const QByteArray body = "0 @I1@ INDI\r  1 NAME Anne /Bol\r\n\n    2 CONC eyn/\n"
                            "1 BIRT\r\n2 DATE 1501\n0 @N1@ NOTE mail me at a@@b.org\n"
                            "1 CONT second line\n1 CONC  continued\n";
    const auto f = readFamilyFile(file(body));
    EXPECT_EQ(nameOf(*f, "I1"), QStringLiteral("Anne /Boleyn/"));
    EXPECT_TRUE(f->warnings().kept().empty()) << f->warnings().kept()[0].text.toStdString();
    const Source& source = f->source();
    Warnings warnings;
    LineReader reader(source, warnings);
    Line line;
    while (reader.next(line) && line.tag != "NOTE") {
    }
    EXPECT_EQ(line.number, 11u);
    EXPECT_EQ(source.text(source.ref(line)),
              QStringLiteral("mail me at a@b.org\nsecond line continued"));
    // Version 7 only unescapes a leading @.
    const auto seven =
        readFamilyFile("0 HEAD\n1 GEDC\n2 VERS 7.0\n0 @I1@ INDI\n1 NAME @@x a@@b\n0 TRLR\n");
    EXPECT_EQ(nameOf(*seven, "I1"), QStringLiteral("@x a@@b"));
}

TEST(GedcomReader, BrokenFilesGiveWhatCouldBeReadAndNameTheLines) {
    const QByteArray body = "0 @I1@ INDI\n"        // 5
                            "1 NAME Ann /Smith/\n" // 6
                            "1 BIRT\n"             // 7
                            "3 DATE 1700\n"        // 8: a level jump
                            "4 PLAC Nowhere\n"     // 9: under the jump, skipped silently
                            "2 DATE 1801\n"        // 10
                            "1 FAMC @F9@\n"        // 11: no such family
                            "no level here\n"      // 12
                            "0 @I1@ INDI\n"        // 13: defined again
                            "1 NAME Impostor\n"    // 14
                            "0 @F1@ FAM\n"         // 15
                            "1 HUSB I1\n"          // 16: not a pointer
                            "1 WIFE @I1@\n"        // 17
                            "1 WIFE @I1@\n";       // 18: a second wife
    const auto f = readFamilyFile(file(body));
    const auto w = warningsOf(*f);
    std::vector<std::uint32_t> lines;
    for (const auto& [line, text] : w)
        lines.push_back(line);
    EXPECT_EQ(lines, (std::vector<std::uint32_t>{8, 12, 13, 16, 18, 11}));
    EXPECT_TRUE(w[0].second.contains(QStringLiteral("level 3 follows level 1")));
    const auto capped = readFamilyFile(file("0 @I1@ INDI\n1 NAME Ann\n123456789 NOTE x\n"));
    ASSERT_EQ(capped->warnings().total(), 1u);
    EXPECT_TRUE(capped->warnings().kept()[0].text.startsWith(
        QStringLiteral("level 123456789 follows level 1")))
        << capped->warnings().kept()[0].text.toStdString();
    EXPECT_TRUE(w[2].second.contains(QStringLiteral("first at line 5")));
    EXPECT_TRUE(w[5].second.contains(QStringLiteral("@F9@")));
    ASSERT_EQ(f->people().size(), 1u);
    EXPECT_EQ(nameOf(*f, "I1"), QStringLiteral("Ann /Smith/"));
    EXPECT_EQ(f->people()[0].parentFamily, -1);
    const TextRef& born = f->people()[0].dates[0];
    EXPECT_EQ(f->text(born), QStringLiteral("1801"));
    EXPECT_EQ(f->families()[0].wife, 0);

    // Cut off in the middle of a line: the rest is used, and the missing end is reported.
    const auto cut = readFamilyFile("0 HEAD\n1 CHAR UTF-8\n0 @I1@ INDI\n1 NAME Ann /Smith/\n"
                                    "0 @I2@ INDI\n1 NAME Bo");
    EXPECT_EQ(nameOf(*cut, "I2"), QStringLiteral("Bo"));
    ASSERT_EQ(cut->warnings().total(), 1u);
    EXPECT_EQ(cut->warnings().kept()[0].line, 6u);
}

// The records table grows from its first 1,024 slots to hold 100,000 records and finds every
// one again, and a second record under a known cross-reference gets the first one's index.
TEST(GedcomReader, RecordsTableGrowsAndFindsEveryRecord) {
    constexpr int kCount = 100000;
    std::vector<std::string> keys;
    keys.reserve(kCount);
    for (int i = 0; i < kCount; ++i)
        keys.push_back(QByteArray("I" + QByteArray::number(i * 7919 % 1000003)).toStdString());
    const auto keyOf = [&keys](std::int32_t i) { return std::string_view(keys[i]); };
    XrefIndex index;
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(index.insert(keys[i], i, keyOf), -1) << keys[i];
    int lost = 0;
    for (int i = 0; i < kCount; ++i)
        lost += index.find(keys[i], keyOf) != i;
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(index.insert(keys[4321], 7, keyOf), 4321);
    EXPECT_EQ(index.find("I1000004", keyOf), -1);
    EXPECT_EQ(index.find("", keyOf), -1);

    QByteArray text = "0 HEAD\n";
    for (int i = 0; i < kCount; ++i)
        text += "0 @P" + QByteArray::number(i) + "@ INDI\n";
    const auto f = readFamilyFile(text + "0 TRLR\n");
    ASSERT_EQ(f->people().size(), std::size_t(kCount));
    lost = 0;
    for (int i = 0; i < kCount; ++i)
        lost += f->personByXref(QByteArray("P" + QByteArray::number(i)).toStdString()) != i;
    EXPECT_EQ(lost, 0);
}

TEST(GedcomReader, HostileInput) {
    // A 10 MB line: a value is kept as a view, a line without level is reported briefly.
    const QByteArray huge(10 << 20, 'x');
    const auto longValue = readFamilyFile(file("0 @I1@ INDI\n1 NAME " + huge + "\n"));
    EXPECT_EQ(longValue->text(longValue->people()[0].name).size(), 10 << 20);
    const auto longJunk = readFamilyFile(file(huge + "\n0 @I1@ INDI\n"));
    ASSERT_EQ(longJunk->warnings().total(), 1u);
    EXPECT_LT(longJunk->warnings().kept()[0].text.size(), 120);
    EXPECT_EQ(longJunk->people().size(), 1u);

    // Millions of broken lines: all counted, a few kept.
    QByteArray junk = "0 HEAD\n";
    for (int i = 0; i < 200000; ++i)
        junk += "x\n";
    const auto many = readFamilyFile(junk);
    EXPECT_EQ(many->warnings().total(), 200001u);
    EXPECT_EQ(many->warnings().kept().size(), Warnings::kKept);

    // Not a family-tree file at all: a clear error naming the line.
    for (const QByteArray& bytes : {QByteArray("PK\x03\x04 zip"), QByteArray("\n\n1 NAME x\n"),
                                    QByteArray(), QByteArray("0 @I1@ INDI\n")}) {
        try {
            readFamilyFile(bytes);
            ADD_FAILURE() << "accepted " << bytes.toStdString();
        } catch (const Failure& e) {
            EXPECT_TRUE(e.description().startsWith(QStringLiteral("line ")) || bytes.isEmpty())
                << e.description().toStdString();
        }
    }
}

} // namespace
} // namespace pq::gedcom
