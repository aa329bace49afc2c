#pragma once

#include "skingen/Canvas.h"

#include <cstdint>
#include <vector>

namespace tamsivo::skingen {

// A canvas as a Windows bitmap file: 24 bits per pixel, uncompressed, rows bottom-up.
class BmpFile {
public:
    static std::vector<std::uint8_t> encode(const Canvas& canvas);
};

} // namespace tamsivo::skingen
