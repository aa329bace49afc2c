#include "BufferedDCTestCanvas.h"

#include "PngWriter.h"

#include <vector>

namespace tamsivo::test {

BufferedDCTestCanvas::BufferedDCTestCanvas(int width, int height, COLORREF fill)
    : width_(width), height_(height), dc_(DCView()) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down: row 0 first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.Reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap_) {
        return;
    }
    bits_ = static_cast<std::uint32_t*>(bits);
    select_ = SelectGuard(dc_, bitmap_);
    Fill(fill);
}

void BufferedDCTestCanvas::Fill(COLORREF color) const {
    dc_.View().FillSolidRect(RECT{0, 0, width_, height_}, color);
}

COLORREF BufferedDCTestCanvas::Pixel(int x, int y) const {
    ::GdiFlush();
    const std::uint32_t pixel = bits_[y * width_ + x];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

bool BufferedDCTestCanvas::SaveToGallery(const std::wstring& fileName) const {
    ::GdiFlush();
    std::wstring path(MAX_PATH, L'\0');
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), MAX_PATH);
    path.resize(length);
    path.resize(path.find_last_of(L'\\') + 1);
    path += L"gallery";
    ::CreateDirectoryW(path.c_str(), nullptr);
    const std::vector<std::uint32_t> pixels(bits_, bits_ + static_cast<size_t>(width_) * height_);
    return PngWriter::Write(path + L"\\" + fileName, width_, height_, pixels);
}

} // namespace tamsivo::test
