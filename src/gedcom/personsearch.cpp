#include "personsearch.h"

#include "dates.h"
#include "names.h"
#include "pedigree.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <numeric>
#include <span>

namespace pq::gedcom {

namespace {

// How well a person matches, best last: the order of the list before the names.
enum Found : std::uint8_t { NotFound, Matches, WholeName, CrossReference };

// Keeps the dictionary's words while it is built, as the folded names pass through one buffer.
class WordStore {
public:
    std::string_view keep(std::string_view word) {
        if (mChunks.empty() || mUsed + word.size() > kChunk) {
            mChunks.push_back(std::make_unique<char[]>(std::max(kChunk, word.size())));
            mUsed = 0;
        }
        char* at = mChunks.back().get() + mUsed;
        std::memcpy(at, word.data(), word.size());
        mUsed += word.size();
        return {at, word.size()};
    }

private:
    static constexpr std::size_t kChunk = 64 * 1024;
    std::vector<std::unique_ptr<char[]>> mChunks;
    std::size_t mUsed = 0;
};

template<class EachWord> void forEachWord(std::string_view folded, EachWord&& each) {
    while (!folded.empty()) {
        const std::size_t space = folded.find(' ');
        const std::string_view word = folded.substr(0, space);
        if (word != "/")
            each(word);
        if (space == std::string_view::npos)
            break;
        folded.remove_prefix(space + 1);
    }
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
}

} // namespace

PersonSearch::PersonSearch(const FamilyFile& file, const std::atomic<bool>* cancel) : mFile(file) {
    mComplete = build(cancel);
    if (!mComplete) { // an empty index, not half of one
        mWordText = {};
        mWordStart = mPostingStart = mNameWordStart = {};
        mPostings = mNamePerson = mNameWords = mRank = {};
    }
}

bool PersonSearch::build(const std::atomic<bool>* cancel) {
    const auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_relaxed); };
    const std::size_t people = mFile.people().size();
    XrefIndex dictionary; // word -> id in the order first met
    WordStore store;
    std::vector<std::string_view> words;
    std::vector<std::int32_t> shownName(people, -1); // each person's first name
    mNameWordStart.push_back(0);
    mNameWords.reserve(people * 3);
    std::size_t visited = 0;
    bool stopped = false;
    forEachFoldedName(mFile, [&](std::int32_t person, std::string_view folded) {
        if ((++visited & 0xFFF) == 0 && cancelled()) {
            stopped = true;
            return false;
        }
        const auto name = static_cast<std::int32_t>(mNamePerson.size());
        if (shownName[person] < 0)
            shownName[person] = name;
        mNamePerson.push_back(person);
        forEachWord(folded, [&](std::string_view w) {
            std::int32_t id = dictionary.find(w);
            if (id < 0) {
                id = static_cast<std::int32_t>(words.size());
                words.push_back(store.keep(w));
                dictionary.insert(words.back(), id);
            }
            mNameWords.push_back(id);
        });
        mNameWordStart.push_back(static_cast<std::uint32_t>(mNameWords.size()));
        return true;
    });
    if (stopped || cancelled())
        return false;

    // Number the words in sorted order, so that the words a prefix starts are one run of ids.
    std::vector<std::int32_t> order(words.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](std::int32_t a, std::int32_t b) { return words[a] < words[b]; });
    std::vector<std::int32_t> sortedId(words.size());
    mWordStart.reserve(words.size() + 1);
    for (std::size_t i = 0; i < order.size(); ++i) {
        sortedId[order[i]] = static_cast<std::int32_t>(i);
        mWordStart.push_back(static_cast<std::uint32_t>(mWordText.size()));
        mWordText += words[order[i]];
    }
    mWordStart.push_back(static_cast<std::uint32_t>(mWordText.size()));
    for (std::int32_t& id : mNameWords)
        id = sortedId[id];

    // The names of each word: counted, then placed.
    mPostingStart.assign(words.size() + 1, 0);
    for (const std::int32_t id : mNameWords)
        ++mPostingStart[id + 1];
    std::partial_sum(mPostingStart.begin(), mPostingStart.end(), mPostingStart.begin());
    mPostings.resize(mNameWords.size());
    std::vector<std::uint32_t> next(mPostingStart.begin(), mPostingStart.end() - 1);
    for (std::size_t name = 0; name + 1 < mNameWordStart.size(); ++name)
        for (std::uint32_t k = mNameWordStart[name]; k < mNameWordStart[name + 1]; ++k)
            mPostings[next[mNameWords[k]]++] = static_cast<std::int32_t>(name);

    if (cancelled())
        return false;
    rankPeople(shownName);
    return true;
}

// The list's order: by the name the chart shows (word by word, as folded), then by year of
// birth (unknown last), then as the file has them; people without a name last.
void PersonSearch::rankPeople(const std::vector<std::int32_t>& shownName) {
    const std::size_t people = shownName.size();
    std::vector<std::int32_t> born(people, INT_MAX);
    for (std::size_t p = 0; p < people; ++p)
        if (const auto year = birthYear(mFile, static_cast<std::int32_t>(p)))
            born[p] = year->value;
    const auto wordsOfName = [&](std::int32_t name) {
        return std::span(mNameWords.data() + mNameWordStart[name],
                         mNameWordStart[name + 1] - mNameWordStart[name]);
    };
    std::vector<std::int32_t> order(people);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::int32_t a, std::int32_t b) {
        const std::int32_t na = shownName[a], nb = shownName[b];
        if ((na < 0) != (nb < 0))
            return nb < 0;
        if (na >= 0) {
            const auto wa = wordsOfName(na), wb = wordsOfName(nb);
            if (const auto c = std::lexicographical_compare_three_way(wa.begin(), wa.end(),
                                                                      wb.begin(), wb.end());
                c != 0)
                return c < 0;
        }
        return born[a] != born[b] ? born[a] < born[b] : a < b;
    });
    mRank.resize(people);
    for (std::size_t i = 0; i < people; ++i)
        mRank[order[i]] = static_cast<std::int32_t>(i);
}

std::string_view PersonSearch::word(std::int32_t id) const {
    return std::string_view(mWordText).substr(mWordStart[id], mWordStart[id + 1] - mWordStart[id]);
}

PersonSearch::Interval PersonSearch::wordsStartingWith(std::string_view prefix) const {
    const auto count = static_cast<std::int32_t>(mWordStart.size()) - 1;
    const auto firstWhere = [&](std::int32_t from, auto&& isBefore) {
        std::int32_t lo = from, hi = count;
        while (lo < hi) {
            const std::int32_t mid = lo + (hi - lo) / 2;
            if (isBefore(word(mid)))
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    };
    Interval found;
    found.first = firstWhere(0, [&](std::string_view w) { return w < prefix; });
    found.last = firstWhere(found.first, [&](std::string_view w) { return w.starts_with(prefix); });
    if (found.first < found.last && word(found.first) == prefix)
        found.exact = found.first;
    return found;
}

bool PersonSearch::nameHasAll(std::int32_t name, const std::vector<Interval>& intervals) const {
    const auto begin = mNameWords.begin() + mNameWordStart[name];
    const auto end = mNameWords.begin() + mNameWordStart[name + 1];
    return std::all_of(intervals.begin(), intervals.end(), [&](const Interval& in) {
        return std::any_of(begin, end,
                           [&](std::int32_t id) { return id >= in.first && id < in.last; });
    });
}

bool PersonSearch::nameIsExactly(std::int32_t name, const std::vector<Interval>& intervals) const {
    const auto begin = mNameWords.begin() + mNameWordStart[name];
    const auto end = mNameWords.begin() + mNameWordStart[name + 1];
    return std::equal(begin, end, intervals.begin(), intervals.end(),
                      [](std::int32_t id, const Interval& in) { return id == in.exact; });
}

void PersonSearch::findByName(std::string_view folded, std::vector<std::int32_t>& hits,
                              std::vector<std::uint8_t>& found) const {
    std::vector<Interval> intervals;
    forEachWord(folded, [&](std::string_view w) { intervals.push_back(wordsStartingWith(w)); });
    if (intervals.empty())
        return;
    // Walk the names of the typed word that starts the fewest.
    const auto names = [&](const Interval& in) {
        return mPostingStart[in.last] - mPostingStart[in.first];
    };
    const Interval& narrowest = *std::min_element(
        intervals.begin(), intervals.end(),
        [&](const Interval& a, const Interval& b) { return names(a) < names(b); });
    for (std::uint32_t k = mPostingStart[narrowest.first]; k < mPostingStart[narrowest.last]; ++k) {
        const std::int32_t name = mPostings[k];
        if (!nameHasAll(name, intervals))
            continue;
        const std::int32_t person = mNamePerson[name];
        const Found how = nameIsExactly(name, intervals) ? WholeName : Matches;
        if (found[person] == NotFound)
            hits.push_back(person);
        found[person] = std::max<std::uint8_t>(found[person], how);
    }
}

// A cross-reference is typed with or without its @ signs and in any case. Only a text that
// looks like one (it has a digit, or starts with @) also lists the cross-references it starts,
// so that typing a name does not walk every record.
void PersonSearch::findByXref(QStringView typed, std::vector<std::int32_t>& hits,
                              std::vector<std::uint8_t>& found) const {
    QStringView text = typed.trimmed();
    const bool marked = text.startsWith(QLatin1Char('@'));
    if (marked)
        text = text.mid(1);
    if (text.endsWith(QLatin1Char('@')))
        text.chop(1);
    if (text.isEmpty() || text.contains(QLatin1Char(' ')) || text.contains(QLatin1Char('@')))
        return;
    const QByteArray key = text.toUtf8();
    const std::string_view wanted(key.constData(), static_cast<std::size_t>(key.size()));
    const auto mark = [&](std::int32_t person, Found how) {
        if (found[person] == NotFound)
            hits.push_back(person);
        found[person] = std::max<std::uint8_t>(found[person], how);
    };
    const bool listStarts =
        marked || std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    if (!listStarts) {
        for (const QByteArray& form : {key, key.toUpper(), key.toLower()})
            if (const std::int32_t person = mFile.personByXref(
                    std::string_view(form.constData(), static_cast<std::size_t>(form.size())));
                person >= 0)
                mark(person, CrossReference);
        return;
    }
    const std::vector<Person>& people = mFile.people();
    for (std::size_t p = 0; p < people.size(); ++p)
        if (startsWithIgnoringCase(people[p].xref, wanted))
            mark(static_cast<std::int32_t>(p),
                 people[p].xref.size() == wanted.size() ? CrossReference : Matches);
}

PersonMatch PersonSearch::matchOf(std::int32_t person) const {
    return {person, describePerson(mFile, person), chartName(mFile, person)};
}

std::vector<PersonMatch> PersonSearch::find(QStringView typed, int limit,
                                            std::size_t* total) const {
    if (total)
        *total = 0;
    if (!mComplete)
        return {};
    std::vector<std::uint8_t> found(mFile.people().size(), NotFound);
    std::vector<std::int32_t> hits;
    findByName(foldQuery(typed.toString()), hits, found);
    findByXref(typed, hits, found);
    if (total)
        *total = hits.size();
    const std::size_t shown = std::min(hits.size(), static_cast<std::size_t>(std::max(limit, 0)));
    std::partial_sort(hits.begin(), hits.begin() + static_cast<std::ptrdiff_t>(shown), hits.end(),
                      [&](std::int32_t a, std::int32_t b) {
                          return found[a] != found[b] ? found[a] > found[b] : mRank[a] < mRank[b];
                      });
    std::vector<PersonMatch> matches;
    matches.reserve(shown);
    for (std::size_t i = 0; i < shown; ++i)
        matches.push_back(matchOf(hits[i]));
    return matches;
}

Resolution PersonSearch::resolve(QStringView typed) const {
    const PersonChoice choice = choosePerson(mFile, typed.toString());
    Resolution r;
    if (choice.person >= 0) {
        r.outcome = Resolution::Outcome::One;
        r.person = choice.person;
        r.total = 1;
        return r;
    }
    r.outcome = choice.matches > 1 ? Resolution::Outcome::Several : Resolution::Outcome::None;
    r.total = choice.matches;
    for (const std::int32_t person : choice.candidates)
        r.candidates.push_back(matchOf(person));
    return r;
}

std::size_t PersonSearch::memoryBytes() const {
    const auto bytes = [](const auto& v) { return v.capacity() * sizeof(v[0]); };
    return mWordText.capacity() + bytes(mWordStart) + bytes(mPostingStart) + bytes(mPostings) +
           bytes(mNamePerson) + bytes(mNameWordStart) + bytes(mNameWords) + bytes(mRank);
}

} // namespace pq::gedcom
