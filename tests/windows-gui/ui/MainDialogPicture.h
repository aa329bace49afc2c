#pragma once

#include "framework/GdiObject.h"
#include "framework/MemoryDC.h"
#include "framework/SelectGuard.h"

#include <cstdint>
#include <string>

#include <windows.h>

namespace tamsivo::test {

// A picture of the main dialog's client area, in a 32-bit top-down DIB section: what the
// screen shows now, or what the dialog's background erasing paints.
class MainDialogPicture {
public:
    // The client area as it is on the screen, after a complete repaint when `repaintFirst`.
    static MainDialogPicture OnScreen(HWND dialog, bool repaintFirst);
    // What WM_ERASEBKGND paints into a context of the client area's size; `erased` receives the
    // message's result.
    static MainDialogPicture Erased(HWND dialog, LRESULT& erased);

    MainDialogPicture(int width, int height);
    MainDialogPicture(MainDialogPicture&&) = default;

    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }
    DCView Dc() const { return memory_.View(); }
    COLORREF At(int x, int y) const;
    // Writes gallery\<name>.png beside the test program, for people to look at.
    bool Save(const std::wstring& name) const;

private:
    int width_;
    int height_;
    std::uint32_t* bits_ = nullptr;
    MemoryDC memory_;
    Bitmap bitmap_;
    SelectGuard selection_;
};

// Whether `actual` is within `tolerance` of `expected` in every channel.
bool NearColor(COLORREF actual, COLORREF expected, int tolerance);

} // namespace tamsivo::test
