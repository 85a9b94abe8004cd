#pragma once

// The arithmetic of the preview window, free of widgets: zoom factors and the drawing ceiling,
// fitting a scroll bar to a picture, drag limits and the drop percentages.

#include "base/numeric.h"

#include <QSize>
#include <cstdint>
#include <optional>

namespace pq {

inline constexpr float kZoomMin = 0.25f;
inline constexpr float kZoomMax = 4.0f;
inline constexpr float kZoomStep = 0.25f;

// A zoomed picture is drawn only while it stays below both limits.
inline constexpr int kMaxDrawWidth = 4000;
inline constexpr int kMaxDrawHeight = 9000;

// The largest value a scroll bar takes (a 16-bit maximum).
inline constexpr int kScrollMaximumLimit = 32767;

// The next factor of a zoom step: direction 0 zooms in, anything else out.
float nextZoom(float zoom, int direction);
bool zoomInRange(float zoom);

// The picture's size at a factor: Int(size x factor), formed in double precision.
QSize zoomedSize(int origWidth, int origHeight, float zoom);
bool withinDrawLimits(const QSize& size);

// The factor kept when the picture at `refused` is over the limits and so is not drawn; the
// screen still shows the picture as it was. A step out keeps the refused factor, so that the
// next step out walks on to a smaller one that may fit; a step in keeps the previous factor,
// since every larger one is over the limits too and the next step out must not be wasted.
float factorAfterRefusal(float previous, float refused);

// How one scroll bar fits a picture: disabled with step 0 when the picture's outer size does
// not exceed the viewport's; otherwise the maximum and the pixels per unit.
struct ScrollFit {
    bool enabled = false;
    Int16 maximum = 0;
    Int16 step = 0;
};
ScrollFit fitScrollbar(int pictureOuter, int viewportOuter);

// The picture's new left (or top) during a drag. A picture at least as large as the viewport's
// inside stays between (inside - picture) and 0, so no gap opens at either edge; a smaller one
// does not move in that direction.
float dragPosition(float wanted, int current, int viewportInner, int pictureOuter);

// The drop position as a percentage of the scrollable range, or nothing when the picture and
// the viewport have the same outer size (no range to measure against).
std::optional<std::int32_t> dropPercent(int position, int pictureOuter, int viewportOuter);

// The scroll-bar value for a percentage of its maximum, or nothing when the percentage is
// negative or the value would pass the maximum (the bar is left as it is).
std::optional<std::int32_t> valueForPercent(std::int16_t percent, int maximum);

// Where a drop leaves a scroll bar that moves the picture `step` pixels a unit (step > 0), and
// where the picture then lies. The drop's whole percentage of the range is kept wherever it
// puts the picture within a pixel of where it was let go; on a larger picture a percent spans
// many steps, so the bar takes the value nearest the drop instead and the picture stays where
// it was let go, `remainder` pixels off the bar's grid, so that the bar's next step moves on
// from there.
struct BarDrop {
    std::int32_t value = 0;
    std::int32_t remainder = 0; // picture position + step x value
};
BarDrop dropOnBar(int position, int pictureOuter, int viewportOuter, int maximum, int step);

// The picture's position for a bar's value: on the bar's grid, shifted by what a drop left
// off it while the bar is between its ends; at either end the picture meets the grid again.
std::int32_t positionForValue(int value, int maximum, int step, std::int32_t remainder);

// How far Page Up and Page Down move the picture: the viewport's inside less a little, so that
// what was at one edge is still seen at the other; in whole units of a bar of `step` pixels a
// unit (0 for a bar that does not scroll).
inline constexpr int kPageOverlap = 40;
int pageUnits(int viewportInner, int step);

// The bar's value that shows the part of the picture from `start`, `length` pixels long: in
// the middle of a viewport `viewportInner` pixels across where it fits, else from its start.
int valueToShow(double start, double length, int viewportInner, int step, int maximum);

// One wheel notch is 120 units of rotation (eighths of a degree).
inline constexpr int kWheelNotch = 120;
// How far one notch scrolls the picture, about three lines of the chart's text.
inline constexpr int kWheelNotchPixels = 40;

// Scroll-bar units for one wheel notch at `step` pixels per unit: the same distance on screen
// whether the bar counts single pixels or tens of pixels.
int wheelUnitsPerNotch(int step);

// Turns wheel rotation into whole steps. Small deltas of high-resolution wheels add up until
// they complete a step, so a smooth wheel steps exactly as often as a notched one; turning the
// other way drops what had added up.
class WheelSteps {
public:
    // Adds `delta` (positive away from the user) and returns the whole steps it completes, at
    // `perNotch` steps to a notch, signed like the delta.
    int take(int delta, int perNotch = 1);

private:
    std::int64_t mRemainder = 0; // delta x perNotch not yet turned into a step
};

} // namespace pq
