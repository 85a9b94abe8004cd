// Large tables get large pages where the system offers them: the advice must reach the kernel
// for the whole of a large block, and blocks of every size must still work as memory.

#include "base/largepages.h"

#include <QFile>
#include <QRegularExpression>
#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <numeric>
#include <optional>

namespace pq {
namespace {

// Whether the kernel would back the memory at `address` with large pages, from the mapping's
// "THPeligible" line; nullopt where the system does not say.
std::optional<bool> eligibleForLargePages(const void* address) {
    QFile maps(QStringLiteral("/proc/self/smaps"));
    if (!maps.open(QIODevice::ReadOnly))
        return std::nullopt;
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    const QRegularExpression range(QStringLiteral("^([0-9a-f]+)-([0-9a-f]+) "));
    bool inside = false;
    // Read whole: the file claims to be empty, so reading it line by line stops at once.
    for (const QByteArray& line : maps.readAll().split('\n')) {
        if (const auto m = range.match(QString::fromLatin1(line)); m.hasMatch()) {
            inside = m.captured(1).toULongLong(nullptr, 16) <= at &&
                     at < m.captured(2).toULongLong(nullptr, 16);
        } else if (inside && line.startsWith("THPeligible:")) {
            return line.trimmed().endsWith('1');
        }
    }
    return std::nullopt;
}

bool largePagesOffered() {
    QFile setting(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"));
    return setting.open(QIODevice::ReadOnly) && !setting.readAll().contains("[never]");
}

TEST(LargePages, LargeBlocksAreAlignedAdvisedAndKeepTheirValuesAsTheyGrow) {
    LargeVector<std::int32_t> values;
    for (std::int32_t i = 0; i < 3'000'000; ++i) // through small blocks into large ones
        values.push_back(i);
    std::int64_t sum = std::accumulate(values.begin(), values.end(), std::int64_t(0));
    EXPECT_EQ(sum, std::int64_t(2'999'999) * 3'000'000 / 2);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(values.data()) % kLargePage, 0u);

    const LargeVector<char> small(1000, 'x');
    EXPECT_EQ(std::count(small.begin(), small.end(), 'x'), 1000);

    if (!largePagesOffered())
        GTEST_SKIP() << "this system offers no large pages";
    // The last large page, only partly used, is advised too.
    for (const void* inside :
         {static_cast<const void*>(values.data()), static_cast<const void*>(&values.back())}) {
        const auto eligible = eligibleForLargePages(inside);
        if (!eligible)
            GTEST_SKIP() << "/proc/self/smaps does not say which memory may use large pages";
        EXPECT_TRUE(*eligible);
    }
}

} // namespace
} // namespace pq
