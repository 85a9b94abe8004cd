#pragma once

// Life years from the dates of a family-tree file: "1815–1852", "b. 1815", "d. 1852", with
// "c." before a year that the date only approximates, "bef." and "aft." before a year it only
// bounds, and "BC" after a year before the common era. Dates in the Julian, French Republican
// and Hebrew calendars give the Gregorian year they fall in.

#include "familyfile.h"

#include <QString>
#include <optional>
#include <string_view>
#include <vector>

namespace pq::gedcom {

struct Year {
    enum class Qualifier {
        Exact,
        About,  // ABT, EST, CAL, BET...AND, FROM...TO, or a year another calendar spans
        Before, // BEF
        After,  // AFT
    };
    int value = 0;
    Qualifier qualifier = Qualifier::Exact;
    bool beforeCommonEra = false; // "44 BC": value 44

    QString text() const;
};

// The year of a date value; a range gives its first year. Nothing for a date without a year (a
// date phrase, a day and month alone) and for one in a calendar that cannot be placed, which
// `problem` then describes.
std::optional<Year> yearOf(std::string_view date, QString* problem = nullptr);

// A person's life years and the dates they could not use, each naming its line.
struct LifeYears {
    QString text;
    std::vector<Warning> warnings;
};
// Birth falls back to christening and baptism, death to burial.
LifeYears lifeYearsOf(const FamilyFile& file, std::int32_t person);
QString lifeYears(const FamilyFile& file, std::int32_t person);
// The year of birth as lifeYears() finds it; nothing when no year is known.
std::optional<Year> birthYear(const FamilyFile& file, std::int32_t person);

} // namespace pq::gedcom
