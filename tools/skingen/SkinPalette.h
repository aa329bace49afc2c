#pragma once

#include "skingen/Rgb.h"

namespace tamsivo::skingen {

// The skin's colours. The glass and the dark grey match the colours the program paints its
// labels, captions and progress bar in, so that the controls sit on the skin without seams.
struct SkinPalette {
    static constexpr Rgb kOutside{0, 0, 0};
    static constexpr Rgb kHousing{64, 64, 64};
    static constexpr Rgb kHousingLight{74, 74, 74};
    static constexpr Rgb kHousingDark{54, 54, 54};
    static constexpr Rgb kEdgeLight{104, 104, 104};
    static constexpr Rgb kEdgeShadow{30, 30, 30};
    static constexpr Rgb kBezel{4, 4, 4};
    static constexpr Rgb kBezelRim{22, 22, 22};
    static constexpr Rgb kDisplay{8, 181, 247};
    static constexpr Rgb kEmblem{64, 64, 64};
    static constexpr Rgb kKeypad{40, 40, 40};
    static constexpr Rgb kKeyField{16, 16, 16};
    static constexpr Rgb kScrewHead{120, 120, 120};
    static constexpr Rgb kLampGlow{10, 180, 250};
};

} // namespace tamsivo::skingen
