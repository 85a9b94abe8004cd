#pragma once

// Numeric conventions of the program: 16-bit counters whose out-of-range results are failures,
// conversions that round half to even, Int (floor), and the user-locale number test.

#include "failure.h"

#include <QLocale>
#include <QString>
#include <cstdint>

namespace pq {

// Rounds to the nearest integer, a half going to the even neighbour (2.5 -> 2, 3.5 -> 4).
double roundHalfEven(double x);

// Conversions of a number to a 16- or 32-bit integer, rounding half to even; a result out of
// range (or a NaN) throws Failure("Overflow").
std::int16_t CInt(double x);
std::int32_t CLng(double x);

// The largest integer not above x.
double Int(double x);

// A 16-bit signed value whose arithmetic fails with "Overflow" instead of wrapping; the
// variable keeps its previous value because the failure comes before the assignment.
class Int16 {
public:
    constexpr Int16() = default;
    Int16(int value) : mValue(checked(value)) {} // NOLINT: implicit like the language's Integer
    std::int16_t value() const { return mValue; }
    operator std::int16_t() const { return mValue; } // NOLINT

    friend Int16 operator+(Int16 a, Int16 b) { return Int16(int{a.mValue} + int{b.mValue}); }
    friend Int16 operator-(Int16 a, Int16 b) { return Int16(int{a.mValue} - int{b.mValue}); }
    friend Int16 operator*(Int16 a, Int16 b) { return Int16(int{a.mValue} * int{b.mValue}); }

private:
    static std::int16_t checked(long long v);
    std::int16_t mValue = 0;
};

// Whether the text holds a number the locale-aware conversion accepts: blanks around it are
// allowed; an empty or blank text, NaN and infinities are not numbers.
bool IsNumeric(const QString& text, const QLocale& locale = QLocale());

// The locale-aware text-to-number conversion; a text that is not a number throws
// Failure("Type mismatch").
double CDbl(const QString& text, const QLocale& locale = QLocale());

} // namespace pq

namespace pq {

// The user's decimal separator: the second character of one half written in the locale.
QString GetDecimalSeparator(const QLocale& locale = QLocale());
// Replaces every "." and then every "," in a number text by the decimal separator.
QString FixDecimalSeparator(const QString& text, const QLocale& locale = QLocale());

} // namespace pq
