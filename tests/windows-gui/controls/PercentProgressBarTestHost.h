#pragma once

#include "BufferedDCTestCanvas.h"

#include "controls/win32/PercentProgressBar.h"

#include <vector>

#include <windows.h>

namespace tamsivo::test {

// A standard progress control (PROGRESS_CLASS) of an exact client size, taken over by a
// PercentProgressBar, and a canvas of the same size that its paint routine draws into through
// WM_PRINTCLIENT.
class PercentProgressBarTestHost {
public:
    // Never painted by the bars under test: a pixel left in it was not painted at all.
    static constexpr COLORREF kUnpainted = RGB(255, 0, 255);

    PercentProgressBarTestHost(int clientWidth, int clientHeight, DWORD style,
                               bool visible = false);
    ~PercentProgressBarTestHost();
    PercentProgressBarTestHost(const PercentProgressBarTestHost&) = delete;
    PercentProgressBarTestHost& operator=(const PercentProgressBarTestHost&) = delete;

    // Created, subclassed, with the requested client size.
    bool Ready() const;
    PercentProgressBar& Bar() { return bar_; }
    HWND Hwnd() const { return hwnd_; }

    // The bar's picture: the canvas is filled with kUnpainted, then the bar paints into it.
    const BufferedDCTestCanvas& Print();
    const BufferedDCTestCanvas& Canvas() const { return canvas_; }

private:
    int width_;
    int height_;
    BufferedDCTestCanvas canvas_;
    PercentProgressBar bar_;
    HWND hwnd_ = nullptr;
    bool subclassed_ = false;
};

// Where pixels of one exact colour lie in a picture.
struct PercentProgressBarInk {
    int count = 0;
    RECT bounds{0, 0, 0, 0}; // right and bottom exclusive; empty when count is 0
};
PercentProgressBarInk FindInk(const BufferedDCTestCanvas& canvas, COLORREF color);
PercentProgressBarInk FindInk(const BufferedDCTestCanvas& canvas, COLORREF color,
                              const RECT& within);
// One flag per pixel (row by row): the pixel has one of the two colours.
std::vector<bool> InkMask(const BufferedDCTestCanvas& canvas, COLORREF first, COLORREF second);

} // namespace tamsivo::test
