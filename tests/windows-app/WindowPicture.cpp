#include "WindowPicture.h"

#include "PngWriter.h"

namespace tamsivo::test {
namespace {

constexpr DWORD kSteadyDeadlineMs = 5000;
constexpr DWORD kSteadyIntervalMs = 50;

// Squared distance between a captured pixel (blue in the low byte) and a COLORREF (red in
// the low byte).
int Distance(std::uint32_t pixel, COLORREF color) {
    const int db = static_cast<int>(pixel & 0xFF) - GetBValue(color);
    const int dg = static_cast<int>((pixel >> 8) & 0xFF) - GetGValue(color);
    const int dr = static_cast<int>((pixel >> 16) & 0xFF) - GetRValue(color);
    return db * db + dg * dg + dr * dr;
}

} // namespace

int WindowPicture::FilledPermille(COLORREF fill, COLORREF background) const {
    int filled = 0;
    int empty = 0;
    for (int x = 0; x < width_; ++x) {
        int nearFill = 0;
        int nearBackground = 0;
        for (int y = 0; y < height_; ++y) {
            const std::uint32_t pixel = pixels_[static_cast<std::size_t>(y) * width_ + x];
            (Distance(pixel, fill) < Distance(pixel, background) ? nearFill : nearBackground)++;
        }
        (nearFill > nearBackground ? filled : empty)++;
    }
    if (filled + empty == 0) {
        return 0;
    }
    return filled * 1000 / (filled + empty);
}

bool WindowPicture::CopyOnce(const RECT& rect, std::vector<std::uint32_t>* pixels,
                             std::string* error) const {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    void* bits = nullptr;
    const HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool copied = false;
    if (memory != nullptr && bitmap != nullptr) {
        const HGDIOBJ old = ::SelectObject(memory, bitmap);
        copied = ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top,
                          SRCCOPY | CAPTUREBLT) != FALSE;
        ::GdiFlush();
        if (copied) {
            const auto* first = static_cast<const std::uint32_t*>(bits);
            pixels->assign(first, first + static_cast<std::size_t>(width) * height);
        }
        ::SelectObject(memory, old);
    }
    if (bitmap != nullptr) {
        ::DeleteObject(bitmap);
    }
    if (memory != nullptr) {
        ::DeleteDC(memory);
    }
    ::ReleaseDC(nullptr, screen);
    if (!copied) {
        *error = "copying from the screen failed (error " + std::to_string(::GetLastError()) + ")";
    }
    return copied;
}

bool WindowPicture::Capture(HWND window, std::string* error) {
    RECT rect{};
    if (!::GetWindowRect(window, &rect) || rect.right <= rect.left || rect.bottom <= rect.top) {
        *error = "the window has no area";
        return false;
    }
    // The program may just have painted; its picture reaches the display when its thread next
    // waits for messages. Two equal copies in a row mean the picture has settled.
    std::vector<std::uint32_t> previous;
    if (!CopyOnce(rect, &previous, error)) {
        return false;
    }
    const ULONGLONG deadline = ::GetTickCount64() + kSteadyDeadlineMs;
    for (;;) {
        ::Sleep(kSteadyIntervalMs);
        std::vector<std::uint32_t> current;
        if (!CopyOnce(rect, &current, error)) {
            return false;
        }
        const bool steady = current == previous;
        previous = std::move(current);
        if (steady || ::GetTickCount64() >= deadline) {
            break;
        }
    }
    width_ = rect.right - rect.left;
    height_ = rect.bottom - rect.top;
    pixels_ = std::move(previous);
    return true;
}

bool WindowPicture::SavePng(const std::wstring& path, std::string* error) const {
    // The screen copy leaves the fourth byte of each pixel undefined; PngWriter ignores it.
    if (!PngWriter::Write(path, width_, height_, pixels_)) {
        *error = "writing the PNG file failed";
        return false;
    }
    return true;
}

} // namespace tamsivo::test
