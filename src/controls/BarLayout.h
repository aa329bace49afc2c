#pragma once

#include "controls/BarRange.h"
#include "controls/Rect.h"

#include <cstdint>

namespace tamsivo {

// Where the parts of a percent progress bar go: the inner client rectangle (the client area
// less the borders) and the orientation bits of the window style.
class BarLayout {
public:
    BarLayout(const Rect& inner, std::uint32_t style) : inner_(inner), style_(style) {}

    const Rect& Inner() const { return inner_; }
    std::uint32_t Style() const { return style_; }
    bool Vertical() const;
    // Inner height of a vertical bar, else the inner width.
    int Length() const;
    BarRange FullRange() const { return BarRange{0, Length()}; }

    // Only a position inside [lower, upper] shows a bar; otherwise just the background.
    static bool ShowsBar(int position, int lower, int upper);
    // The filled part; in bouncing mode it starts at the segment's tail instead of at 0. Equal
    // bounds leave nothing to scale by and give an empty part.
    BarRange FilledRange(int position, int lower, int upper, int segmentTail) const;
    // The client rectangle of a range: a horizontal bar grows from the left, a vertical one from
    // the bottom, each from the other end when reversed.
    Rect RangeToRect(const BarRange& range) const;

private:
    Rect inner_;
    std::uint32_t style_;
};

} // namespace tamsivo
