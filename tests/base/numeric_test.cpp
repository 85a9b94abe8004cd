#include "base/numeric.h"

#include <gtest/gtest.h>
#include <limits>

namespace pq {
namespace {

TEST(Rounding, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(CInt(2.5), 2);
    EXPECT_EQ(CInt(3.5), 4);
    EXPECT_EQ(CInt(-0.5), 0);
    EXPECT_EQ(CInt(-1.5), -2);
    EXPECT_EQ(CInt(1.4999), 1);
    EXPECT_EQ(CLng(100.5), 100);
    EXPECT_EQ(CLng(101.5), 102);
}

TEST(Rounding, SixteenBitLimits) {
    EXPECT_EQ(CInt(32767), 32767);
    EXPECT_EQ(CInt(32767.4), 32767);
    EXPECT_THROW(CInt(32767.5), Failure);
    EXPECT_THROW(CInt(32768), Failure);
    EXPECT_EQ(CInt(-32768), -32768);
    EXPECT_THROW(CInt(-32769), Failure);
    EXPECT_THROW(CInt(std::numeric_limits<double>::quiet_NaN()), Failure);
    try {
        CInt(40000);
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(f.description(), QStringLiteral("Overflow"));
    }
}

TEST(Rounding, ThirtyTwoBitLimits) {
    EXPECT_EQ(CLng(2147483647.0), 2147483647);
    EXPECT_THROW(CLng(2147483648.0), Failure);
    EXPECT_EQ(CLng(-2147483648.0), std::numeric_limits<std::int32_t>::min());
    EXPECT_THROW(CLng(1e300), Failure);
}

TEST(IntFunction, TakesTheFloor) {
    EXPECT_EQ(Int(2.9), 2.0);
    EXPECT_EQ(Int(-2.1), -3.0);
    EXPECT_EQ(Int(5.0), 5.0);
}

TEST(Int16Arithmetic, OverflowFailsAndKeepsThePreviousValue) {
    Int16 spacing = 16384;
    EXPECT_THROW(spacing = spacing * Int16(2), Failure);
    EXPECT_EQ(spacing.value(), 16384);
    Int16 low = -32768;
    EXPECT_THROW(low = low - Int16(1), Failure);
    EXPECT_EQ((Int16(32766) + Int16(1)).value(), 32767);
    EXPECT_THROW(Int16(70000), Failure);
}

TEST(NumberTest, AcceptsWhatTheConversionAccepts) {
    const QLocale c(QLocale::English, QLocale::UnitedStates);
    EXPECT_TRUE(IsNumeric(QStringLiteral("5"), c));
    EXPECT_TRUE(IsNumeric(QStringLiteral(" 5 "), c));
    EXPECT_TRUE(IsNumeric(QStringLiteral("1e3"), c));
    EXPECT_TRUE(IsNumeric(QStringLiteral("-3"), c));
    EXPECT_TRUE(IsNumeric(QStringLiteral("2.5"), c));
    EXPECT_DOUBLE_EQ(CDbl(QStringLiteral("1e3"), c), 1000.0);
    EXPECT_DOUBLE_EQ(CDbl(QStringLiteral(" 5 "), c), 5.0);
}

TEST(NumberTest, RejectsBlanksWordsAndNonFiniteValues) {
    const QLocale c(QLocale::English, QLocale::UnitedStates);
    for (const char* text :
         {"", "   ", "abc", "nan", "NaN", "inf", "-inf", "Infinity", "5 5", "1e999"}) {
        EXPECT_FALSE(IsNumeric(QString::fromLatin1(text), c)) << text;
        EXPECT_THROW(CDbl(QString::fromLatin1(text), c), Failure) << text;
    }
}

TEST(NumberTest, TheLocaleDecidesTheDecimalSeparator) {
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_DOUBLE_EQ(CDbl(QStringLiteral("2,5"), german), 2.5);
    EXPECT_EQ(GetDecimalSeparator(german), QStringLiteral(","));
    EXPECT_EQ(GetDecimalSeparator(QLocale(QLocale::English)), QStringLiteral("."));
    EXPECT_EQ(FixDecimalSeparator(QStringLiteral("12.0"), german), QStringLiteral("12,0"));
    EXPECT_EQ(FixDecimalSeparator(QStringLiteral("12,0"), QLocale(QLocale::English)),
              QStringLiteral("12.0"));
}

} // namespace
} // namespace pq
