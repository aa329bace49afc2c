#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tamsivo::test {

// Writes 24-bit pictures as PNG files for people to look at. The image data is stored
// uncompressed (deflate "stored" blocks): galleries are small and this needs no zlib.
class PngWriter {
public:
    // `bgra` holds width * height pixels, top row first, 4 bytes each as a 32-bit DIB section
    // lays them out (blue, green, red, unused).
    static bool Write(const std::wstring& path, int width, int height,
                      const std::vector<std::uint32_t>& bgra);
};

} // namespace tamsivo::test
