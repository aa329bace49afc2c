#include "controls/BarText.h"

#include "controls/ProgressStyle.h"

#include <cstdio>

namespace tamsivo {

namespace {

// With centre-bottom alignment, an anchor half the box's shift past the centre of `rect` puts
// the text's middle on the middle of `rect`.
Point CentredAnchor(const Rect& rect, const BarText::Box& box) {
    return Point{rect.left + (rect.Width() + box.shiftX) / 2,
                 rect.top + (rect.Height() + box.shiftY) / 2};
}

} // namespace

std::optional<BarText::Content> BarText::Resolve(std::uint32_t style, std::string_view windowText,
                                                 int position, int lower, int upper) {
    const std::uint32_t mode = style & kProgressTextBits;
    if (mode == 0) {
        return std::nullopt;
    }
    Content content{std::string(windowText), 0};
    if (mode == PPB_TEXT_PERCENT) {
        if (content.format.empty()) {
            content.format = "%d%%";
        }
        if (upper != lower) {
            content.value = static_cast<int>((static_cast<double>(position) - lower) * 100 /
                                             (static_cast<double>(upper) - lower));
        }
    } else if (mode == PPB_TEXT_POSITION) {
        if (content.format.empty()) {
            content.format = "%d";
        }
        content.value = position;
    }
    if (content.format.empty()) {
        return std::nullopt;
    }
    return content;
}

std::string BarText::Format(const Content& content) {
    const int length = std::snprintf(nullptr, 0, content.format.c_str(), content.value);
    if (length <= 0) {
        return std::string();
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), content.format.c_str(), content.value);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

BarText::Box BarText::BoxFor(int angle, int cx, int cy) {
    switch (angle) {
    case 0:
        return Box{cx, cy, 0, cy};
    case 90:
        return Box{cy, cx, cy, 0};
    case 180:
        return Box{cx, cy, 0, -cy};
    case 270:
        return Box{cy, cx, -cy, 0};
    default:
        return Box{};
    }
}

BarText::Placement BarText::Place(const BarLayout& layout, const BarRange& full,
                                  const BarRange& filled, const Box& box, bool sameColors) {
    Placement placement;
    // At most three pieces; reserving them also spares GCC 12 a false stringop-overflow alarm
    // about the growing vector.
    placement.pieces.reserve(3);
    if ((layout.Style() & PPB_TEXT_ON_BAR) != 0) {
        const int extent = layout.Vertical() ? box.height : box.width;
        // The text sits on the filled part only once it fits there.
        if (extent <= filled.Width()) {
            placement.viewportOrigin = CentredAnchor(layout.RangeToRect(filled), box);
            placement.pieces.push_back(Piece{filled, true});
        }
        return placement;
    }

    placement.viewportOrigin = CentredAnchor(layout.Inner(), box);
    if (sameColors) {
        placement.pieces.push_back(Piece{full, true});
        return placement;
    }
    if (!filled.Empty()) {
        placement.pieces.push_back(Piece{filled, true});
    }
    if (full.right > filled.right) {
        placement.pieces.push_back(Piece{BarRange{filled.right, full.right}, false});
    }
    // Only a bouncing segment leaves room before the filled part.
    if (full.left < filled.left) {
        placement.pieces.push_back(Piece{BarRange{full.left, filled.left}, false});
    }
    return placement;
}

} // namespace tamsivo
