#pragma once

#include "skingen/CursorImage.h"

#include <cstdint>
#include <vector>

namespace tamsivo::skingen {

// A cursor as a .cur file: one 1-bit image with its hot spot in the directory entry.
class CursorFile {
public:
    static std::vector<std::uint8_t> encode(const CursorImage& image);
};

} // namespace tamsivo::skingen
