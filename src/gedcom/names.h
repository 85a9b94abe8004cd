#pragma once

// Names as a chart shows them and as a user types them: the display form of a NAME value, and
// the folded form (case, accents and spacing ignored) that a typed name is matched against.

#include "familyfile.h"
#include "linereader.h"

#include <QString>
#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace pq::gedcom {

// "Augusta Ada /King/" -> "Augusta Ada King": slashes removed, spaces collapsed.
QString displayName(const QString& nameValue);

// The NAME value a name stands for, the surname between slashes: the value as written or, for
// a NAME that holds no name (`pieces` >= 0), one made of the pieces under it: "Dr Ann /van
// Ray/ Jr" from NPFX, GIVN (or else NICK), SPFX, SURN and NSFX. Empty when there is no name.
QString nameValue(const FamilyFile& file, const TextRef& name, std::int32_t pieces);
// The same name folded as foldName() folds a NAME value.
void foldPersonName(const FamilyFile& file, const TextRef& name, std::int32_t pieces,
                    std::string& out);

// The folded form of a NAME value as UTF-8 words separated by single spaces, each slash a word
// of its own ("augusta ada / king /"). Written into `out` so that a caller folding many names
// reuses one buffer.
void foldName(const Source& source, const TextRef& name, std::string& out);
// The folded words of what a user typed; slashes are ignored.
std::string foldQuery(const QString& typed);

// A folded NAME's words split at its slashes, without allocating: names longer than kMaxWords
// words are only matched as a whole.
struct NameParts {
    static constexpr int kMaxWords = 32;
    std::array<std::string_view, kMaxWords> words;
    int count = 0;
    int firstSlash = -1, secondSlash = -1; // word positions
    bool complete = true;

    explicit NameParts(std::string_view folded);
};

// How well a folded NAME matches the folded query, best first: the full name, the given names
// and surname, one of the given names and the surname; kNoMatch when none of them does.
enum class NameMatch { FullName, GivenAndSurname, OneGivenAndSurname, NoMatch };
NameMatch matchName(const NameParts& name, const std::vector<std::string_view>& queryWords);
// How many of the query's words the name contains: how close a near miss is.
int sharedWords(const NameParts& name, const std::vector<std::string_view>& queryWords);

std::vector<std::string_view> wordsOf(std::string_view folded);

// Every name of every person, folded as foldName() folds it: each person's first NAME (the
// name the chart shows), then the later NAME lines (married names, other spellings), a NAME
// without a name made of its pieces (nameValue). What
// counts as a person's name is decided here only, so that choosing the chart's person and the
// type-ahead search agree. `visit(person, folded)` returns false to stop the walk.
template<class Visit> void forEachFoldedName(const FamilyFile& file, Visit&& visit) {
    std::string folded;
    const auto& people = file.people();
    for (std::size_t p = 0; p < people.size(); ++p) {
        if (!people[p].name.isSet())
            continue;
        foldPersonName(file, people[p].name, people[p].namePieces, folded);
        if (!visit(static_cast<std::int32_t>(p), std::string_view(folded)))
            return;
    }
    for (const OtherName& other : file.otherNames()) {
        foldPersonName(file, other.name, other.namePieces, folded);
        if (!visit(other.person, std::string_view(folded)))
            return;
    }
}

} // namespace pq::gedcom
