#pragma once

#include "framework/DCView.h"
#include "framework/GdiObject.h"
#include "framework/MemoryDC.h"

#include <cstdint>
#include <string>

#include <windows.h>

namespace tamsivo {
class SkinButton;
}

namespace tamsivo::test {

// A 32-bit picture of button drawings, so that single pixels can be checked exactly whatever
// the screen's depth.
class SkinButtonPicture {
public:
    // Starts in `underlay` everywhere, a colour the buttons are not expected to paint.
    SkinButtonPicture(int width, int height, COLORREF underlay = RGB(0, 255, 0));

    // The button's paint routine for the owner-draw state `itemState`, with the button's font
    // selected as the system does before it asks the button to draw.
    static SkinButtonPicture Painted(const SkinButton& button, UINT itemState);
    // What the button draws for WM_PRINTCLIENT: the standard control asks its parent, which
    // hands the request back to the button.
    static SkinButtonPicture Printed(HWND button);
    // What the button's window shows on the screen now.
    static SkinButtonPicture OnScreen(HWND button);

    // Paints `button` with its top-left corner at (x, y).
    void PaintAt(const SkinButton& button, UINT itemState, int x, int y);

    int Width() const { return width_; }
    int Height() const { return height_; }
    DCView Dc() const { return dc_.View(); }
    COLORREF At(int x, int y) const;
    // How many pixels of `area` are `color`.
    int Count(COLORREF color, const RECT& area) const;
    // The smallest rectangle holding every pixel of `color`; empty when there is none.
    RECT Bounds(COLORREF color) const;
    bool SameAs(const SkinButtonPicture& other) const;

    // Writes the picture, enlarged `scale` times, as gallery/skinbutton-<state>.png beside the
    // test program.
    bool Save(const std::string& state, int scale = 2) const;

private:
    int width_;
    int height_;
    Bitmap bitmap_;
    MemoryDC dc_; // after the bitmap: deleted first, which frees the bitmap's selection
    const std::uint32_t* bits_ = nullptr;
};

} // namespace tamsivo::test
