// Owners of GDI objects and contexts, the select guard, and a control's paint routine serving
// both WM_PAINT and WM_PRINTCLIENT, checked pixel by pixel in a memory bitmap.
#include "framework/ClientDC.h"
#include "framework/DCView.h"
#include "framework/GdiObject.h"
#include "framework/MemoryDC.h"
#include "framework/SelectGuard.h"
#include "framework/Window.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

namespace tamsivo::test {
namespace {

TEST(FrameworkGdi, OwnerDeletesItsObjectExactlyOnceAndMovesOwnership) {
    HBRUSH handle = nullptr;
    {
        Brush brush{::CreateSolidBrush(RGB(1, 2, 3))};
        handle = brush.Get();
        ASSERT_EQ(::GetObjectType(handle), static_cast<DWORD>(OBJ_BRUSH));
        Brush moved = std::move(brush);
        EXPECT_EQ(brush.Get(), nullptr);
        EXPECT_EQ(moved.Get(), handle);
        EXPECT_EQ(::GetObjectType(handle), static_cast<DWORD>(OBJ_BRUSH));
    }
    EXPECT_EQ(::GetObjectType(handle), 0u) << "deleted with its last owner";

    Bitmap bitmap{::CreateBitmap(2, 2, 1, 1, nullptr)};
    const HBITMAP first = bitmap.Get();
    bitmap.Reset(::CreateBitmap(3, 3, 1, 1, nullptr));
    EXPECT_EQ(::GetObjectType(first), 0u) << "replaced objects are deleted";
    const HBITMAP second = bitmap.Release();
    EXPECT_EQ(bitmap.Get(), nullptr);
    EXPECT_EQ(::GetObjectType(second), static_cast<DWORD>(OBJ_BITMAP)) << "released, not deleted";
    ::DeleteObject(second);
}

TEST(FrameworkGdi, SelectGuardPutsThePreviousObjectBackBeforeTheOwnerDeletesIt) {
    MemoryDC dc{DCView()};
    ASSERT_TRUE(dc);
    const HGDIOBJ originalBitmap = ::GetCurrentObject(dc.View().Handle(), OBJ_BITMAP);
    const HGDIOBJ originalFont = ::GetCurrentObject(dc.View().Handle(), OBJ_FONT);
    HBITMAP outerHandle = nullptr;
    {
        // Declared before the guards, so destroyed after them.
        Bitmap outer{::CreateCompatibleBitmap(dc.View().Handle(), 4, 4)};
        Font font{
            ::CreateFontW(-12, 0, 0, 0, FW_BOLD, 0, 0, 0, RUSSIAN_CHARSET, 0, 0, 0, 0, L"Arial")};
        outerHandle = outer.Get();
        SelectGuard selectOuter(dc, outer);
        SelectGuard selectFont(dc, font);
        EXPECT_TRUE(selectOuter.Active());
        EXPECT_EQ(::GetCurrentObject(dc.View().Handle(), OBJ_BITMAP), outer.Get());
        EXPECT_EQ(::GetCurrentObject(dc.View().Handle(), OBJ_FONT), font.Get());
        {
            Bitmap inner{::CreateCompatibleBitmap(dc.View().Handle(), 2, 2)};
            SelectGuard selectInner(dc, inner);
            EXPECT_EQ(::GetCurrentObject(dc.View().Handle(), OBJ_BITMAP), inner.Get());
        }
        EXPECT_EQ(::GetCurrentObject(dc.View().Handle(), OBJ_BITMAP), outer.Get());

        // A moved guard restores once, from its new place.
        SelectGuard moved = std::move(selectOuter);
        EXPECT_FALSE(selectOuter.Active());
        EXPECT_TRUE(moved.Active());
        moved.Restore();
        EXPECT_EQ(::GetCurrentObject(dc.View().Handle(), OBJ_BITMAP), originalBitmap);
    }
    EXPECT_EQ(::GetCurrentObject(dc.View().Handle(), OBJ_BITMAP), originalBitmap);
    EXPECT_EQ(::GetCurrentObject(dc.View().Handle(), OBJ_FONT), originalFont);
    // A bitmap still selected could not have been deleted.
    EXPECT_EQ(::GetObjectType(outerHandle), 0u);
}

constexpr COLORREF kLeftColor = RGB(200, 30, 40);
constexpr COLORREF kRightColor = RGB(10, 180, 250);
constexpr COLORREF kCornerColor = RGB(1, 2, 3);

// A control whose whole picture comes from one paint routine, as the skinned controls do.
class Swatch : public Window {
public:
    int paints = 0;
    HDC lastContext = nullptr;

    void Paint(DCView dc) {
        ++paints;
        lastContext = dc.Handle();
        const RECT client = GetClientRect();
        const LONG middle = client.right / 2;
        dc.FillSolidRect(RECT{0, 0, middle, client.bottom}, kLeftColor);
        dc.FillSolidRect(RECT{middle, 0, client.right, client.bottom}, kRightColor);
        ::SetPixel(dc.Handle(), 0, 0, kCornerColor);
    }

protected:
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    bool OnEraseBackground(DCView) { return true; }

    static const MessageEntry messageEntries[];
};

const MessageEntry Swatch::messageEntries[] = {
    On<WM_PAINT, &Swatch::Paint>(),
    On<WM_PRINTCLIENT, &Swatch::Paint>(),
    On<WM_ERASEBKGND, &Swatch::OnEraseBackground>(),
};
const MessageMap Swatch::messageMap{&Window::messageMap, messageEntries};

// 0x00RRGGBB as a 32-bit top-down DIB stores it, from a COLORREF (0x00BBGGRR).
std::uint32_t DibPixel(COLORREF color) {
    return (static_cast<std::uint32_t>(GetRValue(color)) << 16) |
           (static_cast<std::uint32_t>(GetGValue(color)) << 8) | GetBValue(color);
}

constexpr int kWidth = 40;
constexpr int kHeight = 20;

class SwatchWindow {
public:
    explicit SwatchWindow(DWORD extraStyle) {
        hwnd_ = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | extraStyle, 0, 0, kWidth, kHeight,
                                  nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    }
    ~SwatchWindow() { ::DestroyWindow(hwnd_); }
    SwatchWindow(const SwatchWindow&) = delete;
    SwatchWindow& operator=(const SwatchWindow&) = delete;
    HWND Hwnd() const { return hwnd_; }

private:
    HWND hwnd_;
};

TEST(FrameworkGdi, PaintRoutineDrawsIntoTheContextOfWmPrintClient) {
    SwatchWindow window(0);
    ASSERT_NE(window.Hwnd(), nullptr);
    Swatch swatch;
    ASSERT_TRUE(swatch.SubclassWindow(window.Hwnd()));
    ASSERT_EQ(swatch.GetClientRect().right, kWidth);

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = kWidth;
    info.bmiHeader.biHeight = -kHeight; // top-down: row 0 first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Bitmap target{::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0)};
    ASSERT_TRUE(target);
    MemoryDC dc{DCView()};
    SelectGuard select(dc, target);
    // Start from a colour the routine never paints.
    dc.View().FillSolidRect(RECT{0, 0, kWidth, kHeight}, RGB(0, 255, 0));

    swatch.Send(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.View().Handle()), PRF_CLIENT);
    ::GdiFlush();
    EXPECT_EQ(swatch.paints, 1);
    EXPECT_EQ(swatch.lastContext, dc.View().Handle());

    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const COLORREF expected =
                (x == 0 && y == 0) ? kCornerColor : (x < kWidth / 2 ? kLeftColor : kRightColor);
            const std::uint32_t actual = pixels[y * kWidth + x] & 0x00FFFFFF;
            if (actual != DibPixel(expected) && wrong++ < 5) {
                ADD_FAILURE() << "pixel (" << x << ", " << y << ") is 0x" << std::hex << actual
                              << ", expected 0x" << DibPixel(expected);
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST(FrameworkGdi, PaintRoutineServesWmPaintAndValidatesTheWindow) {
    SwatchWindow window(WS_VISIBLE);
    ASSERT_NE(window.Hwnd(), nullptr);
    Swatch swatch;
    ASSERT_TRUE(swatch.SubclassWindow(window.Hwnd()));
    swatch.UpdateWindow(); // the first paint of a new window

    const int before = swatch.paints;
    swatch.Invalidate(false);
    swatch.UpdateWindow();
    EXPECT_EQ(swatch.paints, before + 1);
    EXPECT_NE(swatch.lastContext, nullptr);
    EXPECT_FALSE(::GetUpdateRect(swatch.Hwnd(), nullptr, FALSE))
        << "WM_PAINT must open a paint context (which validates the window) or it comes back";

    // What reached the screen: one pixel of each half, through the window's own context.
    ClientDC screen(swatch.Hwnd());
    EXPECT_EQ(::GetPixel(screen.View().Handle(), 5, 10), kLeftColor);
    EXPECT_EQ(::GetPixel(screen.View().Handle(), kWidth - 5, 10), kRightColor);
}

} // namespace
} // namespace tamsivo::test
