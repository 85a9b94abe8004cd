// Whose box is whose: parents, pedigree collapse, loops, choosing the person by name or
// cross-reference, and the life years.

#include "gedcom/dates.h"
#include "gedcom/pedigree.h"

#include <gtest/gtest.h>

namespace pq::gedcom {
namespace {

// Three generations: Cora's father Abel and her mother Bess are half-siblings through Dan,
// so Dan fills two boxes; Bess's mother is unknown. Cora was adopted into F9, listed first.
const char* const kFamily = R"(0 HEAD
1 CHAR UTF-8
0 @I1@ INDI
1 NAME Cora /Vance/
1 BIRT
2 DATE ABT 1850
1 FAMC @F9@
2 PEDI adopted
1 FAMC @F1@
2 PEDI birth
0 @I2@ INDI
1 NAME Abel /Vance/
1 FAMC @F2@
0 @I3@ INDI
1 NAME Bess /Vance/
1 SEX U
1 FAMC @F3@
0 @I4@ INDI
1 NAME Dan /Vance/
1 CHR
2 DATE 1790
1 BURI
2 DATE 1861
0 @I5@ INDI
1 NAME Eve /Ash/
1 NAME Eve /Vance/
0 @I6@ INDI
1 NAME Zoë /Müller/
0 @I7@ INDI
1 NAME Augusta Ada /King/
0 @I8@ INDI
1 NAME Ada /King/
0 @I9@ INDI
1 NAME Ada Mary /King/
0 @F1@ FAM
1 HUSB @I2@
1 WIFE @I3@
0 @F2@ FAM
1 HUSB @I4@
1 WIFE @I5@
0 @F3@ FAM
1 HUSB @I4@
0 @F9@ FAM
1 HUSB @I6@
1 CHIL @I1@
0 TRLR
)";

std::unique_ptr<FamilyFile> family() {
    auto f = readFamilyFile(QByteArray(kFamily));
    EXPECT_TRUE(f->warnings().kept().empty());
    return f;
}

std::int32_t person(const FamilyFile& f, const char* xref) {
    return f.personByXref(xref);
}

TEST(Pedigree, ParentsCollapseAndMissingMother) {
    const auto f = family();
    const auto& p = *f;
    const Pedigree tree = pedigreeOf(p, person(p, "I1"), 4);
    const std::vector<std::int32_t> expected{-1,
                                             person(p, "I1"),
                                             person(p, "I2"),
                                             person(p, "I3"),
                                             person(p, "I4"),
                                             person(p, "I5"),
                                             person(p, "I4"),
                                             -1};
    ASSERT_EQ(tree.ancestors.size(), 16u);
    EXPECT_EQ(std::vector<std::int32_t>(tree.ancestors.begin(), tree.ancestors.begin() + 8),
              expected);
    EXPECT_TRUE(std::all_of(tree.ancestors.begin() + 8, tree.ancestors.end(),
                            [](std::int32_t a) { return a < 0; }));
    EXPECT_TRUE(tree.loops.empty());
    EXPECT_EQ(chartName(p, person(p, "I1")), QStringLiteral("Cora Vance"));
}

// Every ancestor over four generations is known: the last column's boxes, the mother's line
// down to its lowest box included, are all filled.
TEST(Pedigree, EveryBoxOfTheLastColumnIsReached) {
    QByteArray text = "0 HEAD\n";
    for (int k = 1; k < 16; ++k) {
        text += "0 @I" + QByteArray::number(k) + "@ INDI\n1 NAME P" + QByteArray::number(k) + "\n";
        if (k < 8)
            text += "1 FAMC @F" + QByteArray::number(k) + "@\n";
    }
    for (int k = 1; k < 8; ++k)
        text += "0 @F" + QByteArray::number(k) + "@ FAM\n1 HUSB @I" + QByteArray::number(2 * k) +
                "@\n1 WIFE @I" + QByteArray::number(2 * k + 1) + "@\n";
    const auto f = readFamilyFile(text + "0 TRLR\n");
    const Pedigree tree = pedigreeOf(*f, person(*f, "I1"), 4);
    ASSERT_EQ(tree.ancestors.size(), 16u);
    for (int k = 1; k < 16; ++k)
        EXPECT_EQ(tree.ancestors[k],
                  person(*f, QByteArray("I" + QByteArray::number(k)).constData()))
            << k;
}

TEST(Pedigree, LoopIsBoundedByTheGenerations) {
    const auto f = readFamilyFile(R"(0 HEAD
0 @I1@ INDI
1 NAME Al /Loop/
1 FAMC @F1@
0 @I2@ INDI
1 NAME Bo /Loop/
1 FAMC @F2@
0 @F1@ FAM
1 HUSB @I2@
0 @F2@ FAM
1 WIFE @I1@
0 TRLR
)");
    const Pedigree tree = pedigreeOf(*f, 0, 15);
    EXPECT_EQ(tree.ancestors[1], 0);
    EXPECT_EQ(tree.ancestors[2], 1);
    EXPECT_EQ(tree.ancestors[3], -1);
    EXPECT_EQ(tree.ancestors[5], 0);
    EXPECT_EQ(tree.ancestors[10], 1);
    EXPECT_EQ(tree.ancestors.size(), 1u << 15);
    ASSERT_EQ(tree.loops.size(), 2u);
    EXPECT_EQ(tree.loops[0].line, 2u);
    EXPECT_TRUE(tree.loops[0].text.contains(QStringLiteral("Al Loop is their own ancestor")));
}

TEST(Pedigree, ChoosesThePersonByNameOrCrossReference) {
    const auto f = family();
    const auto chosen = [&](const char* query) {
        return choosePerson(*f, QString::fromUtf8(query));
    };
    EXPECT_EQ(chosen("@I4@").person, person(*f, "I4"));
    EXPECT_EQ(chosen("@I99@").matches, 0u);
    EXPECT_EQ(chosen("  zoe MULLER ").person, person(*f, "I6")) << "case and accents ignored";
    EXPECT_EQ(chosen("Zoë /Müller/").person, person(*f, "I6"));
    EXPECT_EQ(chosen("Eve Vance").person, person(*f, "I5")) << "a second NAME counts";
    // The full name beats a given name and surname; one given name and surname is the last
    // resort, and there it is ambiguous.
    EXPECT_EQ(chosen("Ada King").person, person(*f, "I8"));
    EXPECT_EQ(chosen("Augusta King").person, person(*f, "I7"));
    EXPECT_EQ(chosen("Mary King").person, person(*f, "I9"));
    const PersonChoice vance = chosen("Vance");
    EXPECT_EQ(vance.person, -1);
    EXPECT_EQ(vance.matches, 0u);
    EXPECT_EQ(vance.candidates.size(), 5u) << "near misses: everyone called Vance";
    const auto twoAdas = readFamilyFile(QByteArray(kFamily).replace("Augusta Ada", "ADA"));
    const PersonChoice ambiguous = choosePerson(*twoAdas, QStringLiteral("Ada King"));
    EXPECT_EQ(ambiguous.person, -1);
    EXPECT_EQ(ambiguous.matches, 2u);
    EXPECT_EQ(ambiguous.candidates,
              (std::vector<std::int32_t>{person(*f, "I7"), person(*f, "I8")}));
}

// Names made of their pieces, people without a name, and long-form or lower-case tags.
TEST(Pedigree, NamesFromPiecesAndTagsInAnyForm) {
    const auto f = readFamilyFile(R"(0 HEAD
0 @I1@ INDI
1 NAME
2 NPFX Dr
2 GIVN Ann
2 SPFX van
2 SURN Ray
2 NSFX Jr
0 @I2@ INDI
1 NAME //
2 NICK Bud
2 SURN Oak
0 @I3@ INDI
1 SEX F
0 @I4@ INDI
1 NAME /
0 @I6@ INDI
1 NAME //
2 NOTE the name comes later
1 NAME Eva /Holm/
1 NAME Eva /Berg/
0 @I5@ individual
1 name Cy /Lee/
1 BIRTH
2 date 1801
1 FAMILY_CHILD @F1@
0 @F1@ FAMILY
1 HUSBAND @I1@
1 wife @I2@
0 TRAILER
)");
    EXPECT_TRUE(f->warnings().kept().empty()) << f->warnings().kept()[0].text.toStdString();
    const auto who = [&](const char* xref) { return chartName(*f, person(*f, xref)); };
    EXPECT_EQ(who("I1"), QStringLiteral("Dr Ann van Ray Jr"));
    EXPECT_EQ(who("I2"), QStringLiteral("Bud Oak"));
    EXPECT_EQ(who("I3"), QStringLiteral("Unknown")) << "never the cross-reference";
    EXPECT_EQ(who("I4"), QStringLiteral("Unknown"));
    EXPECT_EQ(who("I6"), QStringLiteral("Eva Holm")) << "a NAME that names nobody gives way";
    EXPECT_EQ(choosePerson(*f, QStringLiteral("Eva Berg")).person, person(*f, "I6"));
    EXPECT_EQ(describePerson(*f, person(*f, "I3")), QStringLiteral("@I3@ Unknown"));
    EXPECT_EQ(choosePerson(*f, QStringLiteral("Ann van Ray")).person, person(*f, "I1"))
        << "the pieces are searched as the name";
    EXPECT_EQ(choosePerson(*f, QStringLiteral("Bud Oak")).person, person(*f, "I2"));
    const Pedigree tree = pedigreeOf(*f, person(*f, "I5"), 2);
    EXPECT_EQ(tree.ancestors[2], person(*f, "I1"));
    EXPECT_EQ(tree.ancestors[3], person(*f, "I2"));
    EXPECT_EQ(lifeYears(*f, person(*f, "I5")), QStringLiteral("b. 1801"));
}

// A child's ADOP event marks its family as adoptive: the birth family is preferred, whether
// the child is linked by FAMC or only listed by CHIL.
TEST(Pedigree, AdoptionEventPrefersTheBirthFamily) {
    const auto f = readFamilyFile(R"(0 HEAD
0 @I1@ INDI
1 FAMC @F9@
1 FAMC @F1@
1 ADOP
2 FAMC @F9@
3 ADOP BOTH
0 @I2@ INDI
1 ADOP
2 FAMC @F9@
0 @I3@ INDI
1 NAME Birth /Father/
0 @I4@ INDI
1 NAME Adoptive /Father/
0 @F9@ FAM
1 HUSB @I4@
1 CHIL @I2@
0 @F1@ FAM
1 HUSB @I3@
1 CHIL @I2@
0 TRLR
)");
    for (const char* child : {"I1", "I2"})
        EXPECT_EQ(pedigreeOf(*f, person(*f, child), 2).ancestors[2], person(*f, "I3")) << child;
}

// A cross-reference is found with or without its @ signs and in any case where that names
// one record; candidates are listed by name, then by year of birth, and counted.
TEST(Pedigree, CrossReferencesAndCandidates) {
    QByteArray text = "0 HEAD\n0 @I1@ INDI\n1 NAME Al /Ray/\n0 @i1@ INDI\n1 NAME Bo /Ray/\n"
                      "0 @P7@ INDI\n1 NAME Cy /Ray/\n";
    const int years[] = {1900, 1850, 0, 1875};
    for (int i = 0; i < 24; ++i) {
        text += "0 @K" + QByteArray::number(i) + "@ INDI\n1 NAME " +
                (i < 4 ? "Karl /Muller/\n" : "Karl /Zander/ Muller\n");
        if (i < 4 && years[i])
            text += "1 BIRT\n2 DATE " + QByteArray::number(years[i]) + "\n";
    }
    const auto f = readFamilyFile(text + "0 TRLR\n");
    for (const char* typed : {"@P7@", "P7", "p7", "@p7@", " P7 "})
        EXPECT_EQ(choosePerson(*f, QString::fromLatin1(typed)).person, person(*f, "P7")) << typed;
    EXPECT_EQ(choosePerson(*f, QStringLiteral("i1")).person, person(*f, "i1")) << "exact first";
    EXPECT_EQ(choosePerson(*f, QStringLiteral("@I1@")).person, person(*f, "I1"));
    EXPECT_EQ(choosePerson(*f, QStringLiteral("@Q1@")).person, -1);

    const PersonChoice karl = choosePerson(*f, QStringLiteral("Karl Muller"));
    EXPECT_EQ(karl.matches, 4u) << "the full name beats the others";
    EXPECT_EQ(karl.candidates, (std::vector<std::int32_t>{person(*f, "K1"), person(*f, "K3"),
                                                          person(*f, "K0"), person(*f, "K2")}));
    const PersonChoice near = choosePerson(*f, QStringLiteral("Muller"));
    EXPECT_EQ(near.matches, 0u);
    EXPECT_EQ(near.pool, 24u);
    EXPECT_EQ(near.candidates.size(), kMaxCandidates);
    EXPECT_EQ(chartName(*f, near.candidates.front()), QStringLiteral("Karl Muller"));
}

// Every date word of the grammar, the era, and the calendars whose years are not ours.
TEST(Pedigree, LifeYears) {
    struct Case {
        const char* date;
        const char* shown;     // "": no year
        bool unplaced = false; // warned: a calendar the chart cannot place
    };
    const Case cases[] = {{"12 MAR 1815", "1815"},
                          {"MAR 1815", "1815"},
                          {"1815", "1815"},
                          {"ABT 1815", "c. 1815"},
                          {"EST 1750", "c. 1750"},
                          {"CAL 1750", "c. 1750"},
                          {"BEF 1700", "bef. 1700"},
                          {"AFT 1700", "aft. 1700"},
                          {"bef. 3 JAN 1700", "bef. 1700"},
                          {"BET 1800 AND 1810", "c. 1800"},
                          {"BET 3 MAR 1800 AND 1810", "c. 1800"},
                          {"FROM 1790 TO 1800", "c. 1790"},
                          {"TO 1800", "c. 1800"},
                          {"INT 1815 (from a letter)", "1815"},
                          {"44 B.C.", "44 BC"},
                          {"ABT 10 BC", "c. 10 BC"},
                          {"44 BCE", "44 BC"},
                          {"15 MAR 44 BCE", "44 BC"},
                          {"@#DJULIAN@ 1699/00", "1699"},
                          {"JULIAN 5 JAN 1700", "1700"},
                          {"@#DFRENCH R@ 18 BRUM 8", "1799"},
                          {"@#DFRENCH R@ 10 NIVO 8", "1799"},
                          {"@#DFRENCH R@ 11 NIVO 8", "1800"},
                          {"@#DFRENCH R@ NIVO 8", "c. 1799"},
                          {"FRENCH_R 8", "c. 1799"},
                          {"@#DFRENCH R@ COMP 2", "1794"},
                          {"AFT @#DFRENCH R@ 8", "aft. 1800"},
                          {"@#DHEBREW@ 1 TSH 5785", "2024"},
                          {"@#DHEBREW@ 19 TVT 5784", "2023"},
                          {"@#DHEBREW@ 20 TVT 5784", "2024"},
                          {"HEBREW 5784", "c. 2023"},
                          {"@#DHEBREW@ NSN 5784", "2024"},
                          {"@#DHEBREW@ 1 TSH 1", "3761 BC"},
                          {"@#DROMAN@ 12 AUC", "", true},
                          {"@#", "", true}, // calendar escapes cut short
                          {"@#D", "", true},
                          {"@#@ 1815", "", true},
                          {"(unknown)", ""},
                          {"31 DEC", ""},
                          {"", ""}};
    for (const Case& c : cases) {
        QString problem;
        const auto y = yearOf(c.date, &problem);
        EXPECT_EQ(y ? y->text() : QString(), QString::fromUtf8(c.shown)) << c.date;
        EXPECT_EQ(problem.isEmpty(), !c.unplaced) << c.date;
    }
    const auto f = family();
    EXPECT_EQ(lifeYears(*f, person(*f, "I1")), QStringLiteral("b. c. 1850"));
    EXPECT_EQ(lifeYears(*f, person(*f, "I4")), QStringLiteral("1790–1861"))
        << "christening and burial stand in";
    // Each stand-in, and a date that cannot be placed passing to the next event.
    const auto events = readFamilyFile(R"(0 HEAD
0 @I1@ INDI
1 BAPM
2 DATE 1801
1 BURI
2 DATE 1870
0 @I2@ INDI
1 BIRT
2 DATE @#DROMAN@ 2550
1 CHR
2 DATE 1802
1 BAPM
2 DATE 1803
1 DEAT
2 DATE (young)
1 BURI
2 DATE 1871
0 TRLR
)");
    EXPECT_EQ(lifeYears(*events, 0), QStringLiteral("1801–1870"));
    const LifeYears second = lifeYearsOf(*events, 1);
    EXPECT_EQ(second.text, QStringLiteral("1802–1871"));
    ASSERT_EQ(second.warnings.size(), 1u);
    EXPECT_EQ(second.warnings[0].line, 9u);
    EXPECT_EQ(lifeYears(*f, person(*f, "I2")), QString());
    EXPECT_EQ(describePerson(*f, person(*f, "I4")), QStringLiteral("@I4@ Dan Vance (1790–1861)"));
}

} // namespace
} // namespace pq::gedcom
