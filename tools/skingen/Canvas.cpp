#include "skingen/Canvas.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace tamsivo::skingen {

namespace {

constexpr int kSamplesPerAxis = 4;

} // namespace

Canvas::Canvas(int width, int height, Rgb background)
    : width_(width), height_(height),
      pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), background) {
    if (width <= 0 || height <= 0) {
        throw std::invalid_argument("canvas size " + std::to_string(width) + " x " +
                                    std::to_string(height) + " is empty");
    }
}

void Canvas::fill(const Shape& shape, Rgb colour, double opacity) {
    fill(
        shape, [colour](double, double) { return colour; }, opacity);
}

void Canvas::fill(const Shape& shape, const Paint& paint, double opacity) {
    const Box& box = shape.bounds();
    const int left = std::max(0, static_cast<int>(std::floor(box.left)));
    const int top = std::max(0, static_cast<int>(std::floor(box.top)));
    const int right = std::min(width_, static_cast<int>(std::ceil(box.right)));
    const int bottom = std::min(height_, static_cast<int>(std::ceil(box.bottom)));
    for (int y = top; y < bottom; ++y) {
        for (int x = left; x < right; ++x) {
            const double share = coverage(shape, x, y) * opacity;
            if (share > 0) {
                set(x, y, at(x, y).mixedWith(paint(x + 0.5, y + 0.5), share));
            }
        }
    }
}

double Canvas::coverage(const Shape& shape, int x, int y) {
    if (const auto& core = shape.core(); core && x >= core->left && x + 1 <= core->right &&
                                         y >= core->top && y + 1 <= core->bottom) {
        return 1.0;
    }
    int hits = 0;
    for (int sy = 0; sy < kSamplesPerAxis; ++sy) {
        for (int sx = 0; sx < kSamplesPerAxis; ++sx) {
            if (shape.contains(x + (sx + 0.5) / kSamplesPerAxis,
                               y + (sy + 0.5) / kSamplesPerAxis)) {
                ++hits;
            }
        }
    }
    return static_cast<double>(hits) / (kSamplesPerAxis * kSamplesPerAxis);
}

} // namespace tamsivo::skingen
