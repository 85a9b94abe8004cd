#include "personsearch.h"

#include "dates.h"
#include "names.h"
#include "pedigree.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <iterator>
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

// The words of a folded name, its slashes (around the surname) included.
template<class EachWord> void forEachWordAndSlash(std::string_view folded, EachWord&& each) {
    while (!folded.empty()) {
        const std::size_t space = folded.find(' ');
        each(folded.substr(0, space));
        if (space == std::string_view::npos)
            break;
        folded.remove_prefix(space + 1);
    }
}

template<class EachWord> void forEachWord(std::string_view folded, EachWord&& each) {
    forEachWordAndSlash(folded, [&](std::string_view word) {
        if (word != "/")
            each(word);
    });
}

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

} // namespace

PersonSearch::PersonSearch(const FamilyFile& file, const std::atomic<bool>* cancel) : mFile(file) {
    mComplete = build(cancel);
    if (!mComplete) { // an empty index, not half of one
        mWordText = {};
        mWordStart = mPostingStart = mNameWordStart = {};
        mPostings = mNamePerson = mNameWords = mNameOrder = {};
        mXrefText = {};
        mXrefStart = {};
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
        const auto wordOf = [&words](std::int32_t id) { return words[id]; };
        forEachWordAndSlash(folded, [&](std::string_view w) {
            std::int32_t id = dictionary.find(w, wordOf);
            if (id < 0) {
                id = static_cast<std::int32_t>(words.size());
                words.push_back(store.keep(w));
                dictionary.insert(words.back(), id, wordOf);
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
        if (words[order[i]] == "/")
            mSlash = static_cast<std::int32_t>(i);
        mWordStart.push_back(static_cast<std::uint32_t>(mWordText.size()));
        mWordText += words[order[i]];
    }
    mWordStart.push_back(static_cast<std::uint32_t>(mWordText.size()));
    for (std::int32_t& id : mNameWords)
        id = sortedId[id];

    // The names of each word: counted, then placed. Slashes are never looked for.
    mPostingStart.assign(words.size() + 1, 0);
    for (const std::int32_t id : mNameWords)
        mPostingStart[id + 1] += id != mSlash;
    std::partial_sum(mPostingStart.begin(), mPostingStart.end(), mPostingStart.begin());
    mPostings.resize(mPostingStart.back());
    std::vector<std::uint32_t> next(mPostingStart.begin(), mPostingStart.end() - 1);
    for (std::size_t name = 0; name + 1 < mNameWordStart.size(); ++name)
        for (std::uint32_t k = mNameWordStart[name]; k < mNameWordStart[name + 1]; ++k)
            if (mNameWords[k] != mSlash)
                mPostings[next[mNameWords[k]]++] = static_cast<std::int32_t>(name);

    if (cancelled())
        return false;
    keepCrossReferences();
    orderByName(shownName);
    return true;
}

// The cross-references in lower case, one after another: walking them for those a typed text
// starts reads a tenth of what walking the people would.
void PersonSearch::keepCrossReferences() {
    const auto& people = mFile.people();
    mXrefStart.resize(people.size() + 1);
    std::size_t size = 0;
    for (std::size_t p = 0; p < people.size(); ++p) {
        mXrefStart[p] = static_cast<std::uint32_t>(size);
        size += people[p].xref.size();
    }
    mXrefStart.back() = static_cast<std::uint32_t>(size);
    mXrefText.resize(size);
    char* out = mXrefText.data();
    for (const Person& p : people)
        out = std::transform(p.xref.begin(), p.xref.end(), out, lowerAscii);
}

// The list's order: by the name the chart shows (word by word, as folded); people without a
// name last. People of the same name share their place: find() orders them by year of birth,
// read only for the few it shows. Word ids are in the words' order, so counting sorts by the
// second word and then by the first place nearly everyone; only names of three words or more
// that agree in their first two are compared further.
void PersonSearch::orderByName(const std::vector<std::int32_t>& shownName) {
    struct Key {
        std::array<std::uint32_t, 2> head; // the first two words' ids plus one; a missing word 0
        std::int32_t person;
        bool longer; // more than two words
    };
    const std::size_t people = shownName.size();
    const auto noName = static_cast<std::uint32_t>(mWordStart.size()); // after every word id
    std::vector<Key> keys(people);
    for (std::size_t p = 0; p < people; ++p) {
        Key& key = keys[p];
        key = {{noName, 0}, static_cast<std::int32_t>(p), false};
        if (shownName[p] < 0)
            continue;
        std::size_t seen = 0;
        key.head[0] = 0;
        forEachShownWord(shownName[p], [&](std::int32_t id) {
            if (seen < key.head.size())
                key.head[seen] = static_cast<std::uint32_t>(id) + 1;
            ++seen;
        });
        key.longer = seen > key.head.size();
        if (seen == 0) // a NAME line that holds no name: the chart says "Unknown"
            key.head = {noName, 0};
    }
    std::vector<Key> sorted(people);
    std::vector<std::uint32_t> start(noName + 2);
    for (const std::size_t word : {1, 0}) { // stable: by the second word, then by the first
        std::fill(start.begin(), start.end(), 0);
        for (const Key& key : keys)
            ++start[key.head[word] + 1];
        std::partial_sum(start.begin(), start.end(), start.begin());
        for (const Key& key : keys)
            sorted[start[key.head[word]]++] = key;
        keys.swap(sorted);
    }
    const auto compareNames = [&](const Key& a, const Key& b) {
        if (a.head != b.head)
            return a.head < b.head ? -1 : 1;
        if (a.longer != b.longer)
            return a.longer ? 1 : -1;
        return a.longer ? compareShownWords(shownName[a.person], shownName[b.person]) : 0;
    };
    for (auto run = keys.begin(); run != keys.end();) {
        const auto runEnd =
            std::find_if(run, keys.end(), [&](const Key& k) { return k.head != run->head; });
        if (std::any_of(run, runEnd, [](const Key& k) { return k.longer; }))
            std::stable_sort(run, runEnd,
                             [&](const Key& a, const Key& b) { return compareNames(a, b) < 0; });
        run = runEnd;
    }
    mNameOrder.resize(people);
    std::int32_t place = 0;
    for (std::size_t i = 0; i < people; ++i) {
        if (i > 0 && compareNames(keys[i - 1], keys[i]) != 0)
            place = static_cast<std::int32_t>(i);
        mNameOrder[keys[i].person] = place;
    }
}

int PersonSearch::compareShownWords(std::int32_t a, std::int32_t b) const {
    std::uint32_t i = mNameWordStart[a], j = mNameWordStart[b];
    const std::uint32_t endA = mNameWordStart[a + 1], endB = mNameWordStart[b + 1];
    for (;;) {
        while (i < endA && mNameWords[i] == mSlash)
            ++i;
        while (j < endB && mNameWords[j] == mSlash)
            ++j;
        if (i == endA || j == endB)
            return (i != endA) - (j != endB);
        if (mNameWords[i] != mNameWords[j])
            return mNameWords[i] < mNameWords[j] ? -1 : 1;
        ++i;
        ++j;
    }
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
    std::size_t matched = 0;
    bool same = true;
    forEachShownWord(name, [&](std::int32_t id) {
        same = same && matched < intervals.size() && intervals[matched].exact == id;
        ++matched;
    });
    return same && matched == intervals.size();
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
    // A whole name holds the typed word itself: only the names under that word can be one.
    const bool wholeNamePossible = std::all_of(intervals.begin(), intervals.end(),
                                               [](const Interval& in) { return in.exact >= 0; });
    const std::uint32_t wholeFrom = wholeNamePossible ? mPostingStart[narrowest.exact] : 0;
    const std::uint32_t wholeTo = wholeNamePossible ? mPostingStart[narrowest.exact + 1] : 0;
    for (std::uint32_t k = mPostingStart[narrowest.first]; k < mPostingStart[narrowest.last]; ++k) {
        const std::int32_t name = mPostings[k];
        if (intervals.size() > 1 && !nameHasAll(name, intervals))
            continue;
        const std::int32_t person = mNamePerson[name];
        const bool whole = k >= wholeFrom && k < wholeTo && nameIsExactly(name, intervals);
        const Found how = whole ? WholeName : Matches;
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
    const std::string lower = key.toLower().toStdString();
    for (std::size_t p = 0; p + 1 < mXrefStart.size(); ++p) {
        const std::string_view xref =
            std::string_view(mXrefText).substr(mXrefStart[p], mXrefStart[p + 1] - mXrefStart[p]);
        if (xref.starts_with(lower))
            mark(static_cast<std::int32_t>(p),
                 xref.size() == lower.size() ? CrossReference : Matches);
    }
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
    if (shown == 0)
        return {};
    // One number per person, so that choosing the first few of many is a sort of numbers: how
    // well they match, their name's place, and the person.
    std::vector<std::uint64_t> keys(hits.size());
    for (std::size_t i = 0; i < hits.size(); ++i) {
        const std::int32_t p = hits[i];
        keys[i] = (std::uint64_t(CrossReference - found[p]) << 62) |
                  (std::uint64_t(mNameOrder[p]) << 31) | std::uint64_t(p);
    }
    const auto shownEnd = keys.begin() + static_cast<std::ptrdiff_t>(shown);
    std::partial_sort(keys.begin(), shownEnd, keys.end());
    // People of the same name as the last one shown compete for its place by year of birth.
    const std::uint64_t lastName = keys[shown - 1] >> 31;
    const auto end = std::partition(shownEnd, keys.end(),
                                    [&](std::uint64_t key) { return key >> 31 == lastName; });
    struct Chosen {
        std::uint64_t key;
        int born;
    };
    std::vector<Chosen> chosen;
    for (auto it = keys.begin(); it != end; ++it) {
        const auto person = static_cast<std::int32_t>(*it & 0x7FFFFFFF);
        const auto year = birthYear(mFile, person);
        chosen.push_back({*it, !year                   ? INT_MAX // unknown last
                               : year->beforeCommonEra ? -year->value
                                                       : year->value});
    }
    std::sort(chosen.begin(), chosen.end(), [](const Chosen& a, const Chosen& b) {
        if (a.key >> 31 != b.key >> 31)
            return a.key < b.key;
        return a.born != b.born ? a.born < b.born : a.key < b.key;
    });
    std::vector<PersonMatch> matches;
    matches.reserve(shown);
    for (std::size_t i = 0; i < shown; ++i)
        matches.push_back(matchOf(static_cast<std::int32_t>(chosen[i].key & 0x7FFFFFFF)));
    return matches;
}

// The names that hold a word of the query exactly, each once: the only ones that can match
// or come near.
std::vector<std::int32_t> PersonSearch::namesWithAWordOf(std::string_view folded) const {
    std::vector<std::int32_t> names;
    forEachWord(folded, [&](std::string_view w) {
        if (const std::int32_t id = wordsStartingWith(w).exact; id >= 0)
            names.insert(names.end(), mPostings.begin() + mPostingStart[id],
                         mPostings.begin() + mPostingStart[id + 1]);
    });
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

Resolution PersonSearch::resolve(QStringView typed) const {
    const QString text = typed.toString();
    FoldedNameWalk fromIndex;
    std::vector<std::int32_t> names;
    if (mComplete) {
        names = namesWithAWordOf(foldQuery(text));
        fromIndex = [&](const FoldedNameVisit& visit) {
            std::string folded;
            for (const std::int32_t name : names) {
                folded.clear();
                for (std::uint32_t k = mNameWordStart[name]; k < mNameWordStart[name + 1]; ++k)
                    folded.append(k == mNameWordStart[name] ? "" : " ").append(word(mNameWords[k]));
                if (!visit(mNamePerson[name], folded))
                    return;
            }
        };
    }
    const PersonChoice choice = choosePerson(mFile, text, fromIndex);
    Resolution r;
    if (choice.person >= 0) {
        r.outcome = Resolution::Outcome::One;
        r.person = choice.person;
        r.total = 1;
        return r;
    }
    r.outcome = choice.matches > 1 ? Resolution::Outcome::Several : Resolution::Outcome::None;
    r.total = choice.pool;
    for (const std::int32_t person : choice.candidates)
        r.candidates.push_back(matchOf(person));
    return r;
}

std::size_t PersonSearch::memoryBytes() const {
    const auto bytes = [](const auto& v) { return v.capacity() * sizeof(v[0]); };
    return mWordText.capacity() + mXrefText.capacity() + bytes(mXrefStart) + bytes(mWordStart) +
           bytes(mPostingStart) + bytes(mPostings) + bytes(mNamePerson) + bytes(mNameWordStart) +
           bytes(mNameWords) + bytes(mNameOrder);
}

} // namespace pq::gedcom
