#pragma once

#include "skingen/Box.h"
#include "skingen/Point.h"

#include <functional>
#include <optional>
#include <vector>

namespace tamsivo::skingen {

// A region of the plane: a bounding box and an inside test, composable by union and difference.
class Shape {
public:
    using InsideTest = std::function<bool(double x, double y)>;

    // core, when given, is a box wholly inside the shape: pixels within it need no sampling.
    Shape(Box bounds, InsideTest inside, std::optional<Box> core = std::nullopt);

    static Shape rect(Box box);
    static Shape roundedRect(Box box, double radius);
    static Shape ellipse(Point center, double radiusX, double radiusY);
    static Shape circle(Point center, double radius) { return ellipse(center, radius, radius); }
    // A simple polygon by the even-odd rule; the last point joins the first.
    static Shape polygon(std::vector<Point> points);

    Shape unitedWith(const Shape& other) const;
    Shape minus(const Shape& other) const;

    const Box& bounds() const { return bounds_; }
    const std::optional<Box>& core() const { return core_; }
    bool contains(double x, double y) const { return inside_(x, y); }

private:
    Box bounds_;
    InsideTest inside_;
    std::optional<Box> core_;
};

} // namespace tamsivo::skingen
