#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <windows.h>

namespace tamsivo {
class SkinLabel;
}

namespace tamsivo::test {

// What a label paints, taken through WM_PRINTCLIENT into a 32-bit bitmap of its client size,
// so that single pixels can be checked exactly whatever the screen's depth.
class SkinLabelPicture {
public:
    // The bitmap starts in `underlay` everywhere, a colour the label is not expected to paint.
    static SkinLabelPicture Of(const SkinLabel& label, COLORREF underlay = RGB(0, 255, 0));

    int Width() const { return width_; }
    int Height() const { return height_; }
    COLORREF At(int x, int y) const;

    // The smallest rectangle holding every pixel that is not `background`; empty (left ==
    // right) when there is none.
    RECT InkBounds(COLORREF background) const;
    // How many pixels of `area` are `color`.
    int Count(COLORREF color, const RECT& area) const;
    int Count(COLORREF color) const { return Count(color, RECT{0, 0, width_, height_}); }

    // Writes the picture, enlarged `scale` times, as gallery/skinlabel-<state>.png beside the
    // test program.
    bool Save(const std::string& state, int scale = 2) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_; // top row first, 0x00RRGGBB
};

} // namespace tamsivo::test
