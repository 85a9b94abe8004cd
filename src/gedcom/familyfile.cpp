#include "familyfile.h"

#include "base/failure.h"

#include <QByteArrayView>
#include <QRandomGenerator>
#include <algorithm>
#include <optional>
#include <unordered_set>

namespace pq::gedcom {

// ---- XrefIndex ----

namespace {

// A salt drawn once per process, so that a file cannot be made to pile its cross-references
// onto one slot.
const std::uint64_t kSalt = QRandomGenerator::system()->generate64();

} // namespace

std::uint32_t XrefIndex::hashOf(std::string_view key) {
    std::uint64_t h = 14695981039346656037ull ^ kSalt; // FNV-1a
    for (const char c : key)
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    // Cross-references differ in their last digits: mix those into the low bits that pick the
    // slot.
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    return static_cast<std::uint32_t>(h ^ (h >> 33));
}

void XrefIndex::grow() {
    LargeVector<Slot> old = std::move(mSlots);
    mSlots.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
    const std::size_t mask = mSlots.size() - 1;
    for (const Slot& s : old) { // the keys are all different: each takes the first free slot
        if (s.value < 0)
            continue;
        std::size_t i = s.hash & mask;
        while (mSlots[i].value >= 0)
            i = (i + 1) & mask;
        mSlots[i] = s;
    }
}

// ---- reading ----

namespace {

enum class Pedigree : std::uint8_t { Birth, Unstated, Other }; // in order of preference

struct ParentLink { // FAMC
    std::int32_t person;
    std::string_view family;
    std::uint32_t line;
    Pedigree pedigree = Pedigree::Unstated;
};

struct ChildLink { // CHIL
    std::int32_t family;
    std::string_view person;
    std::uint32_t line;
};

struct SpouseLinks { // HUSB and WIFE, as written
    std::string_view husband, wife;
    std::uint32_t husbandLine = 0, wifeLine = 0;
};

std::optional<Event> eventOf(std::uint32_t code) {
    switch (code) {
    case tagCode("BIRT"):
        return Event::Birth;
    case tagCode("CHR"):
        return Event::Christening;
    case tagCode("BAPM"):
        return Event::Baptism;
    case tagCode("DEAT"):
        return Event::Death;
    case tagCode("BURI"):
        return Event::Burial;
    default:
        return std::nullopt;
    }
}

// Whether a NAME value is without a name: empty, or only slashes and blanks.
bool holdsNoName(std::string_view value) {
    return value.find_first_not_of(" \t/") == std::string_view::npos;
}

int pieceOf(std::uint32_t code) {
    switch (code) {
    case tagCode("NPFX"):
        return NamePieces::Prefix;
    case tagCode("GIVN"):
        return NamePieces::Given;
    case tagCode("NICK"):
        return NamePieces::Nickname;
    case tagCode("SPFX"):
        return NamePieces::SurnamePrefix;
    case tagCode("SURN"):
        return NamePieces::Surname;
    case tagCode("NSFX"):
        return NamePieces::Suffix;
    default:
        return -1;
    }
}

QString quoted(std::string_view s) {
    return QLatin1Char('"') +
           QString::fromUtf8(s.data(), qsizetype(std::min<std::size_t>(s.size(), 24))) +
           (s.size() > 24 ? QStringLiteral("...\"") : QStringLiteral("\""));
}

} // namespace

QString notBeginningWithHead() {
    return QStringLiteral("this is not a family-tree (GEDCOM) file: it does not begin with "
                          "\"0 HEAD\"");
}

QString pointer(std::string_view xref) {
    return QLatin1Char('@') + QString::fromUtf8(xref.data(), qsizetype(xref.size())) +
           QLatin1Char('@');
}

class FileBuilder {
public:
    explicit FileBuilder(FamilyFile& file)
        : f(file), w(file.mWarnings), reader(*file.mSource, file.mWarnings) {}

    void build() {
        readRecords();
        resolveSpouses();
        resolveParents();
    }

private:
    enum class Record { Other, Person, Family };
    enum class Context { Other, Event, ParentFamily, NamePieces, Adoption };

    void readRecords() {
        Line line;
        bool first = true;
        bool trailer = false;
        std::uint32_t lastLine = 0;
        while (!trailer && reader.next(line)) {
            if (first)
                checkHeader(line);
            first = false;
            lastLine = line.number;
            switch (line.level) {
            case 0:
                trailer = line.code == tagCode("TRLR");
                startRecord(line);
                break;
            case 1:
                if (record == Record::Person)
                    personFact(line);
                else if (record == Record::Family)
                    familyFact(line);
                break;
            case 2:
                if (record == Record::Person)
                    personDetail(line);
                break;
            default:
                break;
            }
        }
        if (first)
            throw FormatFailure(std::max(reader.firstTextLine(), 1u),
                                QStringLiteral("this is not a family-tree (GEDCOM) file: it has "
                                               "no lines with a level and a tag"));
        if (!trailer)
            w.add(lastLine, [] {
                return QStringLiteral("the file ends without its closing line \"0 TRLR\": it "
                                      "may be cut short; what could be read is used");
            });
    }

    void checkHeader(const Line& line) {
        if (line.level == 0 && line.code == tagCode("HEAD") &&
            line.number == reader.firstTextLine())
            return;
        throw FormatFailure(reader.firstTextLine(), notBeginningWithHead());
    }

    void startRecord(const Line& line) {
        record = Record::Other;
        context = Context::Other;
        const bool isPerson = line.code == tagCode("INDI");
        if (!isPerson && line.code != tagCode("FAM"))
            return;
        if (line.xref.empty()) {
            w.add(line.number, [&] {
                return QStringLiteral("a %1 record without a cross-reference cannot be linked "
                                      "to; it is ignored")
                    .arg(QString::fromLatin1(line.tag.data(), qsizetype(line.tag.size())));
            });
            return;
        }
        const auto count =
            static_cast<std::int32_t>(isPerson ? f.mPeople.size() : f.mFamilies.size());
        const std::int32_t earlier =
            isPerson ? f.mPersonIndex.insert(line.xref, count, XrefOf<Person>{&f.mPeople})
                     : f.mFamilyIndex.insert(line.xref, count, XrefOf<Family>{&f.mFamilies});
        if (earlier >= 0) {
            const std::uint32_t first =
                isPerson ? f.mPeople[earlier].line : f.mFamilies[earlier].line;
            w.add(line.number, [&] {
                return QStringLiteral("%1 is defined again (first at line %2); this record is "
                                      "ignored")
                    .arg(pointer(line.xref))
                    .arg(first);
            });
            return;
        }
        current = count;
        if (isPerson) {
            f.mPeople.push_back(Person{line.xref, line.number, {}, -1, {}, -1});
            record = Record::Person;
        } else {
            f.mFamilies.push_back(Family{line.xref, line.number, -1, -1});
            spouses.emplace_back();
            record = Record::Family;
        }
    }

    // The record named by a pointer value ("@F1@"); an empty view for a null pointer.
    std::optional<std::string_view> pointerValue(const Line& line) {
        const std::string_view v = trimmed(line.value);
        if (v.size() >= 3 && v.front() == '@' && v.back() == '@' &&
            v.substr(1, v.size() - 2).find('@') == std::string_view::npos)
            return v == "@VOID@" ? std::string_view() : v.substr(1, v.size() - 2);
        w.add(line.number, [&] {
            return QStringLiteral("%1 should point to a record, like @F1@, not %2; the line is "
                                  "ignored")
                .arg(QString::fromLatin1(line.tag.data(), qsizetype(line.tag.size())), quoted(v));
        });
        return std::nullopt;
    }

    void personFact(const Line& line) {
        context = Context::Other;
        Person& p = f.mPeople[current];
        if (line.code == tagCode("NAME")) {
            std::int32_t* pieces = &p.namePieces;
            if (!p.name.isSet() || namesNobody(p)) { // a first NAME without a name gives way
                p.name = f.mSource->ref(line);
                p.namePieces = -1;
            } else {
                f.mOtherNames.push_back({current, f.mSource->ref(line)});
                pieces = &f.mOtherNames.back().namePieces;
            }
            if (holdsNoName(line.value)) { // the pieces under it make the name
                *pieces = static_cast<std::int32_t>(f.mNamePieces.size());
                f.mNamePieces.emplace_back();
                context = Context::NamePieces;
            }
        } else if (line.code == tagCode("ADOP")) {
            context = Context::Adoption;
        } else if (const auto e = eventOf(line.code)) {
            context = Context::Event;
            event = *e;
        } else if (line.code == tagCode("FAMC")) {
            if (const auto target = pointerValue(line); target && !target->empty()) {
                parentLinks.push_back({current, *target, line.number});
                context = Context::ParentFamily;
            }
        }
    }

    // Whether the person's NAME holds nothing but slashes and has no name pieces under it.
    bool namesNobody(const Person& p) const {
        if (p.name.continued() ||
            !holdsNoName(f.mSource->bytes().substr(p.name.begin, p.name.size)))
            return false;
        if (p.namePieces < 0)
            return true;
        const auto& pieces = f.mNamePieces[static_cast<std::size_t>(p.namePieces)].pieces;
        return std::none_of(pieces.begin(), pieces.end(),
                            [](const TextRef& piece) { return piece.isSet(); });
    }

    void personDetail(const Line& line) {
        Person& p = f.mPeople[current];
        if (context == Context::Event && line.code == tagCode("DATE")) {
            TextRef& date = p.dates[static_cast<int>(event)];
            if (!date.isSet() && !trimmed(line.value).empty())
                date = f.mSource->ref(line);
        } else if (context == Context::NamePieces) {
            if (const int piece = pieceOf(line.code); piece >= 0) {
                TextRef& ref = f.mNamePieces.back().pieces[piece];
                if (!ref.isSet() && !trimmed(line.value).empty())
                    ref = f.mSource->ref(line);
            }
        } else if (context == Context::Adoption && line.code == tagCode("FAMC")) {
            if (const auto target = pointerValue(line); target && !target->empty())
                adoptions.push_back({current, *target, line.number});
        } else if (context == Context::ParentFamily && line.code == tagCode("PEDI")) {
            const std::string_view v = trimmed(line.value);
            const bool birth = QByteArrayView(v).compare("birth", Qt::CaseInsensitive) == 0;
            parentLinks.back().pedigree = v.empty() ? Pedigree::Unstated
                                          : birth   ? Pedigree::Birth
                                                    : Pedigree::Other;
        }
    }

    void familyFact(const Line& line) {
        const bool husband = line.code == tagCode("HUSB");
        if (husband || line.code == tagCode("WIFE")) {
            const auto target = pointerValue(line);
            if (!target || target->empty())
                return;
            SpouseLinks& s = spouses[current];
            std::string_view& slot = husband ? s.husband : s.wife;
            if (!slot.empty()) {
                w.add(line.number, [&] {
                    return QStringLiteral("a second %1 in family %2 is ignored")
                        .arg(QLatin1String(husband ? "HUSB" : "WIFE"),
                             pointer(f.mFamilies[current].xref));
                });
                return;
            }
            slot = *target;
            (husband ? s.husbandLine : s.wifeLine) = line.number;
        } else if (line.code == tagCode("CHIL")) {
            if (const auto target = pointerValue(line); target && !target->empty())
                childLinks.push_back({current, *target, line.number});
        }
    }

    enum class Kind { Person, Family };
    std::int32_t resolve(Kind kind, std::string_view xref, std::uint32_t line) {
        const std::int32_t found =
            kind == Kind::Person ? f.personByXref(xref) : f.familyByXref(xref);
        if (found < 0)
            w.add(line, [&] {
                return QStringLiteral("%1 names no %2 in the file; the link is ignored")
                    .arg(pointer(xref), QLatin1String(kind == Kind::Person ? "person" : "family"));
            });
        return found;
    }

    void resolveSpouses() {
        for (std::size_t i = 0; i < spouses.size(); ++i) {
            const SpouseLinks& s = spouses[i];
            if (!s.husband.empty())
                f.mFamilies[i].husband = resolve(Kind::Person, s.husband, s.husbandLine);
            if (!s.wife.empty())
                f.mFamilies[i].wife = resolve(Kind::Person, s.wife, s.wifeLine);
        }
    }

    // The families a child's ADOP event names: adoptive, as a pedigree line "adopted" says.
    std::unordered_set<std::uint64_t> adoptiveFamilies() {
        std::unordered_set<std::uint64_t> adoptive;
        for (const ParentLink& link : adoptions)
            if (const std::int32_t family = resolve(Kind::Family, link.family, link.line);
                family >= 0)
                adoptive.insert(childOf(link.person, family));
        return adoptive;
    }
    static std::uint64_t childOf(std::int32_t person, std::int32_t family) {
        return std::uint64_t(std::uint32_t(person)) << 32 | std::uint32_t(family);
    }

    // The parents' family: the one a pedigree line calls the birth family, else the first
    // without a pedigree line or adoption, else the first listed. A person no FAMC line links
    // to a family takes the first family that lists them as a child, one that adopted them
    // only when no other does.
    void resolveParents() {
        constexpr std::uint8_t kNoLink = 0xFF, kUnresolved = 0xFE;
        const std::unordered_set<std::uint64_t> adoptive = adoptiveFamilies();
        std::vector<std::uint8_t> rank(f.mPeople.size(), kNoLink);
        for (const ParentLink& link : parentLinks) {
            std::uint8_t& r = rank[link.person];
            const std::int32_t family = resolve(Kind::Family, link.family, link.line);
            if (family < 0) {
                r = std::min(r, kUnresolved);
                continue;
            }
            Pedigree pedigree = link.pedigree;
            if (pedigree == Pedigree::Unstated && adoptive.contains(childOf(link.person, family)))
                pedigree = Pedigree::Other;
            if (static_cast<std::uint8_t>(pedigree) < r) {
                r = static_cast<std::uint8_t>(pedigree);
                f.mPeople[link.person].parentFamily = family;
            }
        }
        std::vector<bool> adoptiveOnly(f.mPeople.size(), false);
        for (const ChildLink& link : childLinks) {
            const std::int32_t person = resolve(Kind::Person, link.person, link.line);
            if (person < 0 || rank[person] != kNoLink)
                continue;
            const bool adopted = adoptive.contains(childOf(person, link.family));
            Person& p = f.mPeople[person];
            if (p.parentFamily < 0 || (adoptiveOnly[person] && !adopted)) {
                p.parentFamily = link.family;
                adoptiveOnly[person] = adopted;
            }
        }
    }

    FamilyFile& f;
    Warnings& w;
    LineReader reader;
    Record record = Record::Other;
    Context context = Context::Other;
    Event event = Event::Birth;
    std::int32_t current = -1;
    std::vector<ParentLink> parentLinks;
    std::vector<ParentLink> adoptions; // FAMC under ADOP
    std::vector<ChildLink> childLinks;
    std::vector<SpouseLinks> spouses;
};

FamilyFile::FamilyFile(QByteArray bytes) : mSource(std::make_unique<Source>(std::move(bytes))) {
    mWarnings.absorb(mSource->warnings());
    FileBuilder(*this).build();
}

std::unique_ptr<FamilyFile> readFamilyFile(QByteArray bytes) {
    return std::make_unique<FamilyFile>(std::move(bytes));
}

} // namespace pq::gedcom
