#pragma once

#include "controls/BarRange.h"
#include "controls/Color.h"

#include <span>
#include <vector>

namespace tamsivo {

// The fill of a percent progress bar: colour stops at equal distances over a gradient range,
// each pair joined by solid bands, painted only where the bar is filled.
class BarGradient {
public:
    // One pair of neighbouring stops: the gradient runs over `segment`, and only the `visible`
    // part of it (the part inside the filled range) is painted.
    struct Segment {
        BarRange segment;
        BarRange visible;
        Color from = 0;
        Color to = 0;
        friend bool operator==(const Segment&, const Segment&) = default;
    };

    struct Band {
        BarRange range;
        Color color = 0;
        friend bool operator==(const Band&, const Band&) = default;
    };

    // The stops a PBM_SETBARCOLOR sets: a zero end colour (wParam) means the start colour
    // (lParam), so that a plain colour gives a solid bar; black cannot be an end colour.
    static std::vector<Color> StopsForBarColor(Color end, Color start);

    // Segments of the gradient range that reach the filled range, up to the one holding its end.
    static std::vector<Segment> Segments(std::span<const Color> stops, const BarRange& gradient,
                                         const BarRange& filled);

    // Bands of one segment that are painted, cut to the visible part. No more bands than the
    // largest channel difference nor than the segment is wide, so that equal colours give a
    // single fill; a display of fewer than 8 bits per pixel without a palette gets one band.
    static std::vector<Band> Bands(const BarRange& segment, const BarRange& visible, Color from,
                                   Color to, bool lowColorDisplay);
};

} // namespace tamsivo
