#pragma once

#include <cstddef>
#include <cstdint>

namespace tamsivo {

// Field for field the Win32 RGBQUAD: a colour-table entry stored blue first.
struct DibPaletteEntry {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;
};

static_assert(sizeof(DibPaletteEntry) == 4, "GDI expects 4-byte colour-table entries");
static_assert(offsetof(DibPaletteEntry, green) == 1 && offsetof(DibPaletteEntry, red) == 2);

} // namespace tamsivo
