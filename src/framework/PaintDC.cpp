#include "framework/PaintDC.h"

namespace tamsivo {

PaintDC::PaintDC(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}

PaintDC::~PaintDC() {
    ::EndPaint(window_, &paint_);
}

} // namespace tamsivo
