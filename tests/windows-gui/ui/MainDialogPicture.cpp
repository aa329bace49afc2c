#include "MainDialogPicture.h"

#include "PngWriter.h"

#include <cstdlib>
#include <vector>

namespace tamsivo::test {

MainDialogPicture::MainDialogPicture(int width, int height)
    : width_(width), height_(height), memory_(DCView()) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_.Reset(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_ = static_cast<std::uint32_t*>(bits);
    selection_ = SelectGuard(memory_, bitmap_);
}

MainDialogPicture MainDialogPicture::OnScreen(HWND dialog, bool repaintFirst) {
    if (repaintFirst) {
        ::RedrawWindow(dialog, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    }
    RECT client{};
    ::GetClientRect(dialog, &client);
    MainDialogPicture picture(client.right, client.bottom);
    const HDC screen = ::GetDC(dialog);
    ::BitBlt(picture.Dc().Handle(), 0, 0, client.right, client.bottom, screen, 0, 0, SRCCOPY);
    ::ReleaseDC(dialog, screen);
    ::GdiFlush();
    return picture;
}

MainDialogPicture MainDialogPicture::Erased(HWND dialog, LRESULT& erased) {
    RECT client{};
    ::GetClientRect(dialog, &client);
    MainDialogPicture picture(client.right, client.bottom);
    erased =
        ::SendMessageW(dialog, WM_ERASEBKGND, reinterpret_cast<WPARAM>(picture.Dc().Handle()), 0);
    ::GdiFlush();
    return picture;
}

COLORREF MainDialogPicture::At(int x, int y) const {
    if (bits_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) {
        return CLR_INVALID;
    }
    const std::uint32_t pixel = bits_[static_cast<size_t>(y) * width_ + x];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

bool MainDialogPicture::Save(const std::wstring& name) const {
    if (bits_ == nullptr) {
        return false;
    }
    std::wstring folder(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, folder.data(), static_cast<DWORD>(folder.size()));
        if (length < folder.size()) {
            folder.resize(length);
            break;
        }
        folder.resize(folder.size() * 2);
    }
    folder.resize(folder.find_last_of(L"\\/") + 1);
    folder += L"gallery";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::vector<std::uint32_t> pixels(bits_, bits_ + static_cast<size_t>(width_) * height_);
    return PngWriter::Write(folder + L"\\" + name + L".png", width_, height_, pixels);
}

bool NearColor(COLORREF actual, COLORREF expected, int tolerance) {
    return std::abs(GetRValue(actual) - GetRValue(expected)) <= tolerance &&
           std::abs(GetGValue(actual) - GetGValue(expected)) <= tolerance &&
           std::abs(GetBValue(actual) - GetBValue(expected)) <= tolerance;
}

} // namespace tamsivo::test
