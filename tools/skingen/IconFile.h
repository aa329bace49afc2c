#pragma once

#include "skingen/IconImage.h"

#include <cstdint>
#include <vector>

namespace tamsivo::skingen {

// Icon images as an .ico file: the icon directory, then per image a 4-bit device-independent
// bitmap of double height (colour rows, then the 1-bit transparency mask).
class IconFile {
public:
    static std::vector<std::uint8_t> encode(const std::vector<IconImage>& images);
};

} // namespace tamsivo::skingen
