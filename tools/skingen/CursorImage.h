#pragma once

#include <vector>

namespace tamsivo::skingen {

// A monochrome cursor: every pixel black, white or transparent, row 0 at the top.
struct CursorImage {
    enum class Pixel { Transparent, Black, White };

    int size = 0;
    int hotSpotX = 0;
    int hotSpotY = 0;
    std::vector<Pixel> pixels;
};

} // namespace tamsivo::skingen
