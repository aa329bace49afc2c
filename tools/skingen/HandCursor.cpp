#include "skingen/HandCursor.h"

#include <array>
#include <stdexcept>
#include <string_view>

namespace tamsivo::skingen {

namespace {

// '#' black outline, '.' white, anything else transparent; the rows not drawn are transparent.
constexpr std::array<std::string_view, 23> kHand{
    "     ###",           "    #...#",          "    #...#",          "    #...#",
    "    #...#",          "    #...###",        "    #...#..###",     "    #...#..#..##",
    "    #...#..#..#.#",  " ## #...#..#..#..#", "#..##...#..#..#..#", "#...#............#",
    " #..#............#", " #...............#", "  #..............#", "  #.............#",
    "   #............#",  "   #............#",  "    #..........#",   "    #..........#",
    "     #........#",    "     #........#",    "     ##########",
};

constexpr int kSize = 32;

} // namespace

CursorImage HandCursor::make() {
    CursorImage image;
    image.size = kSize;
    image.hotSpotX = 6;
    image.hotSpotY = 0;
    image.pixels.assign(kSize * kSize, CursorImage::Pixel::Transparent);
    for (std::size_t y = 0; y < kHand.size(); ++y) {
        if (kHand[y].size() > static_cast<std::size_t>(kSize)) {
            throw std::logic_error("hand cursor row " + std::to_string(y) + " is too wide");
        }
        for (std::size_t x = 0; x < kHand[y].size(); ++x) {
            auto& pixel = image.pixels[y * kSize + x];
            if (kHand[y][x] == '#') {
                pixel = CursorImage::Pixel::Black;
            } else if (kHand[y][x] == '.') {
                pixel = CursorImage::Pixel::White;
            }
        }
    }
    return image;
}

} // namespace tamsivo::skingen
