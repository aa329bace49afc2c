#include "SkinLabelPicture.h"

#include "PngWriter.h"

#include "controls/win32/SkinLabel.h"
#include "framework/GdiObject.h"
#include "framework/MemoryDC.h"
#include "framework/SelectGuard.h"

#include <algorithm>
#include <cstring>

namespace tamsivo::test {

SkinLabelPicture SkinLabelPicture::Of(const SkinLabel& label, COLORREF underlay) {
    SkinLabelPicture picture;
    const RECT client = label.GetClientRect();
    picture.width_ = client.right;
    picture.height_ = client.bottom;
    if (picture.width_ <= 0 || picture.height_ <= 0) {
        return picture;
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = picture.width_;
    info.bmiHeader.biHeight = -picture.height_; // top-down: row 0 first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const Bitmap target{::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0)};
    if (!target) {
        picture.width_ = picture.height_ = 0;
        return picture;
    }
    const MemoryDC dc{DCView()};
    const SelectGuard select(dc, target);
    dc.View().FillSolidRect(client, underlay);
    label.Send(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.View().Handle()), PRF_CLIENT);
    ::GdiFlush();
    picture.pixels_.resize(static_cast<size_t>(picture.width_) * picture.height_);
    std::memcpy(picture.pixels_.data(), bits, picture.pixels_.size() * sizeof(std::uint32_t));
    for (std::uint32_t& pixel : picture.pixels_) {
        pixel &= 0x00FFFFFF;
    }
    return picture;
}

COLORREF SkinLabelPicture::At(int x, int y) const {
    const std::uint32_t pixel = pixels_.at(static_cast<size_t>(y) * width_ + x);
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

RECT SkinLabelPicture::InkBounds(COLORREF background) const {
    RECT bounds{width_, height_, 0, 0};
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            if (At(x, y) != background) {
                bounds.left = std::min<LONG>(bounds.left, x);
                bounds.top = std::min<LONG>(bounds.top, y);
                bounds.right = std::max<LONG>(bounds.right, x + 1);
                bounds.bottom = std::max<LONG>(bounds.bottom, y + 1);
            }
        }
    }
    if (bounds.right <= bounds.left) {
        return RECT{0, 0, 0, 0};
    }
    return bounds;
}

int SkinLabelPicture::Count(COLORREF color, const RECT& area) const {
    int count = 0;
    for (int y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, height_); ++y) {
        for (int x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, width_); ++x) {
            count += At(x, y) == color ? 1 : 0;
        }
    }
    return count;
}

bool SkinLabelPicture::Save(const std::string& state, int scale) const {
    wchar_t exePath[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, exePath, MAX_PATH);
    std::wstring folder(exePath, length);
    folder.resize(folder.find_last_of(L"\\/") + 1);
    folder += L"gallery";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path =
        folder + L"\\skinlabel-" + std::wstring(state.begin(), state.end()) + L".png";

    const int width = width_ * scale;
    const int height = height_ * scale;
    std::vector<std::uint32_t> scaled(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            scaled[static_cast<size_t>(y) * width + x] =
                pixels_[static_cast<size_t>(y / scale) * width_ + x / scale];
        }
    }
    return PngWriter::Write(path, width, height, scaled);
}

} // namespace tamsivo::test
