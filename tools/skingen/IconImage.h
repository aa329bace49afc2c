#pragma once

#include "skingen/Rgb.h"

#include <array>
#include <cstdint>
#include <vector>

namespace tamsivo::skingen {

// A square 16-colour icon image: a palette index and a transparency flag per pixel, row 0 at
// the top.
struct IconImage {
    int size = 0;
    std::array<Rgb, 16> palette{};
    std::vector<std::uint8_t> indices;
    std::vector<bool> transparent;
};

} // namespace tamsivo::skingen
