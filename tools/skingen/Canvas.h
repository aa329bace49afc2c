#pragma once

#include "skingen/Rgb.h"
#include "skingen/Shape.h"

#include <functional>
#include <vector>

namespace tamsivo::skingen {

// An RGB picture, row 0 at the top, that shapes are painted on with smoothed edges.
class Canvas {
public:
    // Colour of a paint at a point in picture coordinates.
    using Paint = std::function<Rgb(double x, double y)>;

    Canvas(int width, int height, Rgb background);

    int width() const { return width_; }
    int height() const { return height_; }
    Rgb at(int x, int y) const { return pixels_[index(x, y)]; }
    void set(int x, int y, Rgb colour) { pixels_[index(x, y)] = colour; }

    // Blends the colour over every pixel in proportion to how much of it the shape covers,
    // measured on a 4 x 4 grid of samples; opacity scales the blend.
    void fill(const Shape& shape, Rgb colour, double opacity = 1.0);
    void fill(const Shape& shape, const Paint& paint, double opacity = 1.0);

    // The share (0..1) of pixel (x, y) that the shape covers, on the same sample grid.
    static double coverage(const Shape& shape, int x, int y);

private:
    std::size_t index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
               static_cast<std::size_t>(x);
    }

    int width_;
    int height_;
    std::vector<Rgb> pixels_;
};

} // namespace tamsivo::skingen
