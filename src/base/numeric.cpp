#include "numeric.h"

#include <cmath>
#include <limits>
#include <optional>

namespace pq {

double roundHalfEven(double x) {
    if (!std::isfinite(x))
        return x;
    const double lower = std::floor(x);
    const double diff = x - lower;
    if (diff < 0.5)
        return lower;
    if (diff > 0.5)
        return lower + 1.0;
    return std::fmod(lower, 2.0) == 0.0 ? lower : lower + 1.0;
}

namespace {
template<class T> T convertChecked(double x) {
    const double r = roundHalfEven(x);
    if (std::isnan(r) || r < static_cast<double>(std::numeric_limits<T>::min()) ||
        r > static_cast<double>(std::numeric_limits<T>::max()))
        throw Failure(failures::kOverflow);
    return static_cast<T>(r);
}

std::optional<double> parseNumber(const QString& text, const QLocale& locale) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    double v = locale.toDouble(trimmed, &ok);
    if (!ok)
        return std::nullopt;
    if (!std::isfinite(v))
        return std::nullopt;
    return v;
}
} // namespace

std::int16_t CInt(double x) {
    return convertChecked<std::int16_t>(x);
}
std::int32_t CLng(double x) {
    return convertChecked<std::int32_t>(x);
}
double Int(double x) {
    return std::floor(x);
}

std::int16_t Int16::checked(long long v) {
    if (v < std::numeric_limits<std::int16_t>::min() ||
        v > std::numeric_limits<std::int16_t>::max())
        throw Failure(failures::kOverflow);
    return static_cast<std::int16_t>(v);
}

bool IsNumeric(const QString& text, const QLocale& locale) {
    return parseNumber(text, locale).has_value();
}

double CDbl(const QString& text, const QLocale& locale) {
    if (auto v = parseNumber(text, locale))
        return *v;
    throw Failure(failures::kTypeMismatch);
}

} // namespace pq

namespace pq {

QString GetDecimalSeparator(const QLocale& locale) {
    const QString half = locale.toString(0.5).trimmed();
    return half.size() >= 2 ? half.mid(1, 1) : locale.decimalPoint();
}

QString FixDecimalSeparator(const QString& text, const QLocale& locale) {
    const QString separator = GetDecimalSeparator(locale);
    QString out = text;
    out.replace(QLatin1Char('.'), separator);
    out.replace(QLatin1Char(','), separator);
    return out;
}

} // namespace pq
