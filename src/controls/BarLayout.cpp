#include "controls/BarLayout.h"

#include "controls/ProgressStyle.h"

namespace tamsivo {

namespace {

int Scale(int value, int lower, int upper, int length) {
    // Floating point, so that neither the product overflows nor the ratio rounds too early.
    const double scaled =
        (static_cast<double>(value) - lower) * length / (static_cast<double>(upper) - lower);
    return static_cast<int>(scaled);
}

} // namespace

bool BarLayout::Vertical() const {
    return (style_ & kProgressVertical) != 0;
}

int BarLayout::Length() const {
    return Vertical() ? inner_.Height() : inner_.Width();
}

bool BarLayout::ShowsBar(int position, int lower, int upper) {
    return position >= lower && position <= upper;
}

BarRange BarLayout::FilledRange(int position, int lower, int upper, int segmentTail) const {
    if (lower == upper) {
        return BarRange{};
    }
    const int length = Length();
    const int start = (style_ & PPB_BOUNCE) != 0 ? Scale(segmentTail, lower, upper, length) : 0;
    return BarRange{start, Scale(position, lower, upper, length)};
}

Rect BarLayout::RangeToRect(const BarRange& range) const {
    Rect rect = inner_;
    const bool reversed = (style_ & PPB_REVERSE) != 0;
    if (Vertical()) {
        rect.top =
            reversed ? inner_.top + range.left : inner_.top + (inner_.Height() - range.right);
        rect.bottom = rect.top + range.Width();
    } else {
        rect.left =
            reversed ? inner_.left + (inner_.Width() - range.right) : inner_.left + range.left;
        rect.right = rect.left + range.Width();
    }
    return rect;
}

} // namespace tamsivo
