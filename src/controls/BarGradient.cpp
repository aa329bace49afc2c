#include "controls/BarGradient.h"

#include <algorithm>
#include <cstdlib>

namespace tamsivo {

namespace {

// The positions along a stretch are spread in single precision, like the increments.
int Spread(int origin, int index, float length) {
    return origin + static_cast<int>(static_cast<float>(index) * length);
}

std::uint8_t Channel(int from, int index, float increment) {
    return static_cast<std::uint8_t>(
        (from + static_cast<int>(static_cast<float>(index) * increment)) & 0xFF);
}

} // namespace

std::vector<Color> BarGradient::StopsForBarColor(Color end, Color start) {
    return {start, end != 0 ? end : start};
}

std::vector<BarGradient::Segment> BarGradient::Segments(std::span<const Color> stops,
                                                        const BarRange& gradient,
                                                        const BarRange& filled) {
    std::vector<Segment> segments;
    if (stops.size() < 2) {
        return segments;
    }
    const int count = static_cast<int>(stops.size()) - 1;
    const float length = static_cast<float>(gradient.Width()) / static_cast<float>(count);
    for (int i = 0; i < count; ++i) {
        const BarRange segment{Spread(gradient.left, i, length),
                               i == count - 1 ? gradient.right
                                              : Spread(gradient.left, i + 1, length)};
        if (segment.right < filled.left) {
            continue;
        }
        const BarRange visible{std::max(segment.left, filled.left),
                               std::min(segment.right, filled.right)};
        segments.push_back(Segment{segment, visible, stops[i], stops[i + 1]});
        if (visible.right == filled.right) {
            break;
        }
    }
    return segments;
}

std::vector<BarGradient::Band> BarGradient::Bands(const BarRange& segment, const BarRange& visible,
                                                  Color from, Color to, bool lowColorDisplay) {
    const int dRed = RedOf(to) - RedOf(from);
    const int dGreen = GreenOf(to) - GreenOf(from);
    const int dBlue = BlueOf(to) - BlueOf(from);
    int steps = std::max({std::abs(dRed), std::abs(dGreen), std::abs(dBlue)});
    steps = std::min(steps, segment.Width());
    if (steps <= 0) {
        steps = 1;
    }
    const float incRed = static_cast<float>(dRed) / static_cast<float>(steps);
    const float incGreen = static_cast<float>(dGreen) / static_cast<float>(steps);
    const float incBlue = static_cast<float>(dBlue) / static_cast<float>(steps);
    if (lowColorDisplay) {
        // A gradient would only dither on such a display.
        steps = 1;
    }
    const float length = static_cast<float>(segment.Width()) / static_cast<float>(steps);

    std::vector<Band> bands;
    for (int i = 0; i < steps; ++i) {
        BarRange band{Spread(segment.left, i, length),
                      i == steps - 1 ? segment.right : Spread(segment.left, i + 1, length)};
        if (band.right < visible.left) {
            continue;
        }
        band.left = std::max(band.left, visible.left);
        band.right = std::min(band.right, visible.right);
        if (band.right > band.left) {
            const Color color =
                Rgb(Channel(RedOf(from), i, incRed), Channel(GreenOf(from), i, incGreen),
                    Channel(BlueOf(from), i, incBlue));
            bands.push_back(Band{band, color});
        }
        if (band.right >= visible.right) {
            break;
        }
    }
    return bands;
}

} // namespace tamsivo
