#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tamsivo::test {

// What a window looks like on the screen, for people to look at. Another process's window
// cannot be asked to paint into a context of ours, so its rectangle is copied from the screen.
class WindowPicture {
public:
    // Copies the window's rectangle once its picture on the screen has stopped changing: the
    // program paints into a surface that reaches the display a moment later.
    bool Capture(HWND window, std::string* error);
    bool SavePng(const std::wstring& path, std::string* error) const;

    // How far a horizontal bar drawn in `fill` over `background` reaches, in thousandths of
    // the picture's width as seen on the screen: a column counts as filled when more of its
    // pixels are nearer to `fill` than to `background`. Text drawn over the bar in either
    // colour stays a minority of its column.
    int FilledPermille(COLORREF fill, COLORREF background) const;

    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    bool CopyOnce(const RECT& rect, std::vector<std::uint32_t>* pixels, std::string* error) const;

    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_; // top row first, blue in the low byte
};

} // namespace tamsivo::test
