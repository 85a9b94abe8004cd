#include "spreadsheet/engine/rangepicture.h"

#include <QFile>
#include <QFontInfo>
#include <gtest/gtest.h>

namespace pq::engine {
namespace {

TEST(ChartFonts, TahomaResolvesToTheMetricCompatibleFace) {
    if (!QFile::exists(QStringLiteral("/usr/share/wine/fonts/tahoma.ttf")))
        GTEST_SKIP() << "fonts-wine is not installed";
    registerChartFonts();
    registerChartFonts(); // a second call changes nothing
    EXPECT_EQ(QFontInfo(QFont(QStringLiteral("Tahoma"))).family(), QStringLiteral("Tahoma"));
}

} // namespace
} // namespace pq::engine
