#pragma once

namespace tamsivo::skingen {

// An axis-aligned box in picture coordinates, left/top inclusive, right/bottom exclusive.
struct Box {
    double left = 0;
    double top = 0;
    double right = 0;
    double bottom = 0;

    double width() const { return right - left; }
    double height() const { return bottom - top; }
    double centerX() const { return (left + right) / 2; }
    double centerY() const { return (top + bottom) / 2; }
    Box inflated(double by) const { return {left - by, top - by, right + by, bottom + by}; }
    Box moved(double dx, double dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
};

} // namespace tamsivo::skingen
