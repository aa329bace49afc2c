#pragma once

#include <cstdint>
#include <string_view>

namespace tamsivo {

// DrawText flags (the values of DT_CENTER and so on).
inline constexpr std::uint32_t kDtCenter = 0x01;
inline constexpr std::uint32_t kDtRight = 0x02;
inline constexpr std::uint32_t kDtVCenter = 0x04;
inline constexpr std::uint32_t kDtWordBreak = 0x10;
inline constexpr std::uint32_t kDtSingleLine = 0x20;
inline constexpr std::uint32_t kDtExpandTabs = 0x40;

// Static control styles (the values of SS_CENTER and so on); the low five bits are the type.
inline constexpr std::uint32_t kSsTypeMask = 0x1F;
inline constexpr std::uint32_t kSsLeft = 0x00;
inline constexpr std::uint32_t kSsCenter = 0x01;
inline constexpr std::uint32_t kSsRight = 0x02;
inline constexpr std::uint32_t kSsLeftNoWordWrap = 0x0C;
inline constexpr std::uint32_t kSsNotify = 0x0100;
inline constexpr std::uint32_t kSsCenterImage = 0x0200;

// How a skinned label lays its text out, from its static control style, as DrawText flags.
class LabelTextFormat {
public:
    // Text wraps at words unless the type is "left, no word wrap"; tabs expand. A centred-image
    // label shows its text centred; a single line (no "\r\n") is centred vertically as well.
    static std::uint32_t For(std::uint32_t style, std::string_view text);
};

} // namespace tamsivo
