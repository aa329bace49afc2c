#pragma once

namespace tamsivo::skingen {

// A point in picture coordinates: pixel (x, y) covers [x, x + 1) x [y, y + 1).
struct Point {
    double x = 0;
    double y = 0;
};

} // namespace tamsivo::skingen
