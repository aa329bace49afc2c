#pragma once

#include <cstdint>

namespace tamsivo {

// Window-style bits of the percent progress bar. The standard progress control ignores all but
// the vertical bit, which is its own PBS_VERTICAL.
inline constexpr std::uint32_t kProgressVertical = 0x0004;
inline constexpr std::uint32_t PPB_TEXT_PERCENT = 0x0100;  // default format "%d%%"
inline constexpr std::uint32_t PPB_TEXT_POSITION = 0x0200; // default format "%d"
inline constexpr std::uint32_t PPB_TEXT_ON_BAR = 0x1000;   // text only on the filled part
inline constexpr std::uint32_t PPB_STRETCH_GRADIENT = 0x2000;
inline constexpr std::uint32_t PPB_REVERSE = 0x4000; // grows from the right, or from the top
inline constexpr std::uint32_t PPB_BOUNCE = 0x8000;  // a travelling segment
inline constexpr std::uint32_t kProgressTextBits = PPB_TEXT_PERCENT | PPB_TEXT_POSITION;

} // namespace tamsivo
