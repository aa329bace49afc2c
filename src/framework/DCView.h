#pragma once

#include <string_view>

#include <windows.h>

namespace tamsivo {

// A device context someone else owns: a paint context, a memory context, or the context a
// message hands over (WM_ERASEBKGND, WM_PRINTCLIENT, WM_CTLCOLOR*, WM_DRAWITEM). Copy freely;
// it never releases anything. The text operations take Windows-1251 text.
class DCView {
public:
    DCView() = default;
    explicit DCView(HDC dc) noexcept : dc_(dc) {}

    HDC Handle() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

    // DrawTextW of `text` into `rect` with the DT_* `format`; returns the text height.
    int DrawString(std::string_view text, RECT& rect, UINT format) const;
    // TextOutW of `text` at (x, y) under the context's text alignment.
    bool TextOutString(int x, int y, std::string_view text) const;
    // The context's logical pixels per inch (vertically): the system DPI for the screen.
    int DotsPerInch() const;
    // GetTextExtentPoint32W of `text` in the selected font.
    SIZE MeasureString(std::string_view text) const;
    // Fills `rect` with `color` without creating a brush; the background colour stays as it was.
    void FillSolidRect(const RECT& rect, COLORREF color) const;

private:
    HDC dc_ = nullptr;
};

} // namespace tamsivo
