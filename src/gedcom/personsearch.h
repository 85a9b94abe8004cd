#pragma once

// Finding a person in a family-tree file as the user types: an index over every word of every
// name of every person, so that each keystroke lists the people whose names have words that
// start with the typed words, and the resolution of a typed text to the chart's person, as the
// command-line tool chooses it.

#include "familyfile.h"

#include <QString>
#include <QStringView>
#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pq::gedcom {

struct PersonMatch {
    std::int32_t person = -1;
    QString display; // "@I12@ Ada King (1815–1852)", as the tool lists candidates
    QString name;    // "Ada King", as the chart's title shows it
};

// What a typed text names when the run starts.
struct Resolution {
    enum class Outcome { One, Several, None };
    Outcome outcome = Outcome::None;
    std::int32_t person = -1; // One: the person
    // The people to choose from, as the tool lists them, at most kMaxCandidates of `total`:
    // Several: those the text names; None: those with a similar name, if any.
    std::vector<PersonMatch> candidates;
    std::size_t total = 0; // One: 1; else how many people the candidates are taken from
};

class PersonSearch {
public:
    // Builds the index; safe to run off the user-interface thread. `cancel` (as in LoadControl)
    // is looked at now and then; once it is set the building stops and isComplete() is false
    // (the index then finds nobody). The file must outlive the index.
    explicit PersonSearch(const FamilyFile& file, const std::atomic<bool>* cancel = nullptr);

    bool isComplete() const { return mComplete; }
    const FamilyFile& file() const { return mFile; }

    // The people whose names match what is typed: every typed word starts a word of the same
    // name (case and accents ignored), or the text is a person's cross-reference ("I12",
    // "@i12@"; a text with a digit or starting with @ also lists the cross-references it
    // starts). Exact matches (the cross-reference, a whole name) come first, then the others
    // by name and year of birth. At most `limit` are returned; `total` receives how many
    // people match in all.
    std::vector<PersonMatch> find(QStringView typed, int limit, std::size_t* total = nullptr) const;

    // The person the text names, as the command-line tool chooses them.
    Resolution resolve(QStringView typed) const;

    // The memory the index holds, in bytes.
    std::size_t memoryBytes() const;

private:
    struct Interval { // the words a typed word starts: ids first <= id < last
        std::int32_t first = 0, last = 0;
        std::int32_t exact = -1; // the word itself, when the dictionary has it
    };

    bool build(const std::atomic<bool>* cancel);
    void keepCrossReferences();
    void orderByName(const std::vector<std::int32_t>& shownName);
    std::string_view word(std::int32_t id) const;
    Interval wordsStartingWith(std::string_view prefix) const;
    template<class Each> void forEachShownWord(std::int32_t name, Each&& each) const {
        for (std::uint32_t k = mNameWordStart[name]; k < mNameWordStart[name + 1]; ++k)
            if (mNameWords[k] != mSlash)
                each(mNameWords[k]);
    }
    int compareShownWords(std::int32_t a, std::int32_t b) const;
    bool nameHasAll(std::int32_t name, const std::vector<Interval>& intervals) const;
    bool nameIsExactly(std::int32_t name, const std::vector<Interval>& intervals) const;
    void findByName(std::string_view folded, std::vector<std::int32_t>& hits,
                    std::vector<std::uint8_t>& found) const;
    void findByXref(QStringView typed, std::vector<std::int32_t>& hits,
                    std::vector<std::uint8_t>& found) const;
    std::vector<std::int32_t> namesWithAWordOf(std::string_view folded) const;
    PersonMatch matchOf(std::int32_t person) const;

    const FamilyFile& mFile;
    bool mComplete = false;
    // The dictionary: every distinct folded word, sorted, so that the words a prefix starts
    // are one run of ids.
    std::string mWordText;
    std::vector<std::uint32_t> mWordStart; // per word, into mWordText; one more at the end
    // Per word, the names that hold it (ids into the names below), one run per word.
    std::vector<std::uint32_t> mPostingStart;
    std::vector<std::int32_t> mPostings;
    std::int32_t mSlash = -1; // the word "/" around a surname
    // Every name of every person, as the ids of its words (slashes included) in order.
    std::vector<std::int32_t> mNamePerson;
    std::vector<std::uint32_t> mNameWordStart;
    std::vector<std::int32_t> mNameWords;
    // Per person, the cross-reference in lower case, one after another.
    std::string mXrefText;
    std::vector<std::uint32_t> mXrefStart;
    // Per person, their place in the order of names; people of the same name share it.
    std::vector<std::int32_t> mNameOrder;
};

} // namespace pq::gedcom
