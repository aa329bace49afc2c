#pragma once

#include <cstdint>

namespace tamsivo {

// A colour in the layout of the Win32 COLORREF (0x00BBGGRR: red in the low byte), so that the
// window code can hand it to GDI unchanged.
using Color = std::uint32_t;

constexpr Color Rgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    return static_cast<Color>(red) | (static_cast<Color>(green) << 8) |
           (static_cast<Color>(blue) << 16);
}

constexpr std::uint8_t RedOf(Color color) {
    return static_cast<std::uint8_t>(color & 0xFF);
}
constexpr std::uint8_t GreenOf(Color color) {
    return static_cast<std::uint8_t>((color >> 8) & 0xFF);
}
constexpr std::uint8_t BlueOf(Color color) {
    return static_cast<std::uint8_t>((color >> 16) & 0xFF);
}

} // namespace tamsivo
