#pragma once

#include <cstddef>
#include <cstdint>

namespace tamsivo {

// Field for field the Win32 BITMAPINFOHEADER, so that a block that starts with it can be handed
// to SetDIBitsToDevice or StretchDIBits as a BITMAPINFO without copying.
struct DibHeader {
    std::uint32_t size = 40;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0;
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;
};

static_assert(sizeof(DibHeader) == 40, "GDI expects a 40-byte header");
static_assert(offsetof(DibHeader, width) == 4 && offsetof(DibHeader, height) == 8);
static_assert(offsetof(DibHeader, planes) == 12 && offsetof(DibHeader, bitCount) == 14);
static_assert(offsetof(DibHeader, compression) == 16 && offsetof(DibHeader, sizeImage) == 20);
static_assert(offsetof(DibHeader, clrUsed) == 32 && offsetof(DibHeader, clrImportant) == 36);

} // namespace tamsivo
