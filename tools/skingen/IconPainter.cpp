#include "skingen/IconPainter.h"

#include <stdexcept>
#include <string>
#include <string_view>

namespace tamsivo::skingen {

namespace {

// Index 0 must stay black: the pixels the mask makes transparent use it, so that the screen
// under them is left as it is rather than inverted. Entries 4 to 15 are not used.
constexpr std::array<Rgb, 16> kPalette{Rgb{0, 0, 0}, Rgb{4, 64, 96}, Rgb{8, 181, 247},
                                       Rgb{64, 64, 64}};

// Drawn pixel by pixel, because at these sizes smoothed edges only blur the chip's pins:
// ' ' transparent, 'R' the tile's rim, 'B' display glass, 'D' the chip.
constexpr std::array<std::string_view, 32> kLarge{
    "    RRRRRRRRRRRRRRRRRRRRRRRR    ", "  RRBBBBBBBBBBBBBBBBBBBBBBBBRR  ",
    " RBBBBBBBBBBBBBBBBBBBBBBBBBBBBR ", " RBBBBBBBDDBBDDBBDDBBDDBBBBBBBR ",
    "RBBBBBBBBDDBBDDBBDDBBDDBBBBBBBBR", "RBBBBBBBBDDBBDDBBDDBBDDBBBBBBBBR",
    "RBBBBBBBBDDBBDDBBDDBBDDBBBBBBBBR", "RBBBBBBBDDDDDDDDDDDDDDDDBBBBBBBR",
    "RBBBBBBDDDDDDDDDDDDDDDDDDBBBBBBR", "RBBDDDDDDBBDDDDDDBBBBDDDDDDDDBBR",
    "RBBDDDDDDBBDDDDDBBBBDDDDDDDDDBBR", "RBBBBBBDDDDDDDDBBBBDDDDDDBBBBBBR",
    "RBBBBBBDDDDDDDBBBBDDDDDDDBBBBBBR", "RBBDDDDDDDDDDBBBBDDDDDDDDDDDDBBR",
    "RBBDDDDDDDDDBBBBBBBBBDDDDDDDDBBR", "RBBBBBBDDDDBBBBBBBBBDDDDDBBBBBBR",
    "RBBBBBBDDDDDDDDBBBBDDDDDDBBBBBBR", "RBBDDDDDDDDDDDBBBBDDDDDDDDDDDBBR",
    "RBBDDDDDDDDDDBBBBDDDDDDDDDDDDBBR", "RBBBBBBDDDDDDBBBDDDDDDDDDBBBBBBR",
    "RBBBBBBDDDDDBBBDDDDDDDDDDBBBBBBR", "RBBDDDDDDDDDBBDDDDDDDDDDDDDDDBBR",
    "RBBDDDDDDDDDBDDDDDDDDDDDDDDDDBBR", "RBBBBBBDDDDDDDDDDDDDDDDDDBBBBBBR",
    "RBBBBBBBDDDDDDDDDDDDDDDDBBBBBBBR", "RBBBBBBBBDDBBDDBBDDBBDDBBBBBBBBR",
    "RBBBBBBBBDDBBDDBBDDBBDDBBBBBBBBR", "RBBBBBBBBDDBBDDBBDDBBDDBBBBBBBBR",
    " RBBBBBBBDDBBDDBBDDBBDDBBBBBBBR ", " RBBBBBBBBBBBBBBBBBBBBBBBBBBBBR ",
    "  RRBBBBBBBBBBBBBBBBBBBBBBBBRR  ", "    RRRRRRRRRRRRRRRRRRRRRRRR    ",
};

constexpr std::array<std::string_view, 16> kSmall{
    " RRRRRRRRRRRRRR ", "RRBBBBBBBBBBBBRR", "RBBBBDDBBDDBBBBR", "RBBBBDDBBDDBBBBR",
    "RBBBDDDDDDDDBBBR", "RBDDDDDDBBDDDDBR", "RBDDDDDBBDDDDDBR", "RBBBDDBBBBDDBBBR",
    "RBBBDDDBBDDDBBBR", "RBDDDDBBDDDDDDBR", "RBDDDDBDDDDDDDBR", "RBBBDDDDDDDDBBBR",
    "RBBBBDDBBDDBBBBR", "RBBBBDDBBDDBBBBR", "RRBBBBBBBBBBBBRR", " RRRRRRRRRRRRRR ",
};

std::uint8_t IndexOf(char pixel) {
    switch (pixel) {
    case 'R':
        return 1;
    case 'B':
        return 2;
    case 'D':
        return 3;
    default:
        return 0;
    }
}

} // namespace

const std::array<Rgb, 16>& IconPainter::palette() {
    return kPalette;
}

IconImage IconPainter::paint(int size) {
    const std::string_view* rows = nullptr;
    if (size == static_cast<int>(kLarge.size())) {
        rows = kLarge.data();
    } else if (size == static_cast<int>(kSmall.size())) {
        rows = kSmall.data();
    } else {
        throw std::invalid_argument("no icon image of size " + std::to_string(size));
    }
    IconImage image;
    image.size = size;
    image.palette = kPalette;
    for (int y = 0; y < size; ++y) {
        for (const char pixel : rows[y]) {
            image.indices.push_back(IndexOf(pixel));
            image.transparent.push_back(pixel == ' ');
        }
    }
    return image;
}

} // namespace tamsivo::skingen
