#include "skingen/SkinPainter.h"

#include "skingen/EmblemPainter.h"
#include "skingen/SkinLayout.h"
#include "skingen/SkinPalette.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace tamsivo::skingen {

namespace {

constexpr double kWidth = SkinLayout::kWidth;
constexpr double kHeight = SkinLayout::kHeight;
constexpr double kCornerRadius = 24;

// A fixed grain of -2..2 levels per pixel, so the housing reads as a matte moulding rather
// than a flat fill; a hash keeps it the same on every build.
int Grain(double x, double y) {
    std::uint32_t h =
        static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return static_cast<int>(h % 5u) - 2;
}

// A bar of the given length and thickness through a centre, turned by angle radians.
Shape Bar(double cx, double cy, double length, double thickness, double angle) {
    const double ux = std::cos(angle) * length / 2;
    const double uy = std::sin(angle) * length / 2;
    const double vx = -std::sin(angle) * thickness / 2;
    const double vy = std::cos(angle) * thickness / 2;
    return Shape::polygon({{cx - ux - vx, cy - uy - vy},
                           {cx + ux - vx, cy + uy - vy},
                           {cx + ux + vx, cy + uy + vy},
                           {cx - ux + vx, cy - uy + vy}});
}

// Light from the upper left: a recess shows a light lip on its lower right edge, then a dark
// rim, then its floor.
void PaintRecess(Canvas& canvas, const Box& box, double radius, Rgb rim, Rgb floor,
                 double rimWidth) {
    canvas.fill(Shape::roundedRect(box.moved(1, 1), radius), SkinPalette::kEdgeLight, 0.7);
    canvas.fill(Shape::roundedRect(box, radius), rim);
    canvas.fill(Shape::roundedRect(box.inflated(-rimWidth).moved(rimWidth / 2, rimWidth / 2),
                                   radius - rimWidth),
                floor);
}

} // namespace

Canvas SkinPainter::paint() {
    Canvas canvas(SkinLayout::kWidth, SkinLayout::kHeight, SkinPalette::kOutside);
    paintHousing(canvas);
    paintScrew(canvas, 20, 20);
    paintScrew(canvas, kWidth - 20, 20);
    paintScrew(canvas, 20, kHeight - 20);
    paintScrew(canvas, kWidth - 20, kHeight - 20);
    paintGrille(canvas);
    paintLamp(canvas, SkinLayout::displayField().right - 6, 36);
    paintDisplay(canvas);
    paintKeypad(canvas);
    return canvas;
}

void SkinPainter::paintHousing(Canvas& canvas) {
    const Box whole{0, 0, kWidth, kHeight};
    canvas.fill(Shape::roundedRect(whole, kCornerRadius), SkinPalette::kEdgeShadow);
    canvas.fill(Shape::roundedRect({1, 1, kWidth - 3, kHeight - 3}, kCornerRadius - 1),
                SkinPalette::kEdgeLight);
    canvas.fill(Shape::roundedRect({3, 3, kWidth - 1, kHeight - 1}, kCornerRadius - 1),
                SkinPalette::kEdgeShadow);
    canvas.fill(Shape::roundedRect({3, 3, kWidth - 3, kHeight - 3}, kCornerRadius - 3),
                [](double x, double y) {
                    const Rgb shade = SkinPalette::kHousingLight.mixedWith(
                        SkinPalette::kHousingDark, y / kHeight);
                    return shade.shifted(Grain(x, y));
                });
}

void SkinPainter::paintScrew(Canvas& canvas, double cx, double cy) {
    canvas.fill(Shape::circle({cx + 0.5, cy + 0.5}, 8), SkinPalette::kEdgeLight, 0.6);
    canvas.fill(Shape::circle({cx, cy}, 8), SkinPalette::kEdgeShadow);
    canvas.fill(Shape::circle({cx, cy}, 6.5), [cx, cy](double x, double y) {
        // Brighter towards the upper left, where the light comes from.
        const double toward = ((cx - x) + (cy - y)) / 13.0;
        return SkinPalette::kScrewHead.shifted(static_cast<int>(std::lround(toward * 40)));
    });
    const double turn = std::numbers::pi / 4;
    const Shape cross = Bar(cx, cy, 8, 1.6, turn).unitedWith(Bar(cx, cy, 8, 1.6, -turn));
    canvas.fill(cross, SkinPalette::kEdgeShadow);
}

void SkinPainter::paintGrille(Canvas& canvas) {
    constexpr int kSlots = 15;
    constexpr double kPitch = 9;
    constexpr double kSlotWidth = 4;
    const double left = (kWidth - (kSlots - 1) * kPitch - kSlotWidth) / 2;
    for (int i = 0; i < kSlots; ++i) {
        const double x = left + i * kPitch;
        PaintRecess(canvas, {x, 24, x + kSlotWidth, 48}, kSlotWidth / 2, SkinPalette::kEdgeShadow,
                    SkinPalette::kKeyField, 1);
    }
}

void SkinPainter::paintLamp(Canvas& canvas, double cx, double cy) {
    canvas.fill(Shape::circle({cx, cy}, 9), SkinPalette::kLampGlow, 0.12);
    canvas.fill(Shape::circle({cx, cy}, 6), SkinPalette::kEdgeShadow);
    canvas.fill(Shape::circle({cx, cy}, 4.5), [cx, cy](double x, double y) {
        const double distance = std::hypot(x - cx, y - cy) / 4.5;
        return SkinPalette::kLampGlow.mixedWith(Rgb{4, 70, 110}, distance * 0.8);
    });
    canvas.fill(Shape::circle({cx - 1.5, cy - 1.5}, 1.4), Rgb{230, 248, 255}, 0.8);
}

void SkinPainter::paintDisplay(Canvas& canvas) {
    const Box glass = SkinLayout::displayField();
    const Box bezel = glass.inflated(13);
    canvas.fill(Shape::roundedRect(bezel.moved(1, 1), 14), SkinPalette::kEdgeLight, 0.7);
    canvas.fill(Shape::roundedRect(bezel, 14), SkinPalette::kBezelRim);
    canvas.fill(Shape::roundedRect(bezel.inflated(-2), 12), SkinPalette::kBezel);
    canvas.fill(Shape::roundedRect(glass, 2), SkinPalette::kDisplay);
    EmblemPainter::paint(canvas, SkinLayout::emblemArea(), SkinPalette::kEmblem,
                         SkinPalette::kDisplay);
}

void SkinPainter::paintKeypad(Canvas& canvas) {
    const Box first = SkinLayout::toSkin(SkinLayout::kButtons.front());
    const Box last = SkinLayout::toSkin(SkinLayout::kButtons.back());
    const Box panel = Box{first.left, first.top, last.right, last.bottom}.inflated(8);
    PaintRecess(canvas, panel, 10, SkinPalette::kEdgeShadow, SkinPalette::kKeypad, 2);
    for (const DialogRect& button : SkinLayout::kButtons) {
        const Box field = SkinLayout::toSkin(button).inflated(1);
        canvas.fill(Shape::roundedRect(field, 4), SkinPalette::kKeyField);
    }
}

} // namespace tamsivo::skingen
