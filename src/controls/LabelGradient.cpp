#include "controls/LabelGradient.h"

namespace tamsivo {

namespace {

// One colour channel in 8.8 fixed point, stepped once per band.
struct Channel {
    int accumulator;
    int step;

    Channel(int from, int to, int divisor)
        : accumulator(from * 256), step((to - from) * 256 / divisor) {}

    std::uint8_t Value() const { return static_cast<std::uint8_t>((accumulator / 256) & 0xFF); }
};

} // namespace

std::vector<LabelGradient::Band> LabelGradient::Bands(int left, int right, Color from, Color to,
                                                      int bandLimit) {
    const int width = right - left;
    const int count = (width < bandLimit) ? width : bandLimit;
    const int divisor = (count > 1) ? count : 1;
    Channel red(RedOf(from), RedOf(to), divisor);
    Channel green(GreenOf(from), GreenOf(to), divisor);
    Channel blue(BlueOf(from), BlueOf(to), divisor);
    const int bandWidth = width / divisor;

    std::vector<Band> bands;
    int x = left;
    for (int i = 0; i < count; ++i) {
        const int xEnd = (i == count - 1) ? right : x + bandWidth;
        bands.push_back(Band{x, xEnd, Rgb(red.Value(), green.Value(), blue.Value())});
        x = xEnd;
        for (Channel* channel : {&red, &green, &blue}) {
            channel->accumulator += channel->step;
        }
    }
    return bands;
}

} // namespace tamsivo
