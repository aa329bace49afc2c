#include "controls/LabelTextFormat.h"

namespace tamsivo {

std::uint32_t LabelTextFormat::For(std::uint32_t style, std::string_view text) {
    std::uint32_t flags = 0;
    switch (style & kSsTypeMask) {
    case kSsCenter:
        flags = kDtCenter | kDtWordBreak;
        break;
    case kSsRight:
        flags = kDtRight | kDtWordBreak;
        break;
    case kSsLeftNoWordWrap:
        flags = 0;
        break;
    default:
        flags = kDtWordBreak;
        break;
    }
    if (text.find('\t') != std::string_view::npos) {
        flags |= kDtExpandTabs;
    }
    if ((style & kSsCenterImage) != 0) {
        flags = kDtCenter;
        if (text.find("\r\n") == std::string_view::npos) {
            flags |= kDtVCenter | kDtSingleLine;
        }
    }
    return flags;
}

} // namespace tamsivo
