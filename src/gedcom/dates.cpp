#include "dates.h"

#include <QByteArrayView>
#include <array>
#include <cstdint>

namespace pq::gedcom {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool same(std::string_view a, std::string_view b) {
    return QByteArrayView(a).compare(b, Qt::CaseInsensitive) == 0;
}

bool oneOf(std::string_view word, std::initializer_list<std::string_view> list) {
    for (const std::string_view w : list)
        if (same(word, w))
            return true;
    return false;
}

// Qualifiers as the standard writes them and as people type them; INT (an interpreted date)
// keeps its year exact.
std::optional<Year::Qualifier> qualifierOf(std::string_view w) {
    if (oneOf(w, {"BEF", "BEF.", "BEFORE"}))
        return Year::Qualifier::Before;
    if (oneOf(w, {"AFT", "AFT.", "AFTER"}))
        return Year::Qualifier::After;
    if (oneOf(w, {"ABT", "EST", "CAL", "BET", "FROM", "TO", "ABOUT", "CIRCA", "CA", "CA.", "C.",
                  "ABT.", "EST.", "CAL."}))
        return Year::Qualifier::About;
    return std::nullopt;
}

bool isEra(std::string_view w) {
    return oneOf(w, {"BC", "B.C.", "BCE", "B.C.E."});
}

enum class Calendar { Gregorian, Julian, French, Hebrew, Other };

// A calendar escape of 5.5 ("@#DHEBREW@") or a calendar word of 7.0 ("HEBREW"); nothing for
// a word that names no calendar.
std::optional<Calendar> calendarOf(std::string_view w) {
    const bool escape = w.substr(0, 2) == "@#";
    if (escape) // "@#D" ... "@"; a cut-short escape ("@#", "@#D") names no calendar
        w = w.size() > 4 ? w.substr(3, w.size() - 4) : std::string_view();
    if (same(w, "GREGORIAN"))
        return Calendar::Gregorian;
    if (same(w, "JULIAN"))
        return Calendar::Julian;
    if (same(w, "FRENCH R") || same(w, "FRENCH_R"))
        return Calendar::French;
    if (same(w, "HEBREW"))
        return Calendar::Hebrew;
    return escape ? std::optional(Calendar::Other) : std::nullopt;
}

constexpr std::array<std::string_view, 12> kMonths = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                                      "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
constexpr std::array<std::string_view, 13> kFrenchMonths = {"VEND", "BRUM", "FRIM", "NIVO", "PLUV",
                                                            "VENT", "GERM", "FLOR", "PRAI", "MESS",
                                                            "THER", "FRUC", "COMP"};
constexpr std::array<std::string_view, 13> kHebrewMonths = {
    "TSH", "CSH", "KSL", "TVT", "SHV", "ADR", "ADS", "NSN", "IYR", "SVN", "TMZ", "AAV", "ELL"};

// The month's number in its calendar's year (1-based), or 0.
template<std::size_t N>
int monthIn(std::string_view w, const std::array<std::string_view, N>& months) {
    for (std::size_t i = 0; i < N; ++i)
        if (same(w, months[i]))
            return static_cast<int>(i) + 1;
    return 0;
}

int monthOf(std::string_view w, Calendar calendar) {
    switch (calendar) {
    case Calendar::French:
        return monthIn(w, kFrenchMonths);
    case Calendar::Hebrew:
        return monthIn(w, kHebrewMonths);
    default:
        return monthIn(w, kMonths);
    }
}

// The first run of three or four digits in a word ("1815", "1699/00", "12.03.1815"), or the
// whole word when it is a short number ("50").
std::optional<int> numberIn(std::string_view w) {
    std::size_t i = 0;
    while (i < w.size()) {
        while (i < w.size() && !isDigit(w[i]))
            ++i;
        const std::size_t from = i;
        while (i < w.size() && isDigit(w[i]))
            ++i;
        const std::size_t length = i - from;
        const bool wholeWord = from == 0 && i == w.size();
        if ((length == 3 || length == 4) || (wholeWord && length > 0 && length < 3)) {
            int value = 0;
            for (std::size_t k = from; k < i; ++k)
                value = value * 10 + (w[k] - '0');
            if (value > 0)
                return value;
        }
    }
    return std::nullopt;
}

// ---- other calendars, through Julian day numbers ----

using Day = std::int64_t; // a Julian day number

// The astronomical Gregorian year of a day (0 is 1 BC).
std::int64_t gregorianYear(Day jdn) {
    const Day a = jdn + 32044;
    const Day b = (4 * a + 3) / 146097;
    const Day c = a - 146097 * b / 4;
    const Day d = (4 * c + 3) / 1461;
    const Day e = c - 1461 * d / 4;
    const Day m = (5 * e + 2) / 153;
    return 100 * b + d - 4800 + m / 10;
}

struct Span {
    Day first = 0, last = 0;
};

// French Republican: year I began on 22 September 1792 (day 2375840); every month has 30
// days, and the complementary days close the year. Years III, VII and XI were leap years as
// observed; later ones follow the four-year rule.
bool frenchLeap(std::int64_t y) {
    if (y < 20)
        return y == 3 || y == 7 || y == 11 || y == 15;
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

Day frenchYearStart(std::int64_t y) {
    Day leaps = 0;
    for (std::int64_t k = 1; k < y && k < 20; ++k)
        leaps += frenchLeap(k) ? 1 : 0;
    if (y > 20) { // the four-year rule for years 20 .. y - 1
        const auto count = [](std::int64_t n) { return n / 4 - n / 100 + n / 400; };
        leaps += count(y - 1) - count(19);
    }
    return 2375840 + 365 * (y - 1) + leaps;
}

Span frenchSpan(std::int64_t y, int month, int day) {
    const Day start = frenchYearStart(y);
    const Day length = 365 + (frenchLeap(y) ? 1 : 0);
    if (month == 0)
        return {start, start + length - 1};
    const Day monthStart = start + (month - 1) * 30;
    const Day monthLength = month == 13 ? length - 360 : 30;
    if (day == 0)
        return {monthStart, monthStart + monthLength - 1};
    const Day d = monthStart + std::min<Day>(day, monthLength) - 1;
    return {d, d};
}

// Hebrew: the year begins at the molad of Tishri, moved by the postponement rules.
bool hebrewLeap(std::int64_t y) {
    return (7 * y + 1) % 19 < 7;
}

Day hebrewElapsedDays(std::int64_t y) {
    const std::int64_t months = (235 * y - 234) / 19;
    const std::int64_t parts = 12084 + 13753 * months;
    const Day days = 29 * months + parts / 25920;
    return (3 * (days + 1)) % 7 < 3 ? days + 1 : days;
}

Day hebrewNewYear(std::int64_t y) {
    const Day ny0 = hebrewElapsedDays(y - 1), ny1 = hebrewElapsedDays(y),
              ny2 = hebrewElapsedDays(y + 1);
    const Day correction = ny2 - ny1 == 356 ? 2 : ny1 - ny0 == 382 ? 1 : 0;
    return 347998 + ny1 + correction; // 1 Tishri of year 1 is day 347998
}

// Month lengths in the order the family-tree format lists the months, from Tishri (1) to Elul
// (13); Adar Sheni (7) only exists in leap years.
int hebrewMonthLength(std::int64_t y, int month) {
    const Day yearLength = hebrewNewYear(y + 1) - hebrewNewYear(y);
    switch (month) {
    case 2: // Cheshvan: long in a complete year
        return yearLength % 10 == 5 ? 30 : 29;
    case 3: // Kislev: short in a deficient year
        return yearLength % 10 == 3 ? 29 : 30;
    case 6: // Adar, or Adar I of a leap year
        return hebrewLeap(y) ? 30 : 29;
    case 7:
        return hebrewLeap(y) ? 29 : 0;
    case 4:
    case 9:
    case 11:
        return 29;
    default:
        return 30;
    }
}

Span hebrewSpan(std::int64_t y, int month, int day) {
    const Day start = hebrewNewYear(y);
    if (month == 0)
        return {start, hebrewNewYear(y + 1) - 1};
    if (month == 7 && !hebrewLeap(y))
        month = 6; // Adar Sheni of a common year: its only Adar
    Day monthStart = start;
    for (int m = 1; m < month; ++m)
        monthStart += hebrewMonthLength(y, m);
    const int length = hebrewMonthLength(y, month);
    if (day == 0)
        return {monthStart, monthStart + length - 1};
    const Day d = monthStart + std::min(day, length) - 1;
    return {d, d};
}

Year yearFromAstronomical(std::int64_t y, Year::Qualifier qualifier) {
    return y > 0 ? Year{static_cast<int>(y), qualifier, false}
                 : Year{static_cast<int>(1 - y), qualifier, true};
}

// The Gregorian year a date of another calendar falls in; a date whose span covers two years
// is "c." the first of them, a bound takes the end it bounds.
Year placeSpan(const Span& span, Year::Qualifier qualifier) {
    const std::int64_t first = gregorianYear(span.first), last = gregorianYear(span.last);
    if (qualifier == Year::Qualifier::After)
        return yearFromAstronomical(last, qualifier);
    if (qualifier == Year::Qualifier::Exact && first != last)
        qualifier = Year::Qualifier::About;
    return yearFromAstronomical(first, qualifier);
}

// A date's words, calendar escapes ("@#DFRENCH R@") as one word; nothing from an opening
// parenthesis on (a date phrase).
struct Words {
    std::array<std::string_view, 16> at;
    std::size_t count = 0;

    explicit Words(std::string_view date) {
        while (!date.empty() && count < at.size()) {
            const std::size_t start = date.find_first_not_of(" \t\n");
            if (start == std::string_view::npos || date[start] == '(')
                break;
            date.remove_prefix(start);
            std::size_t end = std::min(date.find_first_of(" \t\n"), date.size());
            if (date.substr(0, 2) == "@#") {
                const std::size_t close = date.find('@', 2);
                end = close == std::string_view::npos ? date.size() : close + 1;
            }
            at[count++] = date.substr(0, end);
            date.remove_prefix(end);
        }
    }
    bool letterWordAt(std::size_t i) const {
        return i < count && !at[i].empty() && isLetter(at[i].front());
    }
};

} // namespace

QString Year::text() const {
    static const QString kPrefix[] = {QString(), QStringLiteral("c. "), QStringLiteral("bef. "),
                                      QStringLiteral("aft. ")};
    return kPrefix[static_cast<int>(qualifier)] + QString::number(value) +
           (beforeCommonEra ? QStringLiteral(" BC") : QString());
}

std::optional<Year> yearOf(std::string_view date, QString* problem) {
    const Words words(date);
    auto qualifier = Year::Qualifier::Exact;
    auto calendar = Calendar::Gregorian;
    std::string_view calendarWord;
    int day = 0, month = 0;
    for (std::size_t i = 0; i < words.count; ++i) {
        const std::string_view w = words.at[i];
        if (const auto c = calendarOf(w)) {
            calendar = *c;
            calendarWord = w;
            if (calendar == Calendar::Other)
                break;
            continue;
        }
        if (const auto q = qualifierOf(w)) {
            if (qualifier == Year::Qualifier::Exact)
                qualifier = *q;
            continue;
        }
        if (same(w, "AND"))
            break; // the first date of a range had no year
        if (const int m = monthOf(w, calendar)) {
            month = m;
            continue;
        }
        const auto value = numberIn(w);
        if (!value)
            continue;
        // A number followed by a month is the day.
        const bool isDay = words.letterWordAt(i + 1) && !same(words.at[i + 1], "AND") &&
                           !same(words.at[i + 1], "TO") && !isEra(words.at[i + 1]);
        if (isDay) {
            day = *value;
            continue;
        }
        const bool era = i + 1 < words.count && isEra(words.at[i + 1]);
        switch (calendar) {
        case Calendar::Gregorian:
        case Calendar::Julian: // the same years; the days between them do not move a year
            return Year{*value, qualifier, era};
        case Calendar::French:
            return placeSpan(frenchSpan(*value, month, day), qualifier);
        case Calendar::Hebrew:
            return placeSpan(hebrewSpan(*value, month, day), qualifier);
        case Calendar::Other:
            break;
        }
    }
    if (calendar == Calendar::Other && problem)
        *problem =
            QStringLiteral("the date \"%1\" is in a calendar (%2) whose years cannot be "
                           "placed; the year is left out")
                .arg(QString::fromLatin1(date.data(),
                                         qsizetype(std::min<std::size_t>(date.size(), 40))),
                     QString::fromLatin1(calendarWord.data(), qsizetype(calendarWord.size())));
    return std::nullopt;
}

namespace {

std::optional<Year> firstYear(const FamilyFile& file, const Person& p,
                              std::initializer_list<Event> events, std::vector<Warning>& warnings) {
    for (const Event e : events) {
        const TextRef& ref = p.dates[static_cast<int>(e)];
        if (!ref.isSet())
            continue;
        QString problem;
        const std::optional<Year> year =
            ref.continued() ? yearOf(file.source().joined(ref), &problem)
                            : yearOf(file.source().bytes().substr(ref.begin, ref.size), &problem);
        if (!problem.isEmpty())
            warnings.push_back({ref.line, problem});
        if (year)
            return year;
    }
    return std::nullopt;
}

} // namespace

std::optional<Year> birthYear(const FamilyFile& file, std::int32_t person) {
    std::vector<Warning> ignored; // the chart reports them
    return firstYear(file, file.people()[person],
                     {Event::Birth, Event::Christening, Event::Baptism}, ignored);
}

LifeYears lifeYearsOf(const FamilyFile& file, std::int32_t person) {
    const Person& p = file.people()[person];
    LifeYears out;
    const auto born =
        firstYear(file, p, {Event::Birth, Event::Christening, Event::Baptism}, out.warnings);
    const auto died = firstYear(file, p, {Event::Death, Event::Burial}, out.warnings);
    if (born && died)
        out.text = born->text() + QChar(0x2013) + died->text();
    else if (born)
        out.text = QStringLiteral("b. ") + born->text();
    else if (died)
        out.text = QStringLiteral("d. ") + died->text();
    return out;
}

QString lifeYears(const FamilyFile& file, std::int32_t person) {
    return lifeYearsOf(file, person).text;
}

} // namespace pq::gedcom
