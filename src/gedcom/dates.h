#pragma once

// Life years from the dates of a family-tree file: "1815–1852", "b. 1815", "d. 1852", with
// "c." before a year that the date only approximates.

#include "familyfile.h"

#include <QString>
#include <optional>
#include <string_view>

namespace pq::gedcom {

struct Year {
    int value = 0;
    bool approximate = false; // ABT, EST, CAL, BEF, AFT, BET...AND, FROM...TO

    QString text() const;
};

// The year of a date value; a range gives its first year. Nothing for a date without a year
// (a date phrase, a day and month alone).
std::optional<Year> yearOf(std::string_view date);

// Birth falls back to christening and baptism, death to burial.
QString lifeYears(const FamilyFile& file, std::int32_t person);
// The year of birth as lifeYears() finds it; nothing when no year is known.
std::optional<Year> birthYear(const FamilyFile& file, std::int32_t person);

} // namespace pq::gedcom
