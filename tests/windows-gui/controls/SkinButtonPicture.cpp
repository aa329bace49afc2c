#include "SkinButtonPicture.h"

#include "PngWriter.h"

#include "controls/win32/SkinButton.h"
#include "framework/ClientDC.h"

#include <algorithm>
#include <vector>

namespace tamsivo::test {

SkinButtonPicture::SkinButtonPicture(int width, int height, COLORREF underlay)
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
    if (!bitmap_ || !dc_) {
        width_ = height_ = 0;
        return;
    }
    bits_ = static_cast<const std::uint32_t*>(bits);
    ::SelectObject(dc_.View().Handle(), bitmap_.Get());
    dc_.View().FillSolidRect(RECT{0, 0, width, height}, underlay);
}

SkinButtonPicture SkinButtonPicture::Painted(const SkinButton& button, UINT itemState) {
    const RECT client = button.GetClientRect();
    SkinButtonPicture picture(client.right, client.bottom);
    picture.PaintAt(button, itemState, 0, 0);
    return picture;
}

SkinButtonPicture SkinButtonPicture::Printed(HWND button) {
    RECT client{};
    ::GetClientRect(button, &client);
    SkinButtonPicture picture(client.right, client.bottom);
    ::SendMessageW(button, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(picture.Dc().Handle()),
                   PRF_CLIENT);
    return picture;
}

SkinButtonPicture SkinButtonPicture::OnScreen(HWND button) {
    RECT client{};
    ::GetClientRect(button, &client);
    SkinButtonPicture picture(client.right, client.bottom);
    const ClientDC screen(button);
    ::BitBlt(picture.Dc().Handle(), 0, 0, client.right, client.bottom, screen.View().Handle(), 0, 0,
             SRCCOPY);
    return picture;
}

void SkinButtonPicture::PaintAt(const SkinButton& button, UINT itemState, int x, int y) {
    const HDC dc = dc_.View().Handle();
    const int saved = ::SaveDC(dc);
    if (const HFONT font = button.GetFont()) {
        ::SelectObject(dc, font);
    }
    ::SetViewportOrgEx(dc, x, y, nullptr);
    button.Paint(dc_.View(), button.GetClientRect(), itemState);
    ::RestoreDC(dc, saved);
}

COLORREF SkinButtonPicture::At(int x, int y) const {
    ::GdiFlush();
    if (bits_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) {
        return CLR_INVALID;
    }
    const std::uint32_t pixel = bits_[static_cast<size_t>(y) * width_ + x];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

int SkinButtonPicture::Count(COLORREF color, const RECT& area) const {
    int count = 0;
    for (int y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, height_); ++y) {
        for (int x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, width_); ++x) {
            count += At(x, y) == color ? 1 : 0;
        }
    }
    return count;
}

RECT SkinButtonPicture::Bounds(COLORREF color) const {
    RECT bounds{width_, height_, 0, 0};
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            if (At(x, y) == color) {
                bounds.left = std::min<LONG>(bounds.left, x);
                bounds.top = std::min<LONG>(bounds.top, y);
                bounds.right = std::max<LONG>(bounds.right, x + 1);
                bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
            }
        }
    }
    return bounds.right > bounds.left ? bounds : RECT{0, 0, 0, 0};
}

bool SkinButtonPicture::SameAs(const SkinButtonPicture& other) const {
    if (width_ != other.width_ || height_ != other.height_) {
        return false;
    }
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            if (At(x, y) != other.At(x, y)) {
                return false;
            }
        }
    }
    return true;
}

bool SkinButtonPicture::Save(const std::string& state, int scale) const {
    wchar_t exePath[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, exePath, MAX_PATH);
    std::wstring folder(exePath, length);
    folder.resize(folder.find_last_of(L"\\/") + 1);
    folder += L"gallery";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path =
        folder + L"\\skinbutton-" + std::wstring(state.begin(), state.end()) + L".png";

    ::GdiFlush();
    const int width = width_ * scale;
    const int height = height_ * scale;
    std::vector<std::uint32_t> scaled(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            scaled[static_cast<size_t>(y) * width + x] =
                bits_[static_cast<size_t>(y / scale) * width_ + x / scale];
        }
    }
    return PngWriter::Write(path, width, height, scaled);
}

} // namespace tamsivo::test
