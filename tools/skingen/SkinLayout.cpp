#include "skingen/SkinLayout.h"

namespace tamsivo::skingen {

namespace {

// Dialog units to pixels for "MS Sans Serif" 8 at 96 dots per inch, whose dialog base units are
// 6 x 13 pixels: Windows maps x by 6/4 and y by 13/8 and rounds like MulDiv.
int PixelsX(int units) {
    return (units * 6 + 2) / 4;
}
int PixelsY(int units) {
    return (units * 13 + 4) / 8;
}

} // namespace

Box SkinLayout::toSkin(DialogRect rect) {
    const double scaleX = static_cast<double>(kWidth) / PixelsX(kDialog.width);
    const double scaleY = static_cast<double>(kHeight) / PixelsY(kDialog.height);
    return {PixelsX(rect.x) * scaleX, PixelsY(rect.y) * scaleY,
            PixelsX(rect.x + rect.width) * scaleX, PixelsY(rect.y + rect.height) * scaleY};
}

} // namespace tamsivo::skingen
