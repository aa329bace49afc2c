#pragma once

#include "framework/DCView.h"

#include <windows.h>

namespace tamsivo {

// The paint context of one WM_PAINT: BeginPaint on construction, EndPaint on destruction,
// which validates the update region. Bound to its handler's scope, so neither copied nor moved.
class PaintDC {
public:
    explicit PaintDC(HWND window);
    ~PaintDC();
    PaintDC(const PaintDC&) = delete;
    PaintDC& operator=(const PaintDC&) = delete;

    DCView View() const noexcept { return DCView(dc_); }
    operator DCView() const noexcept { return View(); }
    // The area that needs painting, in client coordinates.
    const RECT& PaintRect() const noexcept { return paint_.rcPaint; }
    bool EraseRequested() const noexcept { return paint_.fErase != FALSE; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

} // namespace tamsivo
