#pragma once

#include <cstdint>

namespace tamsivo {

// Shading patterns of the button faces. Any value outside 1 ... 8 gives TextureNoise.
enum TextureStyle : std::int32_t {
    TextureNoise = 0,
    TextureDiagonal = 1,       // light top left, dark bottom right
    TextureVerticalRamp = 2,   // dark at the bottom, light at the top
    TextureHorizontalRamp = 3, // light at the left, dark at the right
    TextureHorizontalBump = 4, // a cubic bulge from bottom to top
    TextureVerticalBump = 5,   // a cubic bulge from right to left
    TextureSoftBump = 6,       // both bulges: a pillow, flat in the middle
    TextureHardBump = 7,       // a horizontal bulge with rounded side bevels
    TextureBrushedMetal = 8,   // random diagonal strokes over a diagonal ramp
};

} // namespace tamsivo
