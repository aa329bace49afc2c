#include "framework/DCView.h"

#include "framework/WideText.h"

namespace tamsivo {

int DCView::DrawString(std::string_view text, RECT& rect, UINT format) const {
    const std::wstring wide = Widen(text);
    return ::DrawTextW(dc_, wide.c_str(), static_cast<int>(wide.size()), &rect, format);
}

bool DCView::TextOutString(int x, int y, std::string_view text) const {
    const std::wstring wide = Widen(text);
    return ::TextOutW(dc_, x, y, wide.c_str(), static_cast<int>(wide.size())) != FALSE;
}

int DCView::DotsPerInch() const {
    return ::GetDeviceCaps(dc_, LOGPIXELSY);
}

SIZE DCView::MeasureString(std::string_view text) const {
    const std::wstring wide = Widen(text);
    SIZE size{0, 0};
    ::GetTextExtentPoint32W(dc_, wide.c_str(), static_cast<int>(wide.size()), &size);
    return size;
}

void DCView::FillSolidRect(const RECT& rect, COLORREF color) const {
    // An opaque, empty ExtTextOut paints the rectangle in the background colour: one GDI call
    // and no brush to create and delete for every band of a gradient.
    const COLORREF oldBackground = ::SetBkColor(dc_, color);
    ::ExtTextOutW(dc_, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    ::SetBkColor(dc_, oldBackground);
}

} // namespace tamsivo
