#pragma once

#include "skingen/Box.h"
#include "skingen/DialogRect.h"

#include <array>

namespace tamsivo::skingen {

// Where the parts of the main window's skin lie. The dialog stretches the skin over its whole
// client area, so a control's place on the skin is its place in the client area scaled by the
// ratio of the skin's size to the client size.
class SkinLayout {
public:
    static constexpr int kWidth = 500;
    static constexpr int kHeight = 318;

    // The main dialog's template size and its four push buttons (start, stop, help, exit).
    static constexpr DialogRect kDialog{0, 0, 334, 195};
    static constexpr std::array<DialogRect, 4> kButtons{
        DialogRect{19, 140, 72, 27}, DialogRect{93, 140, 72, 27}, DialogRect{168, 140, 72, 27},
        DialogRect{242, 140, 72, 27}};

    // A template rectangle in skin pixels.
    static Box toSkin(DialogRect rect);
    // The light-blue glass the labels and the progress bar lie on.
    static Box displayField() { return {59, 83, 444, 194}; }
    // The square at the glass's left end, left of every control, that holds the emblem.
    static Box emblemArea() { return {66, 106, 130, 170}; }
};

} // namespace tamsivo::skingen
