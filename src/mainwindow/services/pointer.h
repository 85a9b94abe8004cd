#pragma once

// Mouse pointer values of a window, and the rule both windows follow when the mouse moves over
// their buttons or background.

namespace pq {

inline constexpr int kPointerDefault = 0;    // the ordinary arrow
inline constexpr int kPointerHourglass = 11; // a run is in progress
inline constexpr int kPointerCustom = 99;    // the window's hand cursor

// The pointer a window shows after the mouse moved over a part that asks for `wanted`: the
// hourglass belongs to whoever set it, so hovering never hides a run in progress.
constexpr int pointerAfterHover(int current, int wanted) {
    return current == kPointerHourglass ? current : wanted;
}

} // namespace pq
