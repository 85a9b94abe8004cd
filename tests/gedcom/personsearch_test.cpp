// Finding a person as the user types: the start of any word of any name, accents and case,
// cross-references, the list's order and count, the list model, and the resolution of a typed
// text, which must agree with the command-line tool's choice.

#include "gedcom/pedigree.h"
#include "gedcom/personlistmodel.h"
#include "gedcom/personsearch.h"

#include <climits>
#include <gtest/gtest.h>
#include <tuple>

namespace pq::gedcom {
namespace {

// Two Ada Kings (born 1852 and 1815, in that order in the file), a married name, accents, a
// surname written first whose whole name sorts after a longer one, a name made of its pieces,
// and two people without a name.
const char* const kPeople = R"(0 HEAD
1 CHAR UTF-8
0 @I1@ INDI
1 NAME Ada /King/
1 BIRT
2 DATE 1852
0 @I2@ INDI
1 NAME Ada /King/
1 BIRT
2 DATE 12 MAR 1815
1 DEAT
2 DATE 1852
0 @I3@ INDI
1 NAME Augusta Ada /Kingsley/
0 @I4@ INDI
1 NAME Eve /Ash/
1 NAME Eve /Vance/
2 TYPE married
0 @I5@ INDI
1 NAME Zoë Renée /Müller/
0 @I6@ INDI
1 NAME /Kovács/ Bálint
0 @I7@ INDI
1 NAME Bálint /Kovácsi/
0 @I10@ INDI
1 NAME Ida /Ash/
0 @I11@ INDI
1 SEX M
0 @I12@ INDI
1 NAME //
0 @I13@ INDI
1 NAME
2 GIVN Olive
2 SURN Piece
0 TRLR
)";

class PersonSearchTest : public ::testing::Test {
protected:
    std::unique_ptr<FamilyFile> file = readFamilyFile(QByteArray(kPeople));
    PersonSearch search{*file};

    std::int32_t person(const char* xref) const { return file->personByXref(xref); }
    // The cross-references of the matches, in the list's order.
    std::vector<std::string> found(const char* typed, int limit = 50,
                                   std::size_t* total = nullptr) const {
        std::vector<std::string> xrefs;
        for (const PersonMatch& m : search.find(QString::fromUtf8(typed), limit, total))
            xrefs.emplace_back(file->people()[m.person].xref);
        return xrefs;
    }
    using Xrefs = std::vector<std::string>;
};

TEST_F(PersonSearchTest, EveryTypedWordStartsAWordOfTheSameName) {
    ASSERT_TRUE(search.isComplete());
    EXPECT_EQ(found("ada"), (Xrefs{"I2", "I1", "I3"})) << "a middle name counts";
    EXPECT_EQ(found("king"), (Xrefs{"I2", "I1", "I3"})) << "a word's start: Kingsley";
    EXPECT_EQ(found("kingsl"), (Xrefs{"I3"}));
    EXPECT_EQ(found("au ki"), (Xrefs{"I3"}));
    EXPECT_EQ(found("ki au"), (Xrefs{"I3"})) << "typed words in any order";
    EXPECT_EQ(found("ada kingx"), Xrefs{});
    EXPECT_EQ(found("vance"), (Xrefs{"I4"})) << "a married name (a later NAME line)";
    EXPECT_EQ(found("eve va"), (Xrefs{"I4"}));
    EXPECT_EQ(found("ash"), (Xrefs{"I4", "I10"}));
    EXPECT_EQ(found("ash vance"), Xrefs{}) << "the words must belong to one name";
    EXPECT_EQ(found("bal kovacs"), (Xrefs{"I7", "I6"})) << "the surname written first";
    EXPECT_EQ(found("olive pie"), (Xrefs{"I13"})) << "a name made of GIVN and SURN";
    EXPECT_EQ(found("  "), Xrefs{});
    EXPECT_EQ(found("/King/"), (Xrefs{"I2", "I1", "I3"})) << "slashes typed are ignored";
}

TEST_F(PersonSearchTest, CaseAndAccentsIgnoredAsTheToolMatches) {
    for (const char* typed : {"zoe mul", "ZOË MÜL", "Zoe Renee Muller", "renée", "müller"})
        EXPECT_EQ(found(typed), (Xrefs{"I5"})) << typed;
    EXPECT_EQ(found("kovacs balint"), (Xrefs{"I6", "I7"}));
    EXPECT_EQ(found("mueller"), Xrefs{}) << "folded as the tool folds, no spelling rules";
}

TEST_F(PersonSearchTest, CrossReferencesWithOrWithoutAtSignsInAnyCase) {
    for (const char* typed : {"I4", "i4", "@I4@", "@i4@", " @I4@ "})
        EXPECT_EQ(found(typed), (Xrefs{"I4"})) << typed;
    EXPECT_EQ(found("I1"), (Xrefs{"I1", "I10", "I13", "I11", "I12"}))
        << "the exact cross-reference first, then those it starts, by name; no name last";
    EXPECT_EQ(found("@I"),
              (Xrefs{"I2", "I1", "I3", "I7", "I4", "I10", "I6", "I13", "I5", "I11", "I12"}))
        << "a text starting with @ lists the cross-references it starts";
    EXPECT_EQ(found("I99"), Xrefs{});
    EXPECT_EQ(found("ida"), (Xrefs{"I10"})) << "a name without a digit is no cross-reference";
}

TEST_F(PersonSearchTest, WholeNamesFirstThenByNameAndBirthAndTheCount) {
    // Kovács Bálint's whole name comes before Bálint Kovácsi, whose name sorts first; the two
    // Ada Kings come by year of birth, not as the file has them.
    EXPECT_EQ(found("kovacs balint"), (Xrefs{"I6", "I7"}));
    EXPECT_EQ(found("balint"), (Xrefs{"I7", "I6"}));
    EXPECT_EQ(found("ada king"), (Xrefs{"I2", "I1", "I3"}));
    EXPECT_EQ(found("augusta ada kingsley"), (Xrefs{"I3"}));

    std::size_t total = 0;
    EXPECT_EQ(found("a", 2, &total), (Xrefs{"I2", "I1"}));
    EXPECT_EQ(total, 5u) << "the Adas, Augusta and the two Ashes";
    EXPECT_TRUE(found("ada", 0, &total).empty());
    EXPECT_EQ(total, 3u);
    found("nobody", 5, &total);
    EXPECT_EQ(total, 0u);

    const auto catos = readFamilyFile("0 HEAD\n0 @C1@ INDI\n1 NAME Cato\n0 @C2@ INDI\n1 NAME Cato\n"
                                      "1 BIRT\n2 DATE 10\n0 @C3@ INDI\n1 NAME Cato\n1 BIRT\n"
                                      "2 DATE 44 BC\n0 TRLR\n");
    std::vector<std::int32_t> byBirth;
    for (const PersonMatch& m : PersonSearch(*catos).find(u"cato", 3))
        byBirth.push_back(m.person);
    EXPECT_EQ(byBirth, (std::vector<std::int32_t>{2, 1, 0})) << "44 BC, AD 10, unknown";

    const auto matches = search.find(u"ada king", 1);
    ASSERT_EQ(matches.size(), 1u);
    EXPECT_EQ(matches[0].display, describePerson(*file, person("I2")));
    EXPECT_EQ(matches[0].display, QStringLiteral("@I2@ Ada King (1815–1852)"));
    EXPECT_EQ(matches[0].name, QStringLiteral("Ada King"));
}

// The order against one worked out here from the names' words: whole names first, then word
// by word, then by year of birth (unknown last), then as the file has them; also when the
// list is cut inside a group of people of the same name.
TEST(PersonSearch, OrderOfManyAlikeNames) {
    const char* const given[] = {"Ada", "Ada Mary", "Ada Maryanne", "Bo Ada", "Ada Mary Jo"};
    const char* const surnames[] = {"King", "Bo", "Kingsley", ""};
    struct Person {
        QStringList words;
        int born;
        std::int32_t index;
    };
    std::vector<Person> people;
    QByteArray text = "0 HEAD\n";
    for (int i = 0; i < 300; ++i) {
        const QString name =
            QStringLiteral("%1 /%2/").arg(QLatin1String(given[i % std::size(given)]),
                                          QLatin1String(surnames[(i / 5) % std::size(surnames)]));
        const int born = i % 9 == 0 ? INT_MAX : 1700 + (i * 37) % 200;
        text += QStringLiteral("0 @I%1@ INDI\n1 NAME %2\n").arg(i).arg(name).toUtf8();
        if (born != INT_MAX)
            text += QStringLiteral("1 BIRT\n2 DATE %1\n").arg(born).toUtf8();
        const QString plain = name.toLower().remove(QLatin1Char('/'));
        people.push_back({plain.split(QLatin1Char(' '), Qt::SkipEmptyParts), born, i});
    }
    const auto file = readFamilyFile(text + "0 TRLR\n");
    const PersonSearch search(*file);
    for (const QString& typed : {QStringLiteral("ad"), QStringLiteral("bo ada")}) {
        const QStringList typedWords = typed.split(QLatin1Char(' '));
        std::vector<Person> expected;
        std::copy_if(
            people.begin(), people.end(), std::back_inserter(expected), [&](const Person& p) {
                return std::all_of(typedWords.begin(), typedWords.end(), [&](const QString& t) {
                    return std::any_of(p.words.begin(), p.words.end(),
                                       [&](const QString& w) { return w.startsWith(t); });
                });
            });
        std::sort(expected.begin(), expected.end(), [&](const Person& a, const Person& b) {
            return std::tuple(a.words != typedWords, a.words, a.born, a.index) <
                   std::tuple(b.words != typedWords, b.words, b.born, b.index);
        });
        for (const int limit : {300, 70, 13}) {
            std::vector<std::int32_t> want, got;
            for (std::size_t i = 0; i < expected.size() && i < std::size_t(limit); ++i)
                want.push_back(expected[i].index);
            for (const PersonMatch& m : search.find(typed, limit))
                got.push_back(m.person);
            EXPECT_EQ(got, want) << typed.toStdString() << " " << limit;
        }
    }
}

// Many people of a surname, some of a longer one that it starts.
std::unique_ptr<FamilyFile> manyPeople(int count) {
    QByteArray text = "0 HEAD\n";
    for (int i = 0; i < count; ++i)
        text += QStringLiteral("0 @I%1@ INDI\n1 NAME Person%2 /%3/\n")
                    .arg(i)
                    .arg(i % 50)
                    .arg(QLatin1String(i % 3 == 0   ? "Orrow"
                                       : i % 3 == 1 ? "Orr"
                                                    : "Smith"))
                    .toUtf8();
    return readFamilyFile(text + "0 TRLR\n");
}

TEST(PersonSearch, ThreeLettersOfASurnameListEveryoneOfIt) {
    const auto file = manyPeople(3000);
    const PersonSearch search(*file);
    std::size_t total = 0;
    EXPECT_EQ(search.find(u"Orr", 50, &total).size(), 50u);
    EXPECT_EQ(total, 2000u);
    EXPECT_EQ(search.find(u"orro", 5000, &total).size(), 1000u);
    EXPECT_EQ(total, 1000u);
    EXPECT_EQ(search.find(u"person7 orro", 5000, &total).size(), 20u) << "one in 150";
}

TEST_F(PersonSearchTest, ResolutionAgreesWithTheToolsChoice) {
    const auto check = [&](const char* typed, Resolution::Outcome outcome) -> Resolution {
        const Resolution r = search.resolve(QString::fromUtf8(typed));
        const PersonChoice tool = choosePerson(*file, QString::fromUtf8(typed));
        EXPECT_EQ(r.outcome, outcome) << typed;
        EXPECT_EQ(r.person, tool.person) << typed;
        EXPECT_EQ(r.candidates.size(), tool.candidates.size()) << typed;
        for (std::size_t i = 0; i < std::min(r.candidates.size(), tool.candidates.size()); ++i)
            EXPECT_EQ(r.candidates[i].display, describePerson(*file, tool.candidates[i]));
        return r;
    };
    EXPECT_EQ(check("augusta ada kingsley", Resolution::Outcome::One).person, person("I3"));
    EXPECT_EQ(check("zoe muller", Resolution::Outcome::One).person, person("I5"));
    EXPECT_EQ(check("Eve Vance", Resolution::Outcome::One).person, person("I4"));
    EXPECT_EQ(check("@I2@", Resolution::Outcome::One).person, person("I2"));
    EXPECT_EQ(check("i4", Resolution::Outcome::One).person, person("I4"));
    const Resolution twoAdas = check("Ada King", Resolution::Outcome::Several);
    EXPECT_EQ(twoAdas.total, 2u);
    check("Nobody Known", Resolution::Outcome::None);
    EXPECT_EQ(check("Ada Nobody", Resolution::Outcome::None).total, 3u)
        << "near misses to show: the Adas";
    check("@I99@", Resolution::Outcome::None);
}

// Every kind of typed name over a file of many alike names: the index only narrows the names
// the tool's choice reads, so the outcome, the count and the candidates are the tool's.
TEST(PersonSearch, ResolutionIsTheToolsChoiceOverManyNames) {
    const char* const given[] = {"Ada", "Ada Mary", "Mary", "Zoë", "Jan Olof", "Olof"};
    const char* const surnames[] = {"King", "Müller", "van der Berg", "Kingsley", "Orr"};
    QByteArray text = "0 HEAD\n1 CHAR UTF-8\n";
    for (int i = 0; i < 400; ++i) {
        const char* g = given[i % std::size(given)];
        const char* sn = surnames[(i / 7) % std::size(surnames)];
        const QString name = i % 11 == 0   ? QStringLiteral("/%2/ %1")
                             : i % 13 == 0 ? QStringLiteral("%1 %2")
                                           : QStringLiteral("%1 /%2/");
        text += QStringLiteral("0 @I%1@ INDI\n1 NAME %2\n")
                    .arg(i)
                    .arg(name.arg(QString::fromUtf8(g), QString::fromUtf8(sn)))
                    .toUtf8();
        if (i % 5 == 0)
            text +=
                QStringLiteral("1 NAME %1 /Wed%2/\n").arg(QString::fromUtf8(g)).arg(i % 3).toUtf8();
    }
    const auto file = readFamilyFile(text + "0 TRLR\n");
    const PersonSearch search(*file);
    for (const char* typed :
         {"Ada King", "ada mary king", "Mary King", "zoe muller", "King", "Olof van der Berg",
          "jan berg", "Ada Wed1", "Jan Olof Wed2", "Orr Ada", "Ada", "Ada Kin", "nobody", "@I17@",
          "@I400@", "Olof King Kingsley", "van", ""}) {
        const Resolution r = search.resolve(QString::fromUtf8(typed));
        const PersonChoice tool = choosePerson(*file, QString::fromUtf8(typed));
        EXPECT_EQ(r.person, tool.person) << typed;
        EXPECT_EQ(r.total, tool.person >= 0 ? 1 : tool.pool) << typed;
        std::vector<std::int32_t> candidates;
        for (const PersonMatch& m : r.candidates)
            candidates.push_back(m.person);
        EXPECT_EQ(candidates, tool.candidates) << typed;
    }
}

TEST_F(PersonSearchTest, CancelledBuildFindsNobodyButStillResolves) {
    const std::atomic<bool> cancel{true};
    const PersonSearch cancelled(*file, &cancel);
    EXPECT_FALSE(cancelled.isComplete());
    std::size_t total = 9;
    EXPECT_TRUE(cancelled.find(u"ada", 10, &total).empty());
    EXPECT_EQ(total, 0u);
    EXPECT_TRUE(cancelled.find(u"I4", 10).empty());
    EXPECT_EQ(cancelled.resolve(u"@I4@").person, person("I4"));
    EXPECT_LT(cancelled.memoryBytes(), search.memoryBytes());
}

TEST_F(PersonSearchTest, ListModelShowsTheMatchesAndHowManyMore) {
    PersonListModel model;
    model.setText(u"ada");
    EXPECT_EQ(model.rowCount(), 0) << "no family file open";
    model.setSearch(&search);
    model.setText(u"ada");
    ASSERT_EQ(model.rowCount(), 3) << "no \"more\" row when all are shown";
    const QModelIndex first = model.index(0);
    EXPECT_EQ(model.data(first).toString(), QStringLiteral("@I2@ Ada King (1815–1852)"));
    EXPECT_EQ(model.data(first, Qt::EditRole).toString(), QStringLiteral("Ada King"));
    EXPECT_EQ(model.data(first, PersonListModel::PersonRole).toInt(), person("I2"));
    EXPECT_EQ(model.data(first, PersonListModel::XrefRole).toString(), QStringLiteral("@I2@"));
    EXPECT_TRUE(model.flags(first) & Qt::ItemIsSelectable);

    const auto many = manyPeople(3000);
    const PersonSearch manySearch(*many);
    model.setSearch(&manySearch);
    model.setText(u"orr");
    ASSERT_EQ(model.rowCount(), PersonListModel::kShown + 1);
    EXPECT_EQ(model.total(), 2000u);
    const QModelIndex more = model.index(PersonListModel::kShown);
    EXPECT_EQ(model.data(more).toString(),
              QStringLiteral("… and %1 more").arg(2000 - PersonListModel::kShown));
    EXPECT_EQ(model.data(more, PersonListModel::PersonRole).toInt(), -1);
    EXPECT_FALSE(model.flags(more) & (Qt::ItemIsSelectable | Qt::ItemIsEnabled));
    model.setSearch(nullptr);
    EXPECT_EQ(model.rowCount(), 0);
}

} // namespace
} // namespace pq::gedcom
