// The preview's arithmetic: zoom factors, scroll-bar fitting, drag limits, drop percentages.

#include "preview/previewmath.h"

#include <gtest/gtest.h>

namespace pq {
namespace {

TEST(ZoomFactors, QuarterStepsStayExactOverTheWholeRange) {
    float zoom = kZoomMin;
    int steps = 0;
    while (zoomInRange(nextZoom(zoom, 0))) {
        zoom = nextZoom(zoom, 0);
        ++steps;
    }
    EXPECT_EQ(steps, 15); // 16 factors
    EXPECT_EQ(zoom, 4.0f);
    for (int i = 0; i < 15; ++i)
        zoom = nextZoom(zoom, 7); // any direction but 0 zooms out
    EXPECT_EQ(zoom, 0.25f);
    EXPECT_FALSE(zoomInRange(nextZoom(zoom, 1)));
}

TEST(ZoomFactors, SizeIsTruncatedAndCeilingIsExclusive) {
    EXPECT_EQ(zoomedSize(999, 2249, 4.0f), QSize(3996, 8996));
    EXPECT_EQ(zoomedSize(333, 7, 0.25f), QSize(83, 1)); // 83.25, 1.75 go down
    EXPECT_EQ(zoomedSize(333, 7, 1.25f), QSize(416, 8));
    EXPECT_TRUE(withinDrawLimits({3999, 8999}));
    EXPECT_FALSE(withinDrawLimits({4000, 10}));
    EXPECT_FALSE(withinDrawLimits({10, 9000}));
}

struct FitCase {
    int overhang;
    bool enabled;
    int maximum;
    int step;
};

class ScrollFitting : public ::testing::TestWithParam<FitCase> {};

TEST_P(ScrollFitting, MaximumAndStepForOverhang) {
    const FitCase c = GetParam();
    const ScrollFit fit = fitScrollbar(622 + c.overhang, 622);
    EXPECT_EQ(fit.enabled, c.enabled);
    EXPECT_EQ(int{fit.maximum}, c.maximum);
    EXPECT_EQ(int{fit.step}, c.step);
}

INSTANTIATE_TEST_SUITE_P(
    Overhangs, ScrollFitting,
    ::testing::Values(FitCase{-5, false, 0, 0}, FitCase{0, false, 0, 0}, FitCase{50, true, 50, 1},
                      FitCase{100, true, 100, 1}, FitCase{101, true, 10, 10},
                      FitCase{1000, true, 100, 10},
                      FitCase{1005, true, 100, 10},     // 100.5 goes to the even 100
                      FitCase{1015, true, 102, 10},     // 101.5 goes to the even 102
                      FitCase{327671, true, 32767, 10}, // still fits ten per unit
                      FitCase{327675, true, 29789, 11}, // 32767.5 would round past 16 bits
                      FitCase{649507, true, 32476, 20}));

TEST(ScrollFitting, BeyondTenPixelsPerUnitTheFarEdgeStaysReachable) {
    for (int overhang : {327675, 400000, 649507, 1000000, 16000000}) {
        const ScrollFit fit = fitScrollbar(overhang + 495, 495);
        EXPECT_LE(int{fit.maximum}, 32767) << overhang;
        EXPECT_GE(int{fit.maximum} * int{fit.step}, overhang) << overhang;
        // One unit less must not reach it: the step is as fine as 16 bits allow.
        EXPECT_LT((int{fit.maximum} - 1) * int{fit.step}, overhang) << overhang;
    }
}

TEST(DragPosition, ClampsBetweenFarEdgeAndZero) {
    // Picture 1620 wide in a viewport 618 wide inside.
    EXPECT_EQ(dragPosition(12.5f, -40, 618, 1620), 0.0f);
    EXPECT_EQ(dragPosition(-1200.0f, -40, 618, 1620), -1002.0f);
    EXPECT_EQ(dragPosition(-300.5f, -40, 618, 1620), -300.5f);
    EXPECT_EQ(dragPosition(-3.0f, 0, 618, 618), 0.0f); // as wide as the inside: no room
}

TEST(DragPosition, PictureSmallerThanTheInsideDoesNotMove) {
    EXPECT_EQ(dragPosition(80.0f, 0, 618, 400), 0.0f);
    EXPECT_EQ(dragPosition(-80.0f, 0, 618, 400), 0.0f);
}

TEST(DropPercent, RoundsHalfToEvenAndSkipsEqualSizes) {
    EXPECT_EQ(dropPercent(-370, 1622, 622), 37);
    EXPECT_EQ(dropPercent(-5, 1622, 622), 0);  // 0.5 goes to 0
    EXPECT_EQ(dropPercent(-15, 1622, 622), 2); // 1.5 goes to 2
    EXPECT_EQ(dropPercent(-1004, 1622, 622), 100);
    EXPECT_EQ(dropPercent(-5, 623, 622), 500); // dragged by the inside's wider limit
    EXPECT_FALSE(dropPercent(0, 622, 622).has_value());
    EXPECT_LE(*dropPercent(0, 400, 622), 0); // narrower picture: never a usable percentage
}

TEST(ValueForPercent, IgnoresNegativesAndValuesPastTheMaximum) {
    EXPECT_EQ(valueForPercent(37, 100), 37);
    EXPECT_EQ(valueForPercent(50, 5), 2); // 2.5 goes to 2
    EXPECT_EQ(valueForPercent(70, 5), 4); // 3.5 goes to 4
    EXPECT_EQ(valueForPercent(100, 102), 102);
    EXPECT_FALSE(valueForPercent(101, 100).has_value());
    EXPECT_FALSE(valueForPercent(-1, 100).has_value());
}

} // namespace
} // namespace pq
