#pragma once

// A deterministic, realistic family-tree (GEDCOM 5.5.1, UTF-8) file for the benchmarks and
// the screenshots: a population followed from about 1600, generation by generation, couples
// formed at random within each generation, two to three children a couple on average, with
// births, christenings, deaths, burials, places, occupations, sources and notes that run over
// CONC and CONT lines. Some mothers and some parents are unknown, as in real research. The
// last person is "Tamsin /Orrow/", whose ancestors reach back through every generation.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace pq::bench {

struct SampleTree {
    std::string text;
    std::string rootXref; // "@I100000@"
    std::string rootName; // "Tamsin Orrow"
    int generations = 0;
};

namespace sample {

class Random { // splitmix64: the same file on every machine
public:
    explicit Random(std::uint64_t seed) : mState(seed) {}
    std::uint64_t next() {
        std::uint64_t z = (mState += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    bool chance(int percent) { return below(100) < percent; }
    template<class T, std::size_t N> const T& pick(const T (&list)[N]) { return list[below(N)]; }

private:
    std::uint64_t mState;
};

inline const char* const kMale[] = {
    "John",   "William", "Thomas", "James",  "George",    "Henry",    "Charles", "Edward",
    "Robert", "Richard", "Samuel", "Joseph", "Ægidius",   "José",     "Søren",   "Zoltán",
    "Pieter", "Johann",  "Karl",   "Lars",   "Mikołaj",   "Fañch",    "Íñigo",   "Olof",
    "Hugh",   "Walter",  "Arthur", "Albert", "Frederick", "Matthias", "Jan",     "Erik"};
inline const char* const kFemale[] = {
    "Mary",   "Elizabeth", "Anne",    "Sarah",  "Margaret", "Jane",    "Catherine", "Alice",
    "Ellen",  "Hannah",    "Emma",    "Agnes",  "Zoë",      "Renée",   "Åsa",       "Chloë",
    "Łucja",  "Maria",     "Johanna", "Ingrid", "Brigitte", "Dörte",   "Inês",      "Ada",
    "Louisa", "Harriet",   "Martha",  "Ruth",   "Susanna",  "Frances", "Matilda",   "Grete"};
inline const char* const kSurnames[] = {
    "Smith",      "Taylor",      "Brown",     "Wilson",   "Walker",   "Wright",      "Hughes",
    "Edwards",    "Green",       "Hall",      "Wood",     "Harris",   "Clarke",      "Jackson",
    "Turner",     "Hill",        "Moore",     "Cooper",   "Ward",     "Morris",      "King",
    "Baker",      "Carter",      "Phillips",  "Müller",   "Sørensen", "Łukasiewicz", "Håkansson",
    "Ó Briain",   "Dvořák",      "García",    "Núñez",    "Ångström", "de la Cruz",  "van der Berg",
    "Fitzgerald", "Pennock",     "Trevethan", "Quill",    "Marrable", "Ashdown",     "Colquhoun",
    "Lindqvist",  "Kowalczyk",   "Bianchi",   "Rossi",    "Dubois",   "Lefèvre",     "Schäfer",
    "Novák",      "Jansen",      "de Vries",  "Petersen", "Haugland", "Penrose",     "Tremayne",
    "Oakes",      "Fairweather", "Blackmore", "Holloway"};
inline const char* const kPlaces[] = {"Bodmin, Cornwall, England",
                                      "Truro, Cornwall, England",
                                      "York, Yorkshire, England",
                                      "Leeds, Yorkshire, England",
                                      "Aarhus, Denmark",
                                      "Uppsala, Sweden",
                                      "Kraków, Poland",
                                      "Brno, Moravia",
                                      "Galway, Ireland",
                                      "Sevilla, Spain",
                                      "Lyon, France",
                                      "Utrecht, Netherlands",
                                      "Bergen, Norway",
                                      "Dresden, Saxony",
                                      "Edinburgh, Scotland",
                                      "Boston, Massachusetts, USA",
                                      "Quebec, Canada",
                                      "Ballarat, Victoria, Australia"};
inline const char* const kOccupations[] = {"Farmer",     "Labourer",  "Weaver",  "Miner",
                                           "Blacksmith", "Carpenter", "Mariner", "Schoolteacher",
                                           "Servant",    "Miller",    "Clerk",   "Innkeeper"};
inline const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                      "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
inline const char* const kWords[] = {
    "baptised",  "in",        "the",     "parish",   "church", "of",      "according", "to",
    "register",  "entry",     "witness", "recorded", "family", "bible",   "letter",    "from",
    "cousin",    "emigrated", "with",    "his",      "her",    "brother", "census",    "shows",
    "household", "living",    "near",    "mill",     "farm",   "estate",  "will",      "proved"};

struct Person {
    bool male;
    int born;
    int parents = -1; // family
    int given, surname;
    std::vector<int> spouseIn;
};
struct Family {
    int husband, wife; // wife -1: the mother is unknown
    int married;
    std::vector<int> children;
};

inline void date(std::string& out, Random& r, int year) {
    const int form = r.below(100);
    if (form < 8)
        out += "ABT ";
    else if (form < 10)
        out += "BEF ";
    else if (form < 12)
        out += "AFT ";
    else if (form < 13) {
        out += "BET " + std::to_string(year) + " AND " + std::to_string(year + 2);
        return;
    }
    if (form >= 12 && form < 80)
        out += std::to_string(1 + r.below(28)) + " ";
    if (form >= 12 && form < 90)
        out += std::string(r.pick(kMonths)) + " ";
    out += std::to_string(year);
}

inline void event(std::string& out, Random& r, const char* tag, int year) {
    out += "1 ";
    out += tag;
    out += "\n2 DATE ";
    date(out, r, year);
    out += '\n';
    if (r.chance(75)) {
        out += "2 PLAC ";
        out += r.pick(kPlaces);
        out += '\n';
    }
}

// A note of a few sentences, cut into lines of at most 60 characters by CONC (inside words,
// as many programs do) with a paragraph break by CONT.
inline void note(std::string& out, Random& r) {
    std::string text;
    const int words = 20 + r.below(40);
    for (int i = 0; i < words; ++i)
        text += std::string(i ? " " : "") + r.pick(kWords);
    out += "1 NOTE ";
    for (std::size_t at = 0; at < text.size(); at += 60) {
        if (at)
            out += (at == 120 ? "2 CONT " : "2 CONC ");
        out += text.substr(at, 60);
        out += '\n';
    }
}

inline void writePerson(std::string& out, Random& r, const std::vector<Person>& people,
                        std::size_t i, bool root) {
    const Person& p = people[i];
    const std::string given = root ? "Tamsin" : (p.male ? kMale : kFemale)[p.given];
    const std::string surname = root ? "Orrow" : kSurnames[p.surname];
    out += "0 @I" + std::to_string(i + 1) + "@ INDI\n";
    out += "1 NAME " + given + " /" + surname + "/\n2 GIVN " + given + "\n2 SURN " + surname + '\n';
    out += p.male ? "1 SEX M\n" : "1 SEX F\n";
    event(out, r, "BIRT", p.born);
    if (r.chance(30))
        event(out, r, "CHR", p.born);
    if (p.born < 1930 && r.chance(90)) {
        // Parents live at least until their children are born.
        const int died = p.born + (p.spouseIn.empty() ? 1 + r.below(90) : 45 + r.below(45));
        event(out, r, "DEAT", died);
        if (r.chance(30))
            event(out, r, "BURI", died);
    }
    if (r.chance(25))
        out += std::string("1 OCCU ") + r.pick(kOccupations) + '\n';
    if (r.chance(30))
        out += "1 SOUR @S" + std::to_string(1 + r.below(200)) + "@\n2 PAGE p. " +
               std::to_string(1 + r.below(400)) + '\n';
    if (r.chance(10))
        note(out, r);
    if (p.parents >= 0)
        out += "1 FAMC @F" + std::to_string(p.parents + 1) + "@\n";
    for (const int f : p.spouseIn)
        out += "1 FAMS @F" + std::to_string(f + 1) + "@\n";
}

inline void writeFamily(std::string& out, Random& r, const std::vector<Family>& families,
                        std::size_t i) {
    const Family& f = families[i];
    out += "0 @F" + std::to_string(i + 1) + "@ FAM\n";
    out += "1 HUSB @I" + std::to_string(f.husband + 1) + "@\n";
    if (f.wife >= 0)
        out += "1 WIFE @I" + std::to_string(f.wife + 1) + "@\n";
    event(out, r, "MARR", f.married);
    for (const int c : f.children)
        out += "1 CHIL @I" + std::to_string(c + 1) + "@\n";
}

} // namespace sample

inline SampleTree makeSampleGedcom(int people, std::uint64_t seed = 1) {
    using namespace sample;
    Random r(seed);
    people = std::max(people, 2);
    std::vector<Person> persons;
    std::vector<Family> families;
    persons.reserve(static_cast<std::size_t>(people));
    const auto add = [&](bool male, int born, int parents, int surname) {
        persons.push_back({male, born, parents, r.below(32), surname, {}});
        return static_cast<int>(persons.size() - 1);
    };
    // About thirteen generations whatever the size: each is 15 % larger than the one before,
    // and takes in a few newcomers (of the sex that is fewer), who bring new surnames.
    std::vector<int> cohort;
    for (int i = 0, founders = std::max(8, people / 29); i < founders; ++i)
        cohort.push_back(add(i % 2 == 0, 1600 + r.below(25), -1, r.below(60)));
    int generations = 1;
    bool done = false;
    while (!done) {
        std::vector<int> men, women, next;
        for (const int p : cohort)
            (persons[p].male ? men : women).push_back(p);
        for (std::size_t i = 0, n = std::max<std::size_t>(1, cohort.size() / 40); i < n; ++i) {
            const bool male = men.size() < women.size();
            (male ? men : women).push_back(add(male, persons[cohort[i]].born, -1, r.below(60)));
        }
        for (std::size_t i = men.size(); i > 1; --i) // couples form at random
            std::swap(men[i - 1], men[r.below(static_cast<int>(i))]);
        std::vector<std::pair<int, int>> couples;
        for (std::size_t c = 0; c < std::min(men.size(), women.size()); ++c)
            if (r.chance(92))
                couples.emplace_back(men[c], women[c]);
        const double perCouple = 1.15 * static_cast<double>(cohort.size()) /
                                 static_cast<double>(std::max<std::size_t>(couples.size(), 1));
        for (std::size_t c = 0; c < couples.size() && !done; ++c) {
            const auto [husband, wife] = couples[c];
            const int family = static_cast<int>(families.size());
            const int older = std::max(persons[husband].born, persons[wife].born);
            families.push_back({husband, r.chance(4) ? -1 : wife, older + 20 + r.below(8), {}});
            persons[husband].spouseIn.push_back(family);
            if (families.back().wife >= 0)
                persons[wife].spouseIn.push_back(family);
            const int children = static_cast<int>(perCouple * (0.5 + r.below(101) / 100.0) + 0.5);
            for (int k = 0; k < children && !done; ++k) {
                const bool known = r.chance(98); // otherwise the child's parents are unknown
                const int child = add(r.chance(50), older + 21 + r.below(18), known ? family : -1,
                                      persons[husband].surname);
                if (known)
                    families[family].children.push_back(child);
                next.push_back(child);
                done = static_cast<int>(persons.size()) >= people - 1;
            }
        }
        if (next.empty()) // no children at all: the same people try again
            continue;
        cohort = std::move(next);
        ++generations;
    }
    // The chart's person: a child of the last family whose husband and wife both have known
    // parents, so that every generation lies behind them.
    int lastFamily = static_cast<int>(families.size()) - 1;
    for (int f = lastFamily; f >= 0; --f)
        if (families[f].wife >= 0 && persons[families[f].husband].parents >= 0 &&
            persons[families[f].wife].parents >= 0) {
            lastFamily = f;
            break;
        }
    const int root = add(false, families[lastFamily].married + 2, lastFamily, 0);
    families[lastFamily].children.push_back(root);

    SampleTree tree;
    std::string& out = tree.text;
    out.reserve(static_cast<std::size_t>(people) * 280);
    out += "0 HEAD\n1 SOUR PEDIGRAFA_SAMPLE\n2 NAME Pedigrafa sample tree\n1 DATE 1 JAN 2024\n"
           "1 GEDC\n2 VERS 5.5.1\n2 FORM LINEAGE-LINKED\n1 CHAR UTF-8\n";
    for (int s = 1; s <= 200; ++s)
        out += "0 @S" + std::to_string(s) + "@ SOUR\n1 TITL Parish register of " + r.pick(kPlaces) +
               "\n1 AUTH " + r.pick(kSurnames) + " Record Society\n";
    for (std::size_t i = 0; i < persons.size(); ++i)
        writePerson(out, r, persons, i, static_cast<int>(i) == root);
    for (std::size_t i = 0; i < families.size(); ++i)
        writeFamily(out, r, families, i);
    out += "0 TRLR\n";
    tree.rootXref = "@I" + std::to_string(root + 1) + "@";
    tree.rootName = "Tamsin Orrow";
    tree.generations = generations + 1;
    return tree;
}

} // namespace pq::bench
