#include "previewmath.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace pq {

float nextZoom(float zoom, int direction) {
    // Quarter steps are exact in single precision, so the factors never drift.
    return direction == 0 ? zoom + kZoomStep : zoom - kZoomStep;
}

bool zoomInRange(float zoom) {
    return zoom >= kZoomMin && zoom <= kZoomMax;
}

QSize zoomedSize(int origWidth, int origHeight, float zoom) {
    const double width = Int(static_cast<double>(origWidth) * static_cast<double>(zoom));
    const double height = Int(static_cast<double>(origHeight) * static_cast<double>(zoom));
    return {CLng(width), CLng(height)};
}

bool withinDrawLimits(const QSize& size) {
    return size.width() < kMaxDrawWidth && size.height() < kMaxDrawHeight;
}

float factorAfterRefusal(float previous, float refused) {
    return refused < previous ? refused : previous;
}

ScrollFit fitScrollbar(int pictureOuter, int viewportOuter) {
    if (pictureOuter <= viewportOuter)
        return {};
    const float overhang = static_cast<float>(pictureOuter - viewportOuter);
    if (overhang <= 100.0f)
        return {true, CInt(overhang), 1};
    const float tenths = overhang / 10.0f;
    if (roundHalfEven(tenths) <= kScrollMaximumLimit)
        return {true, CInt(tenths), 10};
    // Ten pixels per unit would need a maximum beyond 16 bits: take the smallest step that fits
    // and round the maximum up, so the far edge of the picture stays reachable.
    const double step = std::ceil(static_cast<double>(overhang) / kScrollMaximumLimit);
    const double maximum = std::ceil(static_cast<double>(overhang) / step);
    return {true, CInt(maximum), CInt(step)};
}

float dragPosition(float wanted, int current, int viewportInner, int pictureOuter) {
    if (pictureOuter < viewportInner)
        return static_cast<float>(current);
    const float farEdge = static_cast<float>(viewportInner - pictureOuter);
    if (wanted > 0.0f)
        return 0.0f;
    if (farEdge > wanted)
        return farEdge;
    return wanted;
}

std::optional<std::int32_t> dropPercent(int position, int pictureOuter, int viewportOuter) {
    if (pictureOuter == viewportOuter)
        return std::nullopt;
    const double range = static_cast<double>(pictureOuter) - viewportOuter;
    return CLng(std::abs(static_cast<double>(position)) / range * 100.0);
}

std::optional<std::int32_t> valueForPercent(std::int16_t percent, int maximum) {
    if (percent < 0)
        return std::nullopt;
    const double v = percent / 100.0 * maximum;
    if (v > maximum)
        return std::nullopt;
    return CLng(v);
}

BarDrop dropOnBar(int position, int pictureOuter, int viewportOuter, int maximum, int step) {
    if (const auto percent = dropPercent(position, pictureOuter, viewportOuter))
        if (const auto value = valueForPercent(CInt(*percent), maximum))
            if (std::abs(position + std::int64_t{step} * *value) <= 1)
                return {*value, 0};
    const auto nearest = static_cast<std::int32_t>(
        std::clamp<std::int64_t>(std::llround(-static_cast<double>(position) / step), 0, maximum));
    return {nearest, position + step * nearest};
}

std::int32_t positionForValue(int value, int maximum, int step, std::int32_t remainder) {
    const std::int32_t onGrid = -(std::int32_t{step} * value);
    return value > 0 && value < maximum ? onGrid + remainder : onGrid;
}

int pageUnits(int viewportInner, int step) {
    if (step <= 0)
        return 0;
    return std::max(1, (viewportInner - kPageOverlap) / step);
}

int valueToShow(double start, double length, int viewportInner, int step, int maximum) {
    constexpr double margin = 8.0;
    const double left =
        length <= viewportInner ? start + (length - viewportInner) / 2.0 : start - margin;
    return static_cast<int>(std::clamp<double>(std::round(left / step), 0, maximum));
}

int wheelUnitsPerNotch(int step) {
    if (step <= 0)
        return 0;
    return std::max(1, kWheelNotchPixels / step);
}

int WheelSteps::take(int delta, int perNotch) {
    if ((mRemainder > 0 && delta < 0) || (mRemainder < 0 && delta > 0))
        mRemainder = 0;
    mRemainder += std::int64_t{delta} * perNotch;
    // Division truncates towards zero, so a part of a step is kept in either direction.
    const std::int64_t steps = mRemainder / kWheelNotch;
    mRemainder -= steps * kWheelNotch;
    return static_cast<int>(steps);
}

} // namespace pq
