#pragma once

#include "framework/DCView.h"
#include "framework/GdiObject.h"
#include "framework/MemoryDC.h"
#include "framework/SelectGuard.h"

#include <cstdint>
#include <string>

#include <windows.h>

namespace tamsivo::test {

// A memory context drawing into a 32-bit top-down DIB section whose pixels the tests read
// directly: the target of the buffered-drawing tests and of the controls' paint routines.
class BufferedDCTestCanvas {
public:
    BufferedDCTestCanvas(int width, int height, COLORREF fill);
    BufferedDCTestCanvas(const BufferedDCTestCanvas&) = delete;
    BufferedDCTestCanvas& operator=(const BufferedDCTestCanvas&) = delete;

    explicit operator bool() const noexcept { return bits_ != nullptr && select_.Active(); }
    DCView View() const noexcept { return dc_.View(); }
    HDC Handle() const noexcept { return dc_.View().Handle(); }
    int Width() const noexcept { return width_; }
    int Height() const noexcept { return height_; }

    void Fill(COLORREF color) const;
    // The pixel as a COLORREF, after GDI has finished drawing.
    COLORREF Pixel(int x, int y) const;
    // Writes the picture to gallery\<fileName> beside the test program, for people to look at.
    bool SaveToGallery(const std::wstring& fileName) const;

private:
    int width_;
    int height_;
    std::uint32_t* bits_ = nullptr;
    Bitmap bitmap_;
    MemoryDC dc_;
    SelectGuard select_;
};

} // namespace tamsivo::test
