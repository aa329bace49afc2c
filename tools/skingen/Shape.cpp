#include "skingen/Shape.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

namespace tamsivo::skingen {

Shape::Shape(Box bounds, InsideTest inside, std::optional<Box> core)
    : bounds_(bounds), inside_(std::move(inside)), core_(core) {}

Shape Shape::rect(Box box) {
    return Shape(
        box,
        [box](double x, double y) {
            return x >= box.left && x < box.right && y >= box.top && y < box.bottom;
        },
        box);
}

Shape Shape::roundedRect(Box box, double radius) {
    const double r = std::min({radius, box.width() / 2, box.height() / 2});
    const Box core{box.left, box.top + r, box.right, box.bottom - r};
    return Shape(
        box,
        [box, r](double x, double y) {
            if (x < box.left || x >= box.right || y < box.top || y >= box.bottom) {
                return false;
            }
            // Only the four corner squares are cut, each by its quarter circle.
            const double cx = std::clamp(x, box.left + r, box.right - r);
            const double cy = std::clamp(y, box.top + r, box.bottom - r);
            const double dx = x - cx;
            const double dy = y - cy;
            return dx * dx + dy * dy <= r * r;
        },
        core);
}

Shape Shape::ellipse(Point center, double radiusX, double radiusY) {
    const Box box{center.x - radiusX, center.y - radiusY, center.x + radiusX, center.y + radiusY};
    return Shape(box, [center, radiusX, radiusY](double x, double y) {
        const double dx = (x - center.x) / radiusX;
        const double dy = (y - center.y) / radiusY;
        return dx * dx + dy * dy <= 1.0;
    });
}

Shape Shape::polygon(std::vector<Point> points) {
    if (points.size() < 3) {
        throw std::invalid_argument("a polygon needs 3 points, got " +
                                    std::to_string(points.size()));
    }
    Box box{points.front().x, points.front().y, points.front().x, points.front().y};
    for (const Point& p : points) {
        box.left = std::min(box.left, p.x);
        box.top = std::min(box.top, p.y);
        box.right = std::max(box.right, p.x);
        box.bottom = std::max(box.bottom, p.y);
    }
    return Shape(box, [points = std::move(points)](double x, double y) {
        bool inside = false;
        for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
            const Point& a = points[i];
            const Point& b = points[j];
            if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) {
                inside = !inside;
            }
        }
        return inside;
    });
}

Shape Shape::unitedWith(const Shape& other) const {
    const Box box{std::min(bounds_.left, other.bounds_.left),
                  std::min(bounds_.top, other.bounds_.top),
                  std::max(bounds_.right, other.bounds_.right),
                  std::max(bounds_.bottom, other.bounds_.bottom)};
    return Shape(box, [first = inside_, second = other.inside_](double x, double y) {
        return first(x, y) || second(x, y);
    });
}

Shape Shape::minus(const Shape& other) const {
    return Shape(bounds_, [first = inside_, second = other.inside_](double x, double y) {
        return first(x, y) && !second(x, y);
    });
}

} // namespace tamsivo::skingen
