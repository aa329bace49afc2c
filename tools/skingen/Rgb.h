#pragma once

#include <cstdint>

namespace tamsivo::skingen {

// One 24-bit colour, red first (the order people write colours in, not the BMP's byte order).
struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    friend constexpr bool operator==(const Rgb&, const Rgb&) = default;

    // The colour a fraction t of the way from this one to other, rounded to the nearest level.
    Rgb mixedWith(Rgb other, double t) const;
    // Every channel moved by delta levels, held inside 0..255.
    Rgb shifted(int delta) const;
    // Perceived brightness, 0..255 (Rec. 601 weights).
    double luma() const { return 0.299 * r + 0.587 * g + 0.114 * b; }
};

} // namespace tamsivo::skingen
