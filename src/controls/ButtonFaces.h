#pragma once

#include "controls/Color.h"
#include "controls/DibSurface.h"
#include "controls/FaceRandom.h"

#include <cstdint>

namespace tamsivo {

// The six pictures a skinned push button draws: its faces for the normal, hover, pressed and
// disabled states and the dotted strips of its focus rectangle. Built once for a button size;
// nothing rebuilds them when the button is resized or the system colours change.
class ButtonFaces {
public:
    // The system's COLOR_BTNHIGHLIGHT, COLOR_BTNFACE and COLOR_BTNSHADOW.
    struct SystemColors {
        Color highlight = 0;
        Color face = 0;
        Color shadow = 0;
    };

    // Grain, hover highlight and tint percentage use their low 8 bits only.
    struct Texture {
        std::int32_t style = 0;
        int grain = 0;
        int hoverHighlight = 0;
        int tintPercent = 0;
        Color tintColor = 0;
    };

    // width and height: the button's window size; focusMargin: the inset of its focus rectangle.
    // A face whose allocation fails stays empty, for the button to fall back to a plain fill.
    void Build(int width, int height, std::int16_t focusMargin, const SystemColors& colors,
               const Texture& texture, const RandomSource& random = RandomSource(FaceRandom));

    const DibSurface& Normal() const { return normal_; }
    // The same picture as the normal face: the caption shows the disabled state.
    const DibSurface& Disabled() const { return disabled_; }
    // The normal face brightened towards the highlight colour.
    const DibSurface& Hover() const { return hover_; }
    // The same picture as the hover face; the button draws it one pixel lower and further right.
    const DibSurface& Pressed() const { return pressed_; }
    // max(1, width - 2 * focusMargin - 1) x 1 pixels, for the top and bottom of the focus
    // rectangle.
    const DibSurface& FocusHorizontal() const { return focusHorizontal_; }
    // 1 x max(1, height - 2 * focusMargin) pixels, for its left and right sides.
    const DibSurface& FocusVertical() const { return focusVertical_; }

private:
    DibSurface normal_;
    DibSurface pressed_;
    DibSurface disabled_;
    DibSurface hover_;
    DibSurface focusHorizontal_;
    DibSurface focusVertical_;
};

} // namespace tamsivo
