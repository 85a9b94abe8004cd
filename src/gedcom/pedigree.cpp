#include "pedigree.h"

#include "dates.h"
#include "names.h"

#include <QByteArrayView>
#include <algorithm>
#include <limits>

namespace pq::gedcom {

namespace {

// The person a typed cross-reference names: "@I12@", "I12" or "@i12@", as the file spells it
// or else in any case, where that names one record; -1 when it names none.
std::int32_t personByTypedXref(const FamilyFile& file, QStringView typed) {
    if (typed.size() > 2 && typed.startsWith(QLatin1Char('@')) && typed.endsWith(QLatin1Char('@')))
        typed = typed.mid(1, typed.size() - 2);
    if (typed.isEmpty() || typed.contains(QLatin1Char('@')) || typed.contains(QLatin1Char(' ')))
        return -1;
    const QByteArray xref = typed.toUtf8();
    if (const std::int32_t exact =
            file.personByXref(std::string_view(xref.constData(), xref.size()));
        exact >= 0)
        return exact;
    std::int32_t found = -1;
    const auto& people = file.people();
    for (std::size_t p = 0; p < people.size(); ++p)
        if (QByteArrayView(people[p].xref).compare(xref, Qt::CaseInsensitive) == 0) {
            if (found >= 0)
                return -1; // two records differ only in case
            found = static_cast<std::int32_t>(p);
        }
    return found;
}

// The first NAME as the chart shows it; empty for a person without one.
QString shownName(const FamilyFile& file, const Person& p) {
    return displayName(nameValue(file, p.name, p.namePieces));
}

// What stands for a person without a name: never the cross-reference, which is no name.
QString unknownName() {
    return QStringLiteral("Unknown");
}

// The first `keep` people in the order a list of candidates shows them: most shared words
// first (near misses), then by name, then by year of birth, then as the file lists them.
std::vector<std::int32_t> firstInOrder(const FamilyFile& file, std::vector<std::int32_t> people,
                                       const std::vector<std::uint8_t>& shared, std::size_t keep) {
    struct Key {
        std::int32_t person;
        int shared;
        QString name;
        int year; // BC negative; people without a year of birth last
    };
    std::vector<Key> keys;
    keys.reserve(people.size());
    for (const std::int32_t p : people) {
        const auto year = birthYear(file, p);
        keys.push_back({p, shared[p], shownName(file, file.people()[p]),
                        year ? (year->beforeCommonEra ? -year->value : year->value)
                             : std::numeric_limits<int>::max()});
    }
    const auto before = [](const Key& a, const Key& b) {
        if (a.shared != b.shared)
            return a.shared > b.shared;
        if (const int byName = a.name.compare(b.name, Qt::CaseInsensitive))
            return byName < 0;
        return a.year != b.year ? a.year < b.year : a.person < b.person;
    };
    keep = std::min(keep, keys.size());
    std::partial_sort(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(keep), keys.end(),
                      before);
    std::vector<std::int32_t> out;
    for (std::size_t i = 0; i < keep; ++i)
        out.push_back(keys[i].person);
    return out;
}

} // namespace

PersonChoice choosePerson(const FamilyFile& file, const QString& typed,
                          const FoldedNameWalk& names) {
    const QString query = typed.trimmed();
    if (const std::int32_t person = personByTypedXref(file, query); person >= 0)
        return {person, 1, {}};
    if (query.size() > 2 && query.startsWith(QLatin1Char('@')) && query.endsWith(QLatin1Char('@')))
        return {}; // a cross-reference that names no one

    const std::string folded = foldQuery(query);
    const std::vector<std::string_view> words = wordsOf(folded);
    const std::size_t n = file.people().size();
    std::vector<NameMatch> best(n, NameMatch::NoMatch);
    std::vector<std::uint8_t> shared(n, 0);
    const auto consider = [&](std::int32_t person, std::string_view name) {
        const NameParts parts(name);
        best[person] = std::min(best[person], matchName(parts, words));
        if (best[person] == NameMatch::NoMatch)
            shared[person] = std::max<std::uint8_t>(
                shared[person],
                static_cast<std::uint8_t>(std::min(sharedWords(parts, words), 255)));
        return true;
    };
    if (names)
        names(consider);
    else
        forEachFoldedName(file, consider);

    PersonChoice choice;
    const NameMatch closest = n ? *std::min_element(best.begin(), best.end()) : NameMatch::NoMatch;
    std::vector<std::int32_t> pool;
    for (std::size_t p = 0; p < n; ++p)
        if (closest != NameMatch::NoMatch ? best[p] == closest : shared[p] > 0)
            pool.push_back(static_cast<std::int32_t>(p));
    if (closest != NameMatch::NoMatch) {
        choice.matches = pool.size();
        if (pool.size() == 1) {
            choice.person = pool.front();
            return choice;
        }
    }
    // Near misses sharing most words first; then by name and year of birth.
    choice.pool = pool.size();
    choice.candidates = firstInOrder(file, std::move(pool), shared, kMaxCandidates);
    return choice;
}

QString chartName(const FamilyFile& file, std::int32_t person) {
    const Person& p = file.people()[person];
    const QString name = shownName(file, p);
    return name.isEmpty() ? unknownName() : name;
}

QString describePerson(const FamilyFile& file, std::int32_t person) {
    const Person& p = file.people()[person];
    const QString name = shownName(file, p);
    QString text = pointer(p.xref) + QLatin1Char(' ') + (name.isEmpty() ? unknownName() : name);
    if (const QString years = lifeYears(file, person); !years.isEmpty())
        text += QStringLiteral(" (%1)").arg(years);
    return text;
}

Pedigree pedigreeOf(const FamilyFile& file, std::int32_t person, int generations) {
    generations = std::clamp(generations, 0, 16);
    Pedigree pedigree;
    if (generations == 0)
        return pedigree;
    std::vector<std::int32_t>& slot = pedigree.ancestors;
    slot.assign(std::size_t{1} << generations, -1);
    slot[1] = person;
    std::vector<bool> reported(file.people().size(), false);
    for (std::size_t k = 1; k < slot.size() / 2; ++k) {
        if (slot[k] < 0)
            continue;
        const std::int32_t family = file.people()[slot[k]].parentFamily;
        if (family < 0)
            continue;
        slot[2 * k] = file.families()[family].husband;
        slot[2 * k + 1] = file.families()[family].wife;
        for (const std::size_t parent : {2 * k, 2 * k + 1}) {
            const std::int32_t who = slot[parent];
            if (who < 0 || reported[who])
                continue;
            for (std::size_t below = parent / 2; below >= 1; below /= 2)
                if (slot[below] == who) {
                    reported[who] = true;
                    pedigree.loops.push_back(
                        {file.people()[who].line,
                         QStringLiteral("%1 is their own ancestor: the family links loop, so the "
                                        "chart repeats them")
                             .arg(chartName(file, who))});
                    break;
                }
        }
    }
    return pedigree;
}

} // namespace pq::gedcom
