#pragma once

// The pedigree of one person: finding the person a user names, and their ancestors by
// Ahnentafel number (1 the person, 2k and 2k + 1 the father and mother of k).

#include "familyfile.h"

#include <QString>
#include <functional>
#include <string_view>
#include <vector>

namespace pq::gedcom {

struct PersonChoice {
    std::int32_t person = -1; // the one person named, or -1
    std::size_t matches = 0;  // how many people the query names
    std::vector<std::int32_t>
        candidates;       // without a single match: up to kMaxCandidates to pick from
    std::size_t pool = 0; // how many people the candidates were chosen from
};
inline constexpr std::size_t kMaxCandidates = 20;

// A cross-reference names its record, with or without its @ signs and in any case ("@I12@",
// "i12") where that names one record; a name is matched case- and accent-insensitively
// against every name of every person, as the full name, as given names and surname, or as one
// given name and surname, and the closest kind of match found decides. Candidates are listed
// by name, then by year of birth; without a match they are the people who share most words
// with the query.
//
// `names`, when given, walks names as forEachFoldedName() does but only those that hold a word
// of the query (an index knows them): the others cannot match or be near misses, so the
// choice is the same.
using FoldedNameVisit = std::function<bool(std::int32_t person, std::string_view folded)>;
using FoldedNameWalk = std::function<void(const FoldedNameVisit&)>;
PersonChoice choosePerson(const FamilyFile& file, const QString& query,
                          const FoldedNameWalk& names = {});

// The name as the chart shows it, or "Unknown" for a person without a name.
QString chartName(const FamilyFile& file, std::int32_t person);
// "@I12@ Ada King (1815–1852)": enough to tell people of the same name apart.
QString describePerson(const FamilyFile& file, std::int32_t person);

struct Pedigree {
    std::vector<std::int32_t> ancestors; // by Ahnentafel number, index 0 unused; -1 unknown
    std::vector<Warning> loops;          // people who are their own ancestors
};

// The person's ancestors over `generations` generations (the person's own included, at most
// 16). An ancestor reached twice fills both places; a loop repeats until the last generation.
Pedigree pedigreeOf(const FamilyFile& file, std::int32_t person, int generations);

} // namespace pq::gedcom
