#include "dates.h"

#include <QByteArrayView>
#include <array>

namespace pq::gedcom {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool oneOf(std::string_view word, std::initializer_list<std::string_view> list) {
    for (const std::string_view w : list)
        if (QByteArrayView(word).compare(w, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

// Qualifiers of a date that only approximates its year, as the standard writes them and as
// people type them.
bool isApproximation(std::string_view w) {
    return oneOf(w, {"ABT", "EST", "CAL", "BEF", "AFT", "BET", "FROM", "TO", "ABOUT", "CIRCA", "CA",
                     "CA.", "C.", "BEFORE", "AFTER", "ABT.", "EST.", "CAL."});
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

} // namespace

QString Year::text() const {
    return (approximate ? QStringLiteral("c. ") : QString()) + QString::number(value);
}

std::optional<Year> yearOf(std::string_view date) {
    // Words, without calendar escapes (@#DJULIAN@) and what follows an opening parenthesis.
    std::array<std::string_view, 16> words;
    std::size_t count = 0;
    while (!date.empty() && count < words.size()) {
        const std::size_t start = date.find_first_not_of(" \t\n");
        if (start == std::string_view::npos || date[start] == '(')
            break;
        date.remove_prefix(start);
        if (date.substr(0, 2) == "@#") {
            const std::size_t close = date.find('@', 2);
            date.remove_prefix(close == std::string_view::npos ? date.size() : close + 1);
            continue;
        }
        const std::size_t end = std::min(date.find_first_of(" \t\n"), date.size());
        words[count++] = date.substr(0, end);
        date.remove_prefix(end);
    }
    bool approximate = false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string_view w = words[i];
        if (isApproximation(w)) {
            approximate = true;
            continue;
        }
        if (oneOf(w, {"AND"}))
            break; // the first date of a range had no year
        const auto value = numberIn(w);
        if (!value)
            continue;
        // A number followed by a month is the day.
        const bool day = i + 1 < count && isLetter(words[i + 1].front()) &&
                         !oneOf(words[i + 1], {"AND", "TO", "BC", "B.C.", "BCE"});
        if (!day)
            return Year{*value, approximate};
    }
    return std::nullopt;
}

namespace {

std::optional<Year> firstYear(const FamilyFile& file, const Person& p,
                              std::initializer_list<Event> events) {
    for (const Event e : events) {
        const TextRef& ref = p.dates[static_cast<int>(e)];
        if (!ref.isSet())
            continue;
        const std::optional<Year> year =
            ref.continued() ? yearOf(file.source().joined(ref))
                            : yearOf(file.source().bytes().substr(ref.begin, ref.size));
        if (year)
            return year;
    }
    return std::nullopt;
}

} // namespace

std::optional<Year> birthYear(const FamilyFile& file, std::int32_t person) {
    return firstYear(file, file.people()[person],
                     {Event::Birth, Event::Christening, Event::Baptism});
}

QString lifeYears(const FamilyFile& file, std::int32_t person) {
    const Person& p = file.people()[person];
    const auto born = birthYear(file, person);
    const auto died = firstYear(file, p, {Event::Death, Event::Burial});
    if (born && died)
        return born->text() + QChar(0x2013) + died->text();
    if (born)
        return QStringLiteral("b. ") + born->text();
    if (died)
        return QStringLiteral("d. ") + died->text();
    return QString();
}

} // namespace pq::gedcom
