#pragma once

namespace tamsivo {

// A point in the layout of the Win32 POINT.
struct Point {
    int x = 0;
    int y = 0;

    friend constexpr bool operator==(const Point&, const Point&) = default;
};

} // namespace tamsivo
