#pragma once

namespace tamsivo {

// A stretch along a progress bar, from 0 at the bar's start to its length at the end; right is
// exclusive.
struct BarRange {
    int left = 0;
    int right = 0;

    constexpr int Width() const { return right - left; }
    constexpr bool Empty() const { return left == right; }
    friend constexpr bool operator==(const BarRange&, const BarRange&) = default;
};

} // namespace tamsivo
