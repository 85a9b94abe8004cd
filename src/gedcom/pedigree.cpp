#include "pedigree.h"

#include "dates.h"
#include "names.h"

#include <algorithm>

namespace pq::gedcom {

namespace {

PersonChoice chooseByXref(const FamilyFile& file, const QString& query) {
    const QByteArray xref = query.mid(1, query.size() - 2).toUtf8();
    const std::int32_t found = file.personByXref(std::string_view(xref.constData(), xref.size()));
    if (found < 0)
        return {};
    return {found, 1, {}};
}

// The first NAME as the chart shows it; empty for a person without one.
QString shownName(const FamilyFile& file, const Person& p) {
    return p.name.isSet() ? displayName(file.text(p.name)) : QString();
}

} // namespace

PersonChoice choosePerson(const FamilyFile& file, const QString& typed) {
    const QString query = typed.trimmed();
    if (query.size() > 2 && query.startsWith(QLatin1Char('@')) && query.endsWith(QLatin1Char('@')))
        return chooseByXref(file, query);

    const std::string folded = foldQuery(query);
    const std::vector<std::string_view> words = wordsOf(folded);
    const std::size_t n = file.people().size();
    std::vector<NameMatch> best(n, NameMatch::NoMatch);
    std::vector<std::uint8_t> shared(n, 0);
    forEachFoldedName(file, [&](std::int32_t person, std::string_view name) {
        const NameParts parts(name);
        best[person] = std::min(best[person], matchName(parts, words));
        if (best[person] == NameMatch::NoMatch)
            shared[person] = std::max<std::uint8_t>(
                shared[person],
                static_cast<std::uint8_t>(std::min(sharedWords(parts, words), 255)));
        return true;
    });

    PersonChoice choice;
    const NameMatch closest = n ? *std::min_element(best.begin(), best.end()) : NameMatch::NoMatch;
    if (closest != NameMatch::NoMatch) {
        for (std::size_t p = 0; p < n; ++p)
            if (best[p] == closest) {
                ++choice.matches;
                if (choice.candidates.size() < kMaxCandidates)
                    choice.candidates.push_back(static_cast<std::int32_t>(p));
            }
        if (choice.matches == 1) {
            choice.person = choice.candidates.front();
            choice.candidates.clear();
        }
        return choice;
    }
    // Near misses: most shared words first, then in the file's order.
    std::vector<std::int32_t> near;
    for (std::size_t p = 0; p < n; ++p)
        if (shared[p] > 0)
            near.push_back(static_cast<std::int32_t>(p));
    const auto closer = [&](std::int32_t a, std::int32_t b) {
        return shared[a] != shared[b] ? shared[a] > shared[b] : a < b;
    };
    const std::size_t keep = std::min(near.size(), kMaxCandidates);
    std::partial_sort(near.begin(), near.begin() + static_cast<std::ptrdiff_t>(keep), near.end(),
                      closer);
    near.resize(keep);
    choice.candidates = std::move(near);
    return choice;
}

QString chartName(const FamilyFile& file, std::int32_t person) {
    const Person& p = file.people()[person];
    const QString name = shownName(file, p);
    return name.isEmpty() ? pointer(p.xref) : name;
}

QString describePerson(const FamilyFile& file, std::int32_t person) {
    const Person& p = file.people()[person];
    const QString name = shownName(file, p);
    QString text =
        pointer(p.xref) + QLatin1Char(' ') + (name.isEmpty() ? QStringLiteral("(no name)") : name);
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
