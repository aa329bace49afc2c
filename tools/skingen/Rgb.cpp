#include "skingen/Rgb.h"

#include <algorithm>
#include <cmath>

namespace tamsivo::skingen {

namespace {

std::uint8_t Channel(double value) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

} // namespace

Rgb Rgb::mixedWith(Rgb other, double t) const {
    return {Channel(r + (other.r - r) * t), Channel(g + (other.g - g) * t),
            Channel(b + (other.b - b) * t)};
}

Rgb Rgb::shifted(int delta) const {
    return {Channel(r + delta), Channel(g + delta), Channel(b + delta)};
}

} // namespace tamsivo::skingen
