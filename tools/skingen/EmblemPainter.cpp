#include "skingen/EmblemPainter.h"

#include <algorithm>
#include <vector>

namespace tamsivo::skingen {

void EmblemPainter::paint(Canvas& canvas, const Box& area, Rgb bodyColour, Rgb boltColour) {
    constexpr int kPinsPerSide = 4;
    const double size = std::min(area.width(), area.height());
    const double pinLength = size * 0.16;
    const double pinWidth = size * 0.075;
    const Box body = area.inflated(-pinLength);

    // Each pin runs the area's full width or height; the body covers their middles.
    const double step = body.width() / (kPinsPerSide + 1);
    const double half = pinWidth / 2;
    const double round = pinWidth / 3;
    for (int i = 1; i <= kPinsPerSide; ++i) {
        const double x = body.left + step * i;
        const double y = body.top + step * i;
        canvas.fill(Shape::roundedRect({x - half, area.top, x + half, area.bottom}, round),
                    bodyColour);
        canvas.fill(Shape::roundedRect({area.left, y - half, area.right, y + half}, round),
                    bodyColour);
    }
    canvas.fill(Shape::roundedRect(body, size * 0.07), bodyColour);

    // The bolt in unit coordinates of the body: down-left to a step, then on to the tip.
    const std::vector<Point> unitBolt{{0.64, 0.10}, {0.27, 0.56}, {0.47, 0.56},
                                      {0.36, 0.90}, {0.73, 0.42}, {0.53, 0.42}};
    std::vector<Point> bolt;
    for (const Point& p : unitBolt) {
        bolt.push_back({body.left + p.x * body.width(), body.top + p.y * body.height()});
    }
    canvas.fill(Shape::polygon(bolt), boltColour);

    canvas.fill(Shape::circle({body.left + body.width() * 0.17, body.top + body.height() * 0.17},
                              body.width() * 0.055),
                boltColour);
}

} // namespace tamsivo::skingen
