// The skinned controls in a live dialog, painted into memory the way they paint the screen:
// the progress bar's bar, background, borders and two-coloured text, its step and bouncing
// modes; the label's backgrounds, text and links; the button's faces, caption and clicks.
#include "GuiTestIds.h"
#include "HarnessDialog.h"
#include "WinSupport.h"

#include "controls/ButtonFaces.h"
#include "controls/ProgressStyle.h"
#include "controls/TextureStyle.h"
#include "controls/win32/BufferedDC.h"
#include "controls/win32/FontGuard.h"
#include "controls/win32/PercentProgressBar.h"
#include "controls/win32/SkinButton.h"
#include "controls/win32/SkinLabel.h"
#include "framework/DataExchange.h"
#include "framework/MemoryDC.h"
#include "framework/SelectGuard.h"
#include "text/Cp1251Literal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace tamsivo::test {
namespace {

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// A paint pass reaches its target whole, in one copy when it ends, whatever the painter did
// to the buffer's origins: nothing shows half-drawn. The GDI objects of a pass change owner
// whole, so that each is deleted once, by its last owner.
TEST(BufferedDC, DrawingReachesTheTargetWholeAndOnlyAtTheEnd) {
    const HDC screen = ::GetDC(nullptr);
    const MemoryDC target{DCView(screen)};
    Bitmap made(::CreateCompatibleBitmap(screen, 40, 30));
    ::ReleaseDC(nullptr, screen);
    const HBITMAP handle = made.Get();
    Bitmap picture;
    picture = std::move(made);
    EXPECT_TRUE(picture.Get() == handle && !made);
    const SelectGuard selected(target.View(), picture);
    const HDC shown = target.View().Handle();
    ::PatBlt(shown, 0, 0, 40, 30, WHITENESS);
    // Passes over an area, one row, one column: a block drawn in each, a pixel outside it kept.
    using Pass = std::tuple<RECT, POINT, POINT>;
    for (const auto& [area, drawn, kept] :
         {Pass{{10, 5, 30, 25}, {15, 10}, {25, 10}}, Pass{{10, 29, 30, 30}, {15, 29}, {25, 29}},
          Pass{{19, 0, 20, 30}, {19, 27}, {19, 2}}}) {
        {
            const BufferedDC buffer(target.View(), &area, true);
            ::PatBlt(buffer.View().Handle(), 10, 5, 10, 25, BLACKNESS);
            ::SetViewportOrgEx(buffer.View().Handle(), 7, 7, nullptr);
            EXPECT_EQ(::GetPixel(shown, drawn.x, drawn.y), kWhite) << "drawn before the pass ended";
        }
        EXPECT_EQ(::GetPixel(shown, drawn.x, drawn.y), kBlack);
        EXPECT_EQ(::GetPixel(shown, kept.x, kept.y), kWhite) << "the background was not kept";
    }
    // A font handed to a guard is in the context for the block and deleted after it.
    const HFONT font = ::CreateFontW(20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, L"Arial");
    {
        const FontGuard guard(target.View(), Font(font));
        EXPECT_EQ(::GetCurrentObject(shown, OBJ_FONT), font);
    }
    EXPECT_EQ(::GetObjectType(font), 0u);
    const SIZE unmeasured = DCView().MeasureString("A"); // no context, no size
    EXPECT_EQ(unmeasured.cx | unmeasured.cy, 0);
    // A recording gets the drawing itself: a bitmap would only coarsen it.
    const HDC recording = ::CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(BufferedDC(DCView(recording)).Buffering());
    ::DeleteEnhMetaFile(::CloseEnhMetaFile(recording));
}

class ControlsDialog : public HarnessDialog<Dialog> {
public:
    ControlsDialog() : HarnessDialog(IDD_HARNESS) {}
    SkinLabel label;
    PercentProgressBar bar;
    SkinButton button;
    std::vector<std::string> events;

    // The bar 200 x 20 pixels, plain red over white, positioned and styled; borders as made.
    void PlainBar(int position, DWORD style) {
        bar.SetWindowPos(nullptr, 0, 0, 200, 20, SWP_NOMOVE | SWP_NOZORDER);
        bar.ModifyStyle(~0u & 0xFFFF, style);
        bar.SetGradientColors(kRed, kRed);
        bar.SetBkColor(kWhite);
        bar.SetRange(0, 100);
        bar.SetPos(position);
    }

protected:
    void DoDataExchange(DataExchange& exchange) override {
        exchange.Control(IDC_LABEL, label);
        exchange.Control(IDC_PROGRESS, bar);
        exchange.Control(IDC_OWNERDRAW, button);
    }
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    void OnButton() { events.push_back("BN_CLICKED"); }
    void OnLabel() { events.push_back("STN_CLICKED"); }
    LRESULT OnLabelNotify(const NMHDR&) {
        events.push_back("notify");
        return 0;
    }
    static const MessageEntry messageEntries[];
};
const MessageEntry ControlsDialog::messageEntries[] = {
    Command<&ControlsDialog::OnButton>(IDC_OWNERDRAW),
    Command<&ControlsDialog::OnLabel>(IDC_LABEL, STN_CLICKED),
    Notify<&ControlsDialog::OnLabelNotify>(IDC_LABEL, SkinLabel::kClickNotification),
};
const MessageMap ControlsDialog::messageMap{&HarnessDialog<Dialog>::messageMap, messageEntries};

// The colours of a window's pixels at the given points.
std::vector<COLORREF> Colors(const Window& window, const std::vector<POINT>& points) {
    const Picture picture(window.Hwnd());
    std::vector<COLORREF> colors;
    std::ranges::transform(points, std::back_inserter(colors),
                           [&](POINT point) { return picture.At(point.x, point.y); });
    return colors;
}

void InDialog(const std::function<void(ControlsDialog&)>& scenario) {
    ControlsDialog dialog;
    dialog.AddStep([&] { scenario(dialog); });
    EXPECT_EQ(dialog.DoModal(), ControlsDialog::kScenarioDone);
}

TEST(PercentProgressBar, GrowsFromItsEndAcrossItsBordersAndRangeAndStepsABouncingSegment) {
    InDialog([](ControlsDialog& d) {
        d.PlainBar(50, 0);
        // Unframed: from the very corners.
        EXPECT_EQ(Colors(d.bar, {{0, 0}, {0, 19}, {99, 10}, {100, 10}}),
                  (std::vector{kRed, kRed, kRed, kWhite}));
        // The text is drawn through clips, so that its colour changes exactly at the bar's end.
        d.bar.SetTextFormat("%d%%%d%%%d%%", PPB_TEXT_PERCENT); // wide, to straddle the edge
        d.bar.SetTextColors(kWhite, kBlack);
        const Picture text(d.bar.Hwnd());
        EXPECT_GT(text.Count(kWhite, RECT{0, 0, 100, 20}), 10) << "text over the bar";
        EXPECT_GT(text.Count(kBlack, RECT{100, 0, 200, 20}), 10) << "text over the rest";
        EXPECT_EQ(text.Count(kBlack, RECT{0, 0, 100, 20}), 0);
        // Without a font of its own, the text is in the context's, as centred.
        d.bar.SetFont(nullptr);
        EXPECT_GT(Picture(d.bar.Hwnd()).Count(kBlack, RECT{100, 11, 200, 20}), 5);
        // A position outside the range shows only the background; so do borders.
        d.PlainBar(50, 0);
        d.bar.SetRange(60, 100);
        EXPECT_EQ(Picture(d.bar.Hwnd()).Count(kRed, RECT{0, 0, 200, 20}), 0);
        d.PlainBar(100, 0);
        d.bar.SetBorders(RECT{3, 2, 5, 4});
        EXPECT_EQ(Colors(d.bar, {{2, 10}, {3, 10}, {194, 10}, {195, 10}, {100, 1}, {100, 16}}),
                  (std::vector{kWhite, kRed, kRed, kWhite, kWhite, kWhite}));
        // The standard messages set the colours: a solid bar, the background.
        EXPECT_EQ(d.bar.Send(PBM_SETBARCOLOR, 0, kBlue), static_cast<LRESULT>(CLR_DEFAULT));
        d.bar.Send(PBM_SETBKCOLOR, 0, kBlack);
        EXPECT_EQ(Colors(d.bar, {{100, 10}, {1, 10}}), (std::vector{kBlue, kBlack}));
        // A gradient runs from its first colour to its last along the bar.
        EXPECT_THROW(d.bar.SetGradientColorList(std::vector<COLORREF>{kRed}),
                     std::invalid_argument);
        d.bar.SetGradientColorList(std::vector<COLORREF>{kRed, kBlue});
        const Picture graded(d.bar.Hwnd());
        EXPECT_EQ(graded.At(3, 10), kRed);
        EXPECT_GT(GetBValue(graded.At(190, 10)), 200);
        // Half the bar shows half the gradient, or all of it squeezed in when stretched.
        d.bar.SetPos(50);
        EXPECT_LT(GetBValue(Picture(d.bar.Hwnd()).At(96, 10)), 160);
        d.bar.ModifyStyle(0, PPB_STRETCH_GRADIENT);
        d.bar.Invalidate(true);
        EXPECT_GT(GetBValue(Picture(d.bar.Hwnd()).At(96, 10)), 200);
        // Every control paints each of its pixels; an erase first would only flicker.
        const MemoryDC memory{DCView(nullptr)};
        for (const HWND control : {d.bar.Hwnd(), d.label.Hwnd(), d.button.Hwnd()}) {
            EXPECT_EQ(::SendMessageW(control, WM_ERASEBKGND,
                                     reinterpret_cast<WPARAM>(memory.View().Handle()), 0),
                      TRUE);
        }

        // Where the segment goes is the segment's own arithmetic; here, that the bar's messages
        // move it and that it is painted and turned round.
        d.PlainBar(0, PPB_BOUNCE);
        d.bar.SetBorders(RECT{});
        d.bar.SetSegmentLength(40);
        d.bar.SetStep(30);
        for (int i = 0; i < 4; ++i) {
            d.bar.StepIt(); // 30, 60, 90, then the head runs on past 100
        }
        EXPECT_EQ(d.bar.GetPos(), 100);
        EXPECT_EQ(Colors(d.bar, {{199, 10}, {139, 10}}), (std::vector{kRed, kWhite}))
            << "the head at the end, the tail moved on";
        d.bar.StepIt(); // past the end: it comes back from the right
        EXPECT_NE(d.bar.GetStyle() & PPB_REVERSE, 0u);
        d.bar.OffsetPos(-10);
        EXPECT_EQ(d.bar.GetPos(), 20);
    });
}

TEST(SkinLabel, PaintsItsBackgroundAndTextAndHandsItsLinkToTheShell) {
    std::vector<std::string> opened;
    const auto previous =
        SkinLabel::ReplaceShellOpen([&](const std::string& verb, const std::string& target) {
            opened.push_back(verb + target);
        });
    InDialog([&](ControlsDialog& d) {
        d.label.SetWindowPos(nullptr, 0, 0, 120, 20, SWP_NOMOVE | SWP_NOZORDER);
        // The pixels of a colour, white by default, in the label's top 120 x 20 pixels.
        const auto ink = [](const Window& label, COLORREF color = kWhite) {
            return Picture(label.Hwnd()).Count(color, RECT{0, 0, 120, 20});
        };
        d.label.SetBackgroundColor(kBlue).SetTextColor(kWhite).SetText(kCp1251<"ТЕСТ">);
        EXPECT_EQ(Picture(d.label.Hwnd()).At(119, 0), kBlue);
        EXPECT_GT(ink(d.label), 10);
        d.label.SetBackgroundColor(kBlack, kRed, true).SetText("");
        const Picture graded(d.label.Hwnd());
        EXPECT_EQ(graded.At(0, 10), kBlack);
        EXPECT_GT(GetRValue(graded.At(119, 10)), 200);
        EXPECT_EQ(ink(d.label.SetTransparent(true), graded.At(119, 10)), 0)
            << "a transparent label paints no background of its own";

        // A web link opens its text; one that notifies only tells the parent.
        d.label.SetText("WWW.EXAMPLE.TEST").SetLink(true, false);
        ::SendMessageW(d.label.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
        d.label.SetMailLink(true, false).SetText("support@example.test");
        ::SendMessageW(d.label.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
        d.label.SetLink(true, true);
        ::SendMessageW(d.label.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
        ::SendMessageW(d.label.Hwnd(), WM_LBUTTONUP, 0, 0);
        EXPECT_EQ(d.events, (std::vector<std::string>{"STN_CLICKED", "STN_CLICKED", "notify",
                                                      "STN_CLICKED"}));
        // Over a link its own cursor shows; without one, the static's own answer holds.
        const HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
        const auto setCursor = [](HWND hwnd) {
            return ::SendMessageW(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd),
                                  MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        };
        EXPECT_TRUE(setCursor(d.label.SetLinkCursor(hand).Hwnd()) && ::GetCursor() == hand);
        const LRESULT own = setCursor(d.label.SetLinkCursor(nullptr).Hwnd());
        EXPECT_NE(::GetCursor(), hand);
        EXPECT_EQ(own, setCursor(d.GetDlgItem(IDC_PLAIN)));

        // Flashing hides the text every other tick.
        const int shown = ink(d.label.SetTransparent(false)
                                  .SetBackgroundColor(kBlue)
                                  .SetText(kCp1251<"ТЕСТ">)
                                  .FlashText(true));
        d.label.Send(WM_TIMER, SkinLabel::kFlashTimerId);
        EXPECT_NE(shown == 0, ink(d.label) == 0);
        EXPECT_GT(ink(d.label.FlashText(false)), 10);
        EXPECT_FALSE(::KillTimer(d.label.Hwnd(), SkinLabel::kFlashTimerId)) << "a timer left";
        // Hidden on a label without a solid brush of its own, a gradient, the text is black.
        EXPECT_GT(ink(d.label.SetBackgroundColor(kBlue, kBlue, true).FlashText(true), kBlack), 10);
        d.label.FlashText(false).SetBackgroundColor(kBlue);
        // Flashing the background swaps the colours: blue letters on white, every other tick.
        EXPECT_EQ(Picture(d.label.FlashBackground(true).Hwnd()).At(119, 0), kWhite);
        EXPECT_GT(ink(d.label, kBlue), 10);
        d.label.FlashBackground(false);
        // A frame or a link changes its own bit only, whatever the alignment and frame beside it.
        // A link takes the clicks on it (SS_NOTIFY); a plain label lets them through to what
        // lies beneath.
        for (const bool odd : {true, false}) {
            d.label.ModifyStyle(SS_CENTER, odd ? SS_CENTER : 0);
            d.label.ModifyStyleEx(WS_EX_DLGMODALFRAME, odd ? WS_EX_DLGMODALFRAME : 0);
            const auto styles = [&] { return std::pair(d.label.GetStyle(), d.label.GetExStyle()); };
            const auto [style, exStyle] = styles(); // a link's
            const auto link = odd ? &SkinLabel::SetMailLink : &SkinLabel::SetLink;
            (d.label.*link)(false, false).SetSunken(true).SetBorder(true);
            EXPECT_EQ(styles(),
                      std::pair((style | WS_BORDER) & ~SS_NOTIFY, exStyle | WS_EX_STATICEDGE));
            (d.label.*link)(true, true).SetSunken(false).SetBorder(false);
            EXPECT_EQ(styles(), std::pair(style, exStyle));
        }

        // The font's setters change the letters: underlined, larger and bold, each more ink.
        const std::vector inks{ink(d.label.SetFontSize(8).SetFontBold(false)),
                               ink(d.label.SetFontUnderline(true)), ink(d.label.SetFontSize(11)),
                               ink(d.label.SetFontBold(true))};
        EXPECT_TRUE(std::ranges::adjacent_find(inks, std::greater_equal{}) == inks.end())
            << ::testing::PrintToString(inks);
        EXPECT_NE(ink(d.label.SetFontItalic(true)), inks.back()) << "italics";
        // A rotated text stands on its baseline at the centre and runs up from there.
        d.label.SetWindowPos(nullptr, 0, 0, 120, 60, SWP_NOMOVE | SWP_NOZORDER);
        d.label.SetText("AAAA").SetRotationAngle(90, true);
        EXPECT_GT(Picture(d.label.Hwnd()).Count(kWhite, RECT{48, 22, 61, 31}), 5);

        // Every change of look shows at once: the label is painted before the setter returns.
        static HWND painted = nullptr;
        static int paints = 0;
        painted = d.label.Hwnd();
        const HHOOK hook = ::SetWindowsHookExW(
            WH_CALLWNDPROC,
            [](int code, WPARAM sent, LPARAM call) -> LRESULT {
                const auto* message = reinterpret_cast<const CWPSTRUCT*>(call);
                paints += message->hwnd == painted && message->message == WM_PAINT;
                return ::CallNextHookEx(nullptr, code, sent, call);
            },
            nullptr, ::GetCurrentThreadId());
        for (const std::function<void()>& change : std::vector<std::function<void()>>{
                 [&] { d.label.SetTextColor(kRed); }, [&] { d.label.SetText("A"); },
                 [&] { d.label.SetBackgroundColor(kWhite); }, [&] { d.label.SetFontBold(true); },
                 [&] { d.label.SetFontName("Arial", 0); }, [&] { d.label.SetFontUnderline(true); },
                 [&] { d.label.SetFontItalic(true); }, [&] { d.label.SetFontSize(9); },
                 [&] { d.label.SetText3D(true, true); },
                 [&] { d.label.SetRotationAngle(90, false); },
                 [&] { d.label.SetText3DColor(kBlue); }, [&] { d.label.SetLogFont(LOGFONTW{}); },
                 [&] { d.label.SetTransparent(false); }, [&] { d.label.FlashText(true); },
                 [&] { d.label.Send(WM_TIMER, SkinLabel::kFlashTimerId); },
                 [&] { d.label.FlashText(false); }, [&] { d.label.Send(WM_SYSCOLORCHANGE); }}) {
            const int before = paints;
            change();
            EXPECT_GT(paints, before);
        }
        // A label without a parent is painted at once too, in the system's face colour when it
        // has no background of its own, and stops flashing when it goes.
        const HWND alone = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 40, 20,
                                             nullptr, nullptr, nullptr, nullptr);
        {
            SkinLabel label;
            painted = alone;
            ::ValidateRect(alone, nullptr); // its first paint is not the setter's
            const int before = paints;
            EXPECT_TRUE(label.SubclassWindow(alone) && label.FlashText(true).Hwnd() == alone);
            EXPECT_GT(paints, before);
            const int face = COLOR_BTNFACE;
            const COLORREF was = ::GetSysColor(face);
            ::SetSysColors(1, &face, &kRed);
            EXPECT_EQ(Picture(alone).At(39, 0), kRed);
            ::SetSysColors(1, &face, &was);
        }
        EXPECT_FALSE(::KillTimer(alone, SkinLabel::kFlashTimerId));
        ::DestroyWindow(alone);
        ::UnhookWindowsHookEx(hook);
    });
    SkinLabel::ReplaceShellOpen(previous);
    EXPECT_EQ(opened, (std::vector<std::string>{"openWWW.EXAMPLE.TEST",
                                                "mailto:support@example.test?subject=Tamsivo"}));
}

TEST(SkinButton, DrawsItsFacesAndCaptionAndClicksOnceAPress) {
    InDialog([](ControlsDialog& d) {
        d.button.SetWindowPos(nullptr, 0, 0, 108, 35, SWP_NOMOVE | SWP_NOZORDER);
        d.button.SetTexture(TextureSoftBump, 0, 10, 90, RGB(10, 10, 10));
        d.button.SetText(kCp1251<"СТАРТ">);
        EXPECT_NE(d.button.SetCaptionColor(kRed), kRed);
        const Picture idle(d.button.Hwnd());
        EXPECT_GT(idle.Count(kRed, RECT{0, 0, 108, 35}), 20) << "the caption in its colour";
        // The faces made for its size, the system's colours and the texture, each drawn from
        // the button's corner; held down, the lit face one pixel lower and further right. Rows
        // 5 to 8 lie below the focus rectangle's top and above the caption.
        const COLORREF lit = ::GetSysColor(COLOR_BTNHIGHLIGHT);
        const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
        ButtonFaces faces;
        faces.Build(108, 35, 4, {lit, ::GetSysColor(COLOR_BTNFACE), shadow},
                    {TextureSoftBump, 0, 10, 90, RGB(10, 10, 10)});
        const auto facePixelsDiffer = [](const Picture& picture, const DibSurface& face, int at) {
            int differ = 0;
            for (int y = 5; y <= 8; ++y) {
                for (int x = 6; x <= 100; ++x) {
                    const Color expected = face.PaletteColor(face.PixelIndex(x, y));
                    differ += picture.At(x + at, y + at) != expected;
                }
            }
            return differ;
        };
        EXPECT_EQ(facePixelsDiffer(idle, faces.Normal(), 0), 0);
        // The pointer over the button lights its face at once until it leaves; a flat one it
        // raises on a thin frame, lit along the top and left and shadowed along the others,
        // which take the top-right and bottom-left corners.
        d.button.SetFlat(true);
        ::ValidateRect(d.button.Hwnd(), nullptr);
        ::SendMessageW(d.button.Hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        EXPECT_TRUE(::GetUpdateRect(d.button.Hwnd(), nullptr, FALSE)) << "no repaint due";
        EXPECT_GT(GetRValue(Picture(d.button.Hwnd()).At(8, 17)), GetRValue(idle.At(8, 17)));
        EXPECT_EQ(Colors(d.button, {{106, 0}, {0, 33}, {107, 0}, {0, 34}}),
                  (std::vector{lit, lit, shadow, shadow}));
        ::SendMessageW(d.button.Hwnd(), WM_MOUSELEAVE, 0, 0);
        EXPECT_EQ(Picture(d.button.Hwnd()).At(8, 17), idle.At(8, 17));
        d.button.EnableWindow(false);
        const Picture disabled(d.button.Hwnd());
        EXPECT_EQ(disabled.Count(kRed, RECT{0, 0, 108, 35}), 0) << "an embossed grey caption";
        d.button.EnableWindow(true);

        const HWND hwnd = d.button.Hwnd();
        ::SendMessageW(hwnd, BM_CLICK, 0, 0);
        ::SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        EXPECT_EQ(facePixelsDiffer(Picture(hwnd), faces.Pressed(), 1), 0);
        ::SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        ::SendMessageW(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(5, 5));
        ::SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        PumpUntil([&] { return d.events.size() >= 3; }, 2000);
        EXPECT_EQ(d.events, std::vector<std::string>(3, "BN_CLICKED"))
            << "a click by message, a press, and a double click that counts as a press";
    });
}

} // namespace
} // namespace tamsivo::test
