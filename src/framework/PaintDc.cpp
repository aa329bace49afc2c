#include "framework/PaintDc.h"

namespace tamsivo {

PaintDc::PaintDc(HWND window) : window_(window), dc_(::BeginPaint(window, &paint_)) {}

PaintDc::~PaintDc() {
    ::EndPaint(window_, &paint_);
}

} // namespace tamsivo
