#pragma once

#include "skingen/IconImage.h"

namespace tamsivo::skingen {

// The application icon: the emblem, a chip with a lightning bolt, on a rounded tile of display
// glass, in 16 colours.
class IconPainter {
public:
    // The image of size x size pixels: 32 or 16, the sizes the program carries.
    static IconImage paint(int size);
    static const std::array<Rgb, 16>& palette();
};

} // namespace tamsivo::skingen
