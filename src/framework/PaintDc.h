#pragma once

#include "framework/DcView.h"

#include <windows.h>

namespace tamsivo {

// The paint context of one WM_PAINT: BeginPaint on construction, EndPaint on destruction,
// which validates the update region. Bound to its handler's scope, so neither copied nor moved.
class PaintDc {
public:
    explicit PaintDc(HWND window);
    ~PaintDc();
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;

    DcView View() const noexcept { return DcView(dc_); }
    operator DcView() const noexcept { return View(); }
    // The area that needs painting, in client coordinates.
    const RECT& PaintRect() const noexcept { return paint_.rcPaint; }
    bool EraseRequested() const noexcept { return paint_.fErase != FALSE; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

} // namespace tamsivo
