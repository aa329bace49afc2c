// The skinned push button in real windows: its faces, frames, focus dots and caption checked at
// chosen pixels, its mouse handling driven by the messages the system sends a button.
#include "SkinButtonHost.h"
#include "SkinButtonPicture.h"

#include "controls/ButtonFaces.h"
#include "controls/TextureStyle.h"
#include "controls/win32/SkinButton.h"
#include "framework/ClientDC.h"
#include "framework/GdiObject.h"
#include "framework/MemoryDC.h"
#include "framework/SelectGuard.h"
#include "framework/WideText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <commctrl.h>

namespace tamsivo::test {
namespace {

constexpr int kWidth = 120;
constexpr int kHeight = 40;
constexpr int kButtonId = 1101;
constexpr int kOtherId = 1102;
constexpr RECT kButtonRect{20, 20, 20 + kWidth, 20 + kHeight};
// Where a short centred caption lies: between the focus margins, inside the bevel.
constexpr RECT kCaptionArea{6, 2, kWidth - 6, kHeight - 2};

constexpr COLORREF kTint = RGB(10, 10, 10);
constexpr COLORREF kActiveCaption = RGB(10, 180, 250);
constexpr COLORREF kInactiveCaption = RGB(64, 64, 64);

// A light tint, so that neighbouring palette entries differ in colour and a face drawn from the
// wrong state or at the wrong place shows; a coloured one, so that no face pixel can pass for
// one of the system's greys of frames, focus dots and captions.
ButtonFaces::Texture TestTexture() {
    return ButtonFaces::Texture{TextureSoftBump, 0, 40, 30, RGB(160, 40, 10)};
}
ButtonFaces::Texture MainDialogTexture() {
    return ButtonFaces::Texture{TextureSoftBump, 0, 10, 95, kTint};
}
ButtonFaces::Texture SelectionDialogTexture() {
    return ButtonFaces::Texture{TextureSoftBump, 0, 10, 90, kTint};
}

COLORREF Sys(int index) {
    return ::GetSysColor(index);
}

// The faces the portable layer computes for a texture and this system's colours, without
// noise. With grain 0 the noise of the button's own faces adds 1 to an index only when the C
// library's generator returns its maximum, so a drawn pixel shows entry i or, rarely, i + 1.
ButtonFaces Reference(const ButtonFaces::Texture& texture, std::int16_t margin = 4) {
    ButtonFaces::SystemColors colors;
    colors.highlight = Sys(COLOR_BTNHIGHLIGHT);
    colors.face = Sys(COLOR_BTNFACE);
    colors.shadow = Sys(COLOR_BTNSHADOW);
    ButtonFaces faces;
    faces.Build(kWidth, kHeight, margin, colors, texture, [] { return 0; });
    return faces;
}

bool Shows(const DibSurface& face, int faceX, int faceY, COLORREF seen) {
    const int index = face.PixelIndex(faceX, faceY);
    return index >= 0 &&
           (seen == face.PaletteColor(index) || seen == face.PaletteColor((index + 1) & 0xFF));
}

// Points of the face clear of the frame, the focus dots and a short centred caption, where the
// shading is steep enough that a face drawn one pixel off shows other colours.
constexpr std::array<POINT, 8> kFacePoints{
    {{3, 20}, {60, 3}, {117, 20}, {60, 37}, {10, 10}, {110, 30}, {9, 30}, {30, 8}}};

void ExpectFace(const SkinButtonPicture& picture, const DibSurface& face, int offset,
                const char* what) {
    for (const POINT& point : kFacePoints) {
        const COLORREF seen = picture.At(point.x, point.y);
        EXPECT_TRUE(Shows(face, point.x - offset, point.y - offset, seen))
            << what << " at (" << point.x << ", " << point.y << "): 0x" << std::hex << seen;
    }
}

bool IsDot(COLORREF color) {
    return color == Sys(COLOR_BTNSHADOW) || color == Sys(COLOR_BTNHIGHLIGHT);
}

// Whether `count` pixels from (x, y) on in direction (dx, dy) alternate between the shadow
// and the highlight colour, as the dots of the focus rectangle do.
testing::AssertionResult Dotted(const SkinButtonPicture& picture, int x, int y, int dx, int dy,
                                int count) {
    for (int i = 0; i < count; ++i) {
        const COLORREF color = picture.At(x + i * dx, y + i * dy);
        if (!IsDot(color)) {
            return testing::AssertionFailure() << "no dot at (" << x + i * dx << ", " << y + i * dy
                                               << "): 0x" << std::hex << color;
        }
        if (i > 0 && color == picture.At(x + (i - 1) * dx, y + (i - 1) * dy)) {
            return testing::AssertionFailure()
                   << "two equal dots in a row at (" << x + i * dx << ", " << y + i * dy << ")";
        }
    }
    return testing::AssertionSuccess();
}

int DotCount(const SkinButtonPicture& picture, int x, int y, int dx, int dy, int count) {
    int dots = 0;
    for (int i = 0; i < count; ++i) {
        dots += IsDot(picture.At(x + i * dx, y + i * dy)) ? 1 : 0;
    }
    return dots;
}

bool IsRed(COLORREF color) {
    return color == RGB(255, 0, 0);
}

// A 32 x 32 icon, opaque and all red; its hot spot is its centre (16, 16).
class RedIcon {
public:
    RedIcon() {
        const ClientDC screen(nullptr);
        Bitmap color{::CreateCompatibleBitmap(screen.View().Handle(), 32, 32)};
        {
            const MemoryDC dc(screen.View());
            const SelectGuard select(dc, color);
            dc.View().FillSolidRect(RECT{0, 0, 32, 32}, RGB(255, 0, 0));
        }
        const std::vector<BYTE> opaque(32 * 32 / 8, 0);
        const Bitmap mask{::CreateBitmap(32, 32, 1, 1, opaque.data())};
        ICONINFO info{TRUE, 0, 0, mask.Get(), color.Get()};
        icon_ = ::CreateIconIndirect(&info);
    }
    ~RedIcon() { ::DestroyIcon(icon_); }
    RedIcon(const RedIcon&) = delete;
    RedIcon& operator=(const RedIcon&) = delete;
    HICON Get() const { return icon_; }

private:
    HICON icon_ = nullptr;
};

std::vector<HWND> ToolTipWindows() {
    std::vector<HWND> found;
    ::EnumThreadWindows(
        ::GetCurrentThreadId(),
        [](HWND hwnd, LPARAM list) -> BOOL {
            wchar_t name[64] = {};
            ::GetClassNameW(hwnd, name, 64);
            if (::lstrcmpiW(name, TOOLTIPS_CLASSW) == 0) {
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

std::wstring ToolTipText(HWND toolTip, HWND button) {
    wchar_t text[128] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V1_SIZE;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = ::GetParent(button);
    tool.uId = reinterpret_cast<UINT_PTR>(button);
    tool.lpszText = text;
    ::SendMessageW(toolTip, TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&tool));
    return text;
}

class SkinButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        // The real pointer stays off the test windows, so that the system's idea of where it
        // is never mixes with the mouse messages the tests send.
        ::SetCursorPos(1000, 740);
        ASSERT_NE(host.Hwnd(), nullptr);
        const HWND hwnd = host.AddButton(L"Ok", kButtonId, kButtonRect);
        ASSERT_NE(hwnd, nullptr);
        ASSERT_TRUE(button.SubclassWindow(hwnd));
    }

    void Texture(SkinButton& target, const ButtonFaces::Texture& texture) {
        target.SetTexture(texture.style, texture.grain, texture.hoverHighlight, texture.tintPercent,
                          texture.tintColor);
    }
    void Texture(const ButtonFaces::Texture& texture) { Texture(button, texture); }

    SkinButtonPicture Paint(UINT itemState) const {
        return SkinButtonPicture::Painted(button, itemState);
    }

    // A mouse message at (x, y) of `target`'s client area, with the real pointer put there
    // first, as a mouse message of the system finds it.
    static LRESULT Mouse(const Window& target, UINT message, WPARAM keys, int x, int y) {
        POINT screen{x, y};
        ::ClientToScreen(target.Hwnd(), &screen);
        ::SetCursorPos(screen.x, screen.y);
        return target.Send(message, keys, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
    }
    LRESULT Mouse(UINT message, WPARAM keys, int x, int y) const {
        return Mouse(button, message, keys, x, y);
    }
    void Hover() const { Mouse(WM_MOUSEMOVE, 0, 30, 20); }
    void Leave() const { button.Send(WM_MOUSELEAVE); }
    bool Pushed() const { return (button.Send(BM_GETSTATE) & BST_PUSHED) != 0; }
    bool NeedsRepaint() const { return ::GetUpdateRect(button.Hwnd(), nullptr, FALSE) != FALSE; }

    SkinButtonHost host{50, 50};
    SkinButton button;
};

TEST_F(SkinButtonTest, BecomesOwnerDrawnAndDrawsItselfWhenItsParentIsAsked) {
    EXPECT_EQ(button.GetStyle() & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW));

    Texture(TestTexture());
    const ButtonFaces reference = Reference(TestTexture());
    // The standard control turns WM_PRINTCLIENT into a drawing request to its parent, which
    // hands it back to the button.
    const SkinButtonPicture enabled = SkinButtonPicture::Printed(button.Hwnd());
    ExpectFace(enabled, reference.Normal(), 0, "idle face");
    EXPECT_EQ(enabled.At(0, 20), Sys(COLOR_3DLIGHT)) << "a raised bevel";
    EXPECT_GT(enabled.Count(Sys(COLOR_BTNTEXT), kCaptionArea), 0)
        << "the caption starts in the system's button text colour";

    button.EnableWindow(false);
    const SkinButtonPicture disabled = SkinButtonPicture::Printed(button.Hwnd());
    EXPECT_GT(disabled.Count(Sys(COLOR_GRAYTEXT), kCaptionArea), 0);
    EXPECT_GT(disabled.Count(Sys(COLOR_BTNHIGHLIGHT), kCaptionArea), 0) << "embossed";
    EXPECT_EQ(disabled.Count(Sys(COLOR_BTNTEXT), kCaptionArea), 0);

    // The button type is a number, not flags: a radio button becomes owner-drawn as well.
    const HWND radio =
        ::CreateWindowExW(0, L"BUTTON", L"Radio", WS_CHILD | BS_AUTORADIOBUTTON, 200, 200, 80, 20,
                          host.Hwnd(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(radio, nullptr);
    SkinButton radioButton;
    ASSERT_TRUE(radioButton.SubclassWindow(radio));
    EXPECT_EQ(radioButton.GetStyle() & BS_TYPEMASK, static_cast<DWORD>(BS_OWNERDRAW));
}

TEST_F(SkinButtonTest, FaceFollowsIdleHoverPressedAndDisabled) {
    Texture(TestTexture());
    const ButtonFaces reference = Reference(TestTexture());
    // The chosen points can tell the faces apart and see a face drawn one pixel off.
    int hoverDiffers = 0;
    int shiftDiffers = 0;
    for (const POINT& p : kFacePoints) {
        const int index = reference.Normal().PixelIndex(p.x, p.y);
        hoverDiffers +=
            Shows(reference.Hover(), p.x, p.y, reference.Normal().PaletteColor(index)) ? 0 : 1;
        shiftDiffers +=
            Shows(reference.Pressed(), p.x - 1, p.y - 1, reference.Pressed().PaletteColor(index))
                ? 0
                : 1;
    }
    ASSERT_EQ(hoverDiffers, static_cast<int>(kFacePoints.size()));
    ASSERT_GE(shiftDiffers, 4);

    ExpectFace(Paint(0), reference.Normal(), 0, "idle");

    Hover();
    ExpectFace(Paint(0), reference.Hover(), 0, "hovered");
    ExpectFace(Paint(ODS_SELECTED), reference.Pressed(), 1, "pressed while hovered");

    Leave();
    ExpectFace(Paint(0), reference.Normal(), 0, "idle after leaving");
    ExpectFace(Paint(ODS_SELECTED), reference.Pressed(), 1, "pressed");
    ExpectFace(Paint(ODS_DISABLED), reference.Disabled(), 0, "disabled");
    Hover();
    ExpectFace(Paint(ODS_DISABLED), reference.Disabled(), 0, "disabled under the pointer");
    Leave();
}

TEST_F(SkinButtonTest, WithoutFacesTheButtonIsFilledWithTheButtonFaceColour) {
    for (const UINT state :
         {0u, static_cast<UINT>(ODS_SELECTED), static_cast<UINT>(ODS_DISABLED)}) {
        const SkinButtonPicture picture = Paint(state);
        for (const POINT& p : kFacePoints) {
            EXPECT_EQ(picture.At(p.x, p.y), Sys(COLOR_BTNFACE))
                << "state 0x" << std::hex << state << " at (" << std::dec << p.x << ", " << p.y
                << ")";
        }
    }
}

TEST_F(SkinButtonTest, FocusRectangleIsDottedAtTheFocusMargin) {
    Texture(TestTexture());

    // Margin 4 on a 120 x 40 button: the rectangle runs from (4, 4) to (116, 36).
    const SkinButtonPicture focused = Paint(ODS_FOCUS);
    EXPECT_TRUE(Dotted(focused, 5, 4, 1, 0, 111)) << "top";
    EXPECT_TRUE(Dotted(focused, 5, 36, 1, 0, 111)) << "bottom";
    EXPECT_TRUE(Dotted(focused, 4, 5, 0, 1, 32)) << "left";
    EXPECT_TRUE(Dotted(focused, 116, 5, 0, 1, 32)) << "right";
    EXPECT_EQ(DotCount(Paint(0), 5, 4, 1, 0, 111), 0) << "no dots without the focus";

    const SkinButtonPicture pressed = Paint(ODS_FOCUS | ODS_SELECTED);
    EXPECT_TRUE(Dotted(pressed, 5, 4, 1, 0, 111)) << "pressed: top";
    EXPECT_TRUE(Dotted(pressed, 4, 5, 0, 1, 32)) << "pressed: left";

    EXPECT_TRUE(Paint(ODS_FOCUS | ODS_DISABLED).SameAs(Paint(ODS_DISABLED)))
        << "a disabled button never shows the focus";

    // A default button's double frame moves the rectangle one pixel in: (5, 5) to (115, 35),
    // its dots ending at its corners.
    const SkinButtonPicture byDefault = Paint(ODS_FOCUS | ODS_DEFAULT);
    EXPECT_TRUE(Dotted(byDefault, 6, 5, 1, 0, 109)) << "default: top";
    EXPECT_TRUE(Dotted(byDefault, 6, 35, 1, 0, 109)) << "default: bottom";
    EXPECT_TRUE(Dotted(byDefault, 5, 6, 0, 1, 30)) << "default: left";
    EXPECT_TRUE(Dotted(byDefault, 115, 6, 0, 1, 30)) << "default: right";
    EXPECT_EQ(DotCount(byDefault, 5, 4, 1, 0, 111), 0) << "default: not at the plain margin";
    EXPECT_EQ(DotCount(byDefault, 116, 5, 0, 1, 32), 0) << "default: nothing right of it";
    EXPECT_EQ(DotCount(byDefault, 5, 36, 1, 0, 111), 0)
        << "default: nothing below it (the double frame lies further out)";

    button.SetFocusMargin(0);
    Texture(TestTexture());
    EXPECT_TRUE(Paint(ODS_FOCUS).SameAs(Paint(0))) << "margin 0 draws no focus rectangle";
}

TEST_F(SkinButtonTest, BeveledAndFlatBorders) {
    Texture(TestTexture());
    const ButtonFaces reference = Reference(TestTexture());
    const int middle = kHeight / 2;
    const int right = kWidth - 1;
    const int bottom = kHeight - 1;

    // Beveled: raised while idle or hovered, sunken while pressed, raised while disabled.
    for (const bool hovered : {false, true}) {
        if (hovered) {
            Hover();
        }
        const SkinButtonPicture raised = Paint(0);
        EXPECT_EQ(raised.At(0, middle), Sys(COLOR_3DLIGHT)) << "hovered " << hovered;
        EXPECT_EQ(raised.At(1, middle), Sys(COLOR_BTNHIGHLIGHT)) << "hovered " << hovered;
        EXPECT_EQ(raised.At(60, 0), Sys(COLOR_3DLIGHT)) << "hovered " << hovered;
        EXPECT_EQ(raised.At(right, middle), Sys(COLOR_3DDKSHADOW)) << "hovered " << hovered;
        EXPECT_EQ(raised.At(right - 1, middle), Sys(COLOR_BTNSHADOW)) << "hovered " << hovered;
        EXPECT_EQ(raised.At(60, bottom), Sys(COLOR_3DDKSHADOW)) << "hovered " << hovered;
    }
    Leave();
    const SkinButtonPicture sunken = Paint(ODS_SELECTED);
    EXPECT_EQ(sunken.At(0, middle), Sys(COLOR_BTNSHADOW));
    EXPECT_EQ(sunken.At(1, middle), Sys(COLOR_3DDKSHADOW));
    EXPECT_EQ(sunken.At(right, middle), Sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(sunken.At(right - 1, middle), Sys(COLOR_3DLIGHT));
    const SkinButtonPicture disabled = Paint(ODS_DISABLED);
    EXPECT_EQ(disabled.At(0, middle), Sys(COLOR_3DLIGHT));
    EXPECT_EQ(disabled.At(right, middle), Sys(COLOR_3DDKSHADOW));

    // Flat: no border while idle or disabled, a thin raised frame while hovered, a thin sunken
    // one while pressed; the face shows right inside the frames.
    button.SetFlat(true);
    for (const UINT state : {0u, static_cast<UINT>(ODS_DISABLED)}) {
        const SkinButtonPicture plain = Paint(state);
        EXPECT_TRUE(Shows(reference.Normal(), 0, middle, plain.At(0, middle))) << state;
        EXPECT_TRUE(Shows(reference.Normal(), 60, 0, plain.At(60, 0))) << state;
        EXPECT_TRUE(Shows(reference.Normal(), right, middle, plain.At(right, middle))) << state;
        EXPECT_TRUE(Shows(reference.Normal(), 60, bottom, plain.At(60, bottom))) << state;
    }
    Hover();
    const SkinButtonPicture thinRaised = Paint(0);
    EXPECT_EQ(thinRaised.At(0, middle), Sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(thinRaised.At(60, 0), Sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(thinRaised.At(right, middle), Sys(COLOR_BTNSHADOW));
    EXPECT_EQ(thinRaised.At(60, bottom), Sys(COLOR_BTNSHADOW));
    EXPECT_TRUE(Shows(reference.Hover(), 1, middle, thinRaised.At(1, middle)));
    EXPECT_TRUE(Shows(reference.Hover(), right - 1, middle, thinRaised.At(right - 1, middle)));
    Leave();
    const SkinButtonPicture thinSunken = Paint(ODS_SELECTED);
    EXPECT_EQ(thinSunken.At(0, middle), Sys(COLOR_BTNSHADOW));
    EXPECT_EQ(thinSunken.At(60, 0), Sys(COLOR_BTNSHADOW));
    EXPECT_EQ(thinSunken.At(right, middle), Sys(COLOR_BTNHIGHLIGHT));
    EXPECT_EQ(thinSunken.At(60, bottom), Sys(COLOR_BTNHIGHLIGHT));
    EXPECT_TRUE(Shows(reference.Pressed(), 0, middle - 1, thinSunken.At(1, middle)));
}

TEST_F(SkinButtonTest, DefaultButtonGetsADoubleFrame) {
    Texture(TestTexture());
    const ButtonFaces reference = Reference(TestTexture());
    const int middle = kHeight / 2;
    const int right = kWidth - 1;
    const auto expectDoubleFrame = [&](const SkinButtonPicture& picture, const char* what) {
        // Sunken outside, raised inside.
        EXPECT_EQ(picture.At(0, middle), Sys(COLOR_BTNSHADOW)) << what;
        EXPECT_EQ(picture.At(1, middle), Sys(COLOR_3DLIGHT)) << what;
        EXPECT_EQ(picture.At(2, middle), Sys(COLOR_BTNHIGHLIGHT)) << what;
        EXPECT_EQ(picture.At(right, middle), Sys(COLOR_BTNHIGHLIGHT)) << what;
        EXPECT_EQ(picture.At(right - 1, middle), Sys(COLOR_3DDKSHADOW)) << what;
        EXPECT_EQ(picture.At(right - 2, middle), Sys(COLOR_BTNSHADOW)) << what;
    };
    expectDoubleFrame(Paint(ODS_DEFAULT), "beveled");

    button.SetFlat(true);
    const SkinButtonPicture flatIdle = Paint(ODS_DEFAULT);
    EXPECT_TRUE(Shows(reference.Normal(), 0, middle, flatIdle.At(0, middle)))
        << "a flat default button shows no frame while idle";
    Hover();
    expectDoubleFrame(Paint(ODS_DEFAULT), "flat, hovered");
    Leave();
}

TEST_F(SkinButtonTest, CaptionInActiveAndInactiveColours) {
    Texture(MainDialogTexture());
    EXPECT_EQ(button.SetCaptionColor(kActiveCaption), Sys(COLOR_BTNTEXT));

    const SkinButtonPicture active = Paint(0);
    EXPECT_GT(active.Count(kActiveCaption, kCaptionArea), 0);
    EXPECT_EQ(active.Count(kInactiveCaption, kCaptionArea), 0);

    button.ValidateRect();
    EXPECT_EQ(button.SetCaptionColor(kInactiveCaption), kActiveCaption);
    EXPECT_FALSE(NeedsRepaint()) << "the owner repaints when it is done recolouring";

    const SkinButtonPicture inactive = Paint(0);
    EXPECT_GT(inactive.Count(kInactiveCaption, kCaptionArea), 0);
    EXPECT_EQ(inactive.Count(kActiveCaption, kCaptionArea), 0);
    Hover();
    EXPECT_GT(Paint(0).Count(kInactiveCaption, kCaptionArea), 0) << "hovered";
    Leave();

    // Pressed, the caption moves with the face.
    const RECT idleInk = inactive.Bounds(kInactiveCaption);
    const RECT pressedInk = Paint(ODS_SELECTED).Bounds(kInactiveCaption);
    EXPECT_EQ(pressedInk.left, idleInk.left + 1);
    EXPECT_EQ(pressedInk.top, idleInk.top + 1);

    // Disabled, the caption is embossed in the system's colours instead.
    const SkinButtonPicture disabled = Paint(ODS_DISABLED);
    EXPECT_EQ(disabled.Count(kInactiveCaption, kCaptionArea), 0);
    EXPECT_GT(disabled.Count(Sys(COLOR_GRAYTEXT), kCaptionArea), 0);
}

TEST_F(SkinButtonTest, DialogTexturesShowThePaletteOfTheirTint) {
    for (const ButtonFaces::Texture& texture : {MainDialogTexture(), SelectionDialogTexture()}) {
        Texture(texture);
        const ButtonFaces reference = Reference(texture);
        const std::string tint = std::to_string(texture.tintPercent) + "% tint";
        const SkinButtonPicture idle = Paint(0);
        ExpectFace(idle, reference.Normal(), 0, tint.c_str());
        Hover();
        const SkinButtonPicture hovered = Paint(0);
        ExpectFace(hovered, reference.Hover(), 0, tint.c_str());
        Leave();

        // Almost black: no channel can be further from the tint than what is left of white.
        const int limit = (255 * (100 - texture.tintPercent) + 10 * texture.tintPercent) / 100;
        for (const POINT& p : kFacePoints) {
            const COLORREF color = idle.At(p.x, p.y);
            EXPECT_LE(std::max({GetRValue(color), GetGValue(color), GetBValue(color)}), limit)
                << tint << " at (" << p.x << ", " << p.y << ")";
            const COLORREF bright = hovered.At(p.x, p.y);
            EXPECT_GT(GetRValue(bright) + GetGValue(bright) + GetBValue(bright),
                      GetRValue(color) + GetGValue(color) + GetBValue(color))
                << tint << ": the hover face is brighter at (" << p.x << ", " << p.y << ")";
        }
    }
}

TEST_F(SkinButtonTest, HoverRedrawsWithTheHoverFaceAndBackOnScreen) {
    Texture(TestTexture());
    button.SetFlat(true);
    const ButtonFaces reference = Reference(TestTexture());
    button.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    ASSERT_FALSE(NeedsRepaint());
    const SkinButtonPicture before = SkinButtonPicture::OnScreen(button.Hwnd());
    ExpectFace(before, reference.Normal(), 0, "on screen before");
    EXPECT_TRUE(Shows(reference.Normal(), 0, 20, before.At(0, 20))) << "flat: no frame";

    Hover();
    EXPECT_TRUE(NeedsRepaint()) << "entering asks for a repaint";
    button.UpdateWindow();
    const SkinButtonPicture over = SkinButtonPicture::OnScreen(button.Hwnd());
    ExpectFace(over, reference.Hover(), 0, "on screen under the pointer");
    EXPECT_EQ(over.At(0, 20), Sys(COLOR_BTNHIGHLIGHT)) << "flat: thin raised frame";

    button.ValidateRect();
    Mouse(WM_MOUSEMOVE, 0, 40, 22);
    EXPECT_FALSE(NeedsRepaint()) << "further moves over the button change nothing";

    Leave();
    EXPECT_TRUE(NeedsRepaint()) << "leaving asks for a repaint";
    button.UpdateWindow();
    const SkinButtonPicture after = SkinButtonPicture::OnScreen(button.Hwnd());
    ExpectFace(after, reference.Normal(), 0, "on screen after leaving");
    EXPECT_TRUE(Shows(reference.Normal(), 0, 20, after.At(0, 20))) << "flat: no frame again";
}

TEST_F(SkinButtonTest, DoubleClickCountsAsTwoPresses) {
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 30, 20);
    Mouse(WM_LBUTTONUP, 0, 30, 20);
    ASSERT_EQ(host.Count(BN_CLICKED, kButtonId), 1);

    // The system reports the second press of a double click as WM_LBUTTONDBLCLK.
    Mouse(WM_LBUTTONDBLCLK, MK_LBUTTON, 30, 20);
    EXPECT_TRUE(Pushed()) << "the second press pushes the button again";
    EXPECT_EQ(::GetCapture(), button.Hwnd());
    Mouse(WM_LBUTTONUP, 0, 30, 20);
    EXPECT_EQ(host.Count(BN_CLICKED, kButtonId), 2);
    EXPECT_EQ(host.Count(BN_DOUBLECLICKED, kButtonId), 0);
    EXPECT_EQ(::GetCapture(), nullptr);
}

TEST_F(SkinButtonTest, PressedLookFollowsThePointerWhileHeld) {
    Hover();
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 10, 10);
    ASSERT_EQ(::GetCapture(), button.Hwnd());
    EXPECT_TRUE(Pushed());

    // Off the button (over its parent), back on, off again, and released there: no click.
    Mouse(WM_MOUSEMOVE, MK_LBUTTON, -15, 10);
    EXPECT_FALSE(Pushed());
    Mouse(WM_MOUSEMOVE, MK_LBUTTON, 10, 10);
    EXPECT_TRUE(Pushed());
    Mouse(WM_MOUSEMOVE, MK_LBUTTON, 10, kHeight + 15);
    EXPECT_FALSE(Pushed());
    Mouse(WM_LBUTTONUP, 0, 10, kHeight + 15);
    EXPECT_EQ(host.Count(BN_CLICKED, kButtonId), 0);
    EXPECT_EQ(::GetCapture(), nullptr);

    // Released over the button it is a click; afterwards a move arms the hover look again.
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 10, 10);
    Mouse(WM_LBUTTONUP, 0, 10, 10);
    EXPECT_EQ(host.Count(BN_CLICKED, kButtonId), 1);
    button.ValidateRect();
    Hover();
    EXPECT_TRUE(NeedsRepaint()) << "the press ended the hover look; a move brings it back";
    Leave();
}

// The thread's record of the left mouse button, as a real press leaves it until the release.
class LeftMouseButtonDown {
public:
    LeftMouseButtonDown() {
        ::GetKeyboardState(saved_.data());
        std::array<BYTE, 256> down = saved_;
        down[VK_LBUTTON] |= 0x80;
        ::SetKeyboardState(down.data());
    }
    ~LeftMouseButtonDown() { ::SetKeyboardState(saved_.data()); }
    LeftMouseButtonDown(const LeftMouseButtonDown&) = delete;
    LeftMouseButtonDown& operator=(const LeftMouseButtonDown&) = delete;

private:
    std::array<BYTE, 256> saved_{};
};

TEST_F(SkinButtonTest, WhileTheMouseButtonIsDownEveryRepaintFollowsThePointer) {
    {
        const LeftMouseButtonDown held;
        ASSERT_LT(::GetKeyState(VK_LBUTTON), 0);
        Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 10, 10);
        ASSERT_TRUE(Pushed());

        // The pointer goes elsewhere without a move reaching the button (a window opened over
        // it, say): the next repaint drops the pushed look, and brings it back on return.
        ::SetCursorPos(1000, 740);
        button.Invalidate(false);
        button.UpdateWindow();
        EXPECT_FALSE(Pushed());
        POINT back{10, 10};
        ::ClientToScreen(button.Hwnd(), &back);
        ::SetCursorPos(back.x, back.y);
        button.Invalidate(false);
        button.UpdateWindow();
        EXPECT_TRUE(Pushed());
    }
    Mouse(WM_LBUTTONUP, 0, 10, 10);
    EXPECT_EQ(host.Count(BN_CLICKED, kButtonId), 1);
}

TEST_F(SkinButtonTest, ProgrammaticClickWorksWhereverThePointerIs) {
    // BM_CLICK presses and releases through synthesised mouse messages at the button's corner,
    // with the pointer far away (see SetUp) and no mouse button down.
    ASSERT_GE(::GetKeyState(VK_LBUTTON), 0);
    button.Send(BM_CLICK);
    EXPECT_EQ(host.Count(BN_CLICKED, kButtonId), 1);
    EXPECT_EQ(::GetCapture(), nullptr);
}

TEST_F(SkinButtonTest, LosingTheFocusWhileHeldReleasesTheButton) {
    const HWND other = host.AddButton(L"Other", kOtherId, RECT{200, 20, 280, 60});
    ASSERT_NE(other, nullptr);
    Mouse(WM_LBUTTONDOWN, MK_LBUTTON, 10, 10);
    ASSERT_EQ(::GetCapture(), button.Hwnd());
    ASSERT_EQ(::GetFocus(), button.Hwnd());

    ::SetFocus(other); // the keyboard moves the focus on
    EXPECT_EQ(::GetCapture(), nullptr);
    EXPECT_FALSE(Pushed());
    Mouse(WM_LBUTTONUP, 0, 10, 10);
    EXPECT_EQ(host.Count(BN_CLICKED, kButtonId), 0);
}

TEST_F(SkinButtonTest, IconIsPlacedByItsAlignment) {
    const RedIcon icon;
    ASSERT_NE(icon.Get(), nullptr);
    button.SetText("");
    Texture(TestTexture());

    // Left: the 32 x 32 icon at the focus margin, centred vertically: (4, 4) to (36, 36).
    button.SetIcon(icon.Get(), BS_LEFT);
    const SkinButtonPicture left = Paint(0);
    EXPECT_TRUE(IsRed(left.At(4, 20)));
    EXPECT_TRUE(IsRed(left.At(35, 35)));
    EXPECT_FALSE(IsRed(left.At(36, 20)));
    const SkinButtonPicture pressed = Paint(ODS_SELECTED);
    EXPECT_FALSE(IsRed(pressed.At(4, 20))) << "pressed, the icon moves with the face";
    EXPECT_TRUE(IsRed(pressed.At(36, 20)));
    EXPECT_FALSE(IsRed(Paint(ODS_DISABLED).At(20, 20))) << "disabled, the icon is grey";

    // Right: (84, 4) to (116, 36).
    button.SetIcon(icon.Get(), BS_RIGHT);
    const SkinButtonPicture right = Paint(0);
    EXPECT_TRUE(IsRed(right.At(84, 20)));
    EXPECT_TRUE(IsRed(right.At(115, 20)));
    EXPECT_FALSE(IsRed(right.At(83, 20)));
    EXPECT_FALSE(IsRed(right.At(20, 20)));

    // Centred, above where the caption goes: (44, 0) to (76, 32), under the bevel at the top.
    button.SetIcon(icon.Get(), BS_CENTER);
    const SkinButtonPicture centred = Paint(0);
    EXPECT_TRUE(IsRed(centred.At(44, 16)));
    EXPECT_TRUE(IsRed(centred.At(75, 31)));
    EXPECT_FALSE(IsRed(centred.At(60, 32)));

    // An icon the program's resources do not hold leaves the button without one.
    button.SetIcon(4242, BS_LEFT);
    EXPECT_EQ(Paint(0).Count(RGB(255, 0, 0), RECT{0, 0, kWidth, kHeight}), 0);
}

TEST_F(SkinButtonTest, CaptionAlignment) {
    Texture(MainDialogTexture());
    button.SetCaptionColor(kActiveCaption);

    const RECT centred = Paint(0).Bounds(kActiveCaption);
    EXPECT_LT(centred.left, kWidth / 2);
    EXPECT_GT(centred.right, kWidth / 2);
    EXPECT_NEAR(centred.left, kWidth - centred.right, 2);

    button.SetTextAlign(BS_LEFT);
    const RECT left = Paint(0).Bounds(kActiveCaption);
    EXPECT_GE(left.left, 6) << "starts past the margin";
    EXPECT_LT(left.left, 10);
    EXPECT_LT(left.right, kWidth / 2);

    button.SetTextAlign(BS_RIGHT);
    const RECT right = Paint(0).Bounds(kActiveCaption);
    EXPECT_GT(right.left, kWidth / 2);
    EXPECT_LE(right.right, kWidth - 6) << "ends before the margin";
    EXPECT_GT(right.right, kWidth - 10);

    button.SetTextAlign(BS_CENTER);
    const RECT back = Paint(0).Bounds(kActiveCaption);
    EXPECT_EQ(back.left, centred.left);
}

TEST_F(SkinButtonTest, ToolTipIsCreatedOnceAndFollowsTheText) {
    const HWND second = host.AddButton(L"Tip", kOtherId, RECT{200, 20, 280, 60});
    ASSERT_NE(second, nullptr);
    const std::vector<HWND> before = ToolTipWindows();
    HWND toolTip = nullptr;
    {
        SkinButton tipped;
        ASSERT_TRUE(tipped.SubclassWindow(second));
        EXPECT_EQ(ToolTipWindows().size(), before.size()) << "no tool tip until one is asked for";

        tipped.SetToolTipText("Начать обновление");
        const std::vector<HWND> after = ToolTipWindows();
        ASSERT_EQ(after.size(), before.size() + 1);
        for (const HWND candidate : after) {
            if (std::find(before.begin(), before.end(), candidate) == before.end()) {
                toolTip = candidate;
            }
        }
        ASSERT_NE(toolTip, nullptr);
        EXPECT_EQ(::SendMessageW(toolTip, TTM_GETTOOLCOUNT, 0, 0), 1);
        EXPECT_EQ(ToolTipText(toolTip, second), Widen("Начать обновление"));

        tipped.SetToolTipText("Остановить");
        EXPECT_EQ(ToolTipWindows().size(), before.size() + 1) << "the same tool tip";
        EXPECT_EQ(::SendMessageW(toolTip, TTM_GETTOOLCOUNT, 0, 0), 1);
        EXPECT_EQ(ToolTipText(toolTip, second), Widen("Остановить"));

        // The mouse messages reach the tool tip without disturbing the button.
        Mouse(tipped, WM_MOUSEMOVE, 0, 10, 10);
        Mouse(tipped, WM_LBUTTONDOWN, MK_LBUTTON, 10, 10);
        Mouse(tipped, WM_LBUTTONUP, 0, 10, 10);
        EXPECT_EQ(host.Count(BN_CLICKED, kOtherId), 1);
    }
    EXPECT_FALSE(::IsWindow(toolTip)) << "destroyed with the button";
}

// Pictures for people to look at: the looks of the two dialogs' buttons in their states.
TEST_F(SkinButtonTest, Gallery) {
    constexpr int kMainWidth = 108;
    constexpr int kMainHeight = 44;
    constexpr int kSelectWidth = 81;
    constexpr int kSelectHeight = 31;
    // The fonts of the dialogs: the main dialog's own, the selection dialog's template font.
    const Font mainFont{
        ::CreateFontW(26, 9, 0, 0, 0, FALSE, FALSE, FALSE, 204, 0, 0, 0, 0, L"Arial")};
    const Font selectFont{::CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, 204, 0, 0, 0,
                                        0, L"MS Sans Serif")};

    std::vector<std::unique_ptr<SkinButton>> buttons;
    const auto add = [&](const wchar_t* caption, bool main, COLORREF captionColor) {
        const int width = main ? kMainWidth : kSelectWidth;
        const int height = main ? kMainHeight : kSelectHeight;
        const HWND hwnd = host.AddButton(caption, 2000 + static_cast<int>(buttons.size()),
                                         RECT{0, 100, width, 100 + height});
        auto skin = std::make_unique<SkinButton>();
        EXPECT_TRUE(skin->SubclassWindow(hwnd));
        Texture(*skin, main ? MainDialogTexture() : SelectionDialogTexture());
        skin->SetCaptionColor(captionColor);
        skin->SetFont(main ? mainFont.Get() : selectFont.Get());
        skin->SetFlat(main);
        buttons.push_back(std::move(skin));
        return buttons.back().get();
    };
    SkinButton* start = add(L"СТАРТ 115200", true, kActiveCaption);
    SkinButton* stop = add(L"СТОП", true, kInactiveCaption);
    SkinButton* help = add(L"ПОМОЩЬ", true, kActiveCaption);
    SkinButton* quit = add(L"ВЫХОД", true, kActiveCaption);
    SkinButton* choose = add(L"Выбрать", false, RGB(192, 192, 192));
    SkinButton* cancel = add(L"Отмена", false, RGB(192, 192, 192));

    const auto hover = [](SkinButton* target, bool on) {
        if (on) {
            target->Send(WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        } else {
            target->Send(WM_MOUSELEAVE);
        }
    };

    // Each state: a main dialog button (flat) beside a selection dialog button (beveled).
    const std::pair<const char*, UINT> states[] = {
        {"idle", 0},
        {"hover", 0},
        {"pressed", ODS_SELECTED},
        {"disabled", ODS_DISABLED},
        {"focused", ODS_FOCUS},
        {"default", ODS_DEFAULT},
    };
    constexpr COLORREF kBackdrop = RGB(96, 96, 96);
    for (const auto& [name, state] : states) {
        const bool hovered = std::string(name) == "hover";
        hover(start, hovered);
        hover(choose, hovered);
        SkinButtonPicture picture(8 + kMainWidth + 12 + kSelectWidth + 8, 8 + kMainHeight + 8,
                                  kBackdrop);
        picture.PaintAt(*start, state, 8, 8);
        picture.PaintAt(*choose, state, 8 + kMainWidth + 12, 8 + (kMainHeight - kSelectHeight) / 2);
        EXPECT_NE(picture.At(8 + kMainWidth / 2, 8 + kMainHeight / 2), kBackdrop) << name;
        EXPECT_TRUE(picture.Save(name)) << name;
        hover(start, false);
        hover(choose, false);
    }

    // The flat look: idle, hovered, pressed.
    SkinButtonPicture flat(8 + 3 * kMainWidth + 2 * 12 + 8, 8 + kMainHeight + 8, kBackdrop);
    flat.PaintAt(*start, 0, 8, 8);
    hover(start, true);
    flat.PaintAt(*start, 0, 8 + kMainWidth + 12, 8);
    flat.PaintAt(*start, ODS_SELECTED, 8 + 2 * (kMainWidth + 12), 8);
    hover(start, false);
    EXPECT_TRUE(flat.Save("flat"));

    // The main dialog's row of buttons while idle (stop inactive) over its dark key fields,
    // and the selection dialog's pair over its near-black background.
    SkinButtonPicture mainRow(8 + 4 * kMainWidth + 3 * 6 + 8, 8 + kMainHeight + 8, RGB(48, 48, 48));
    int x = 8;
    for (SkinButton* key : {start, stop, help, quit}) {
        mainRow.PaintAt(*key, 0, x, 8);
        x += kMainWidth + 6;
    }
    EXPECT_TRUE(mainRow.Save("main"));
    SkinButtonPicture selectPair(8 + 2 * kSelectWidth + 6 + 8, 8 + kSelectHeight + 8, kTint);
    selectPair.PaintAt(*choose, 0, 8, 8);
    selectPair.PaintAt(*cancel, 0, 8 + kSelectWidth + 6, 8);
    EXPECT_TRUE(selectPair.Save("select"));
}

} // namespace
} // namespace tamsivo::test
