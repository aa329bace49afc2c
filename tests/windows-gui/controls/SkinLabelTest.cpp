// The skinned label in real static controls: its picture (taken through WM_PRINTCLIENT and
// checked at chosen pixels), its flashing, its links and what the parent hears of a click.
#include "SkinLabelHost.h"
#include "SkinLabelPicture.h"

#include "controls/win32/SkinLabel.h"
#include "framework/ClientDC.h"
#include "framework/SelectGuard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tamsivo::test {
namespace {

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kSkinBlue = RGB(10, 180, 250);
constexpr COLORREF kSkinGrey = RGB(64, 64, 64);

// Tahoma ships with every Windows and with Wine; without smoothing every ink pixel is exactly
// the text colour, so pictures can be compared pixel by pixel.
LOGFONTW CrispFont(LONG height = -16) {
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = NONANTIALIASED_QUALITY;
    std::wcscpy(font.lfFaceName, L"Tahoma");
    return font;
}

int LineHeight(const SkinLabel& label) {
    const ClientDC screen(nullptr);
    const SelectGuard select(screen.View(), label.FontHandle());
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(screen.View().Handle(), &metrics);
    return metrics.tmHeight;
}

// Replaces the shell for one test and records what a click hands it.
class ShellRecorder {
public:
    struct Call {
        std::string verb;
        std::string target;
        bool operator==(const Call&) const = default;
    };

    ShellRecorder()
        : previous_(SkinLabel::ReplaceShellOpen(
              [this](const std::string& verb, const std::string& target) {
                  calls.push_back(Call{verb, target});
              })) {}
    ~ShellRecorder() { SkinLabel::ReplaceShellOpen(std::move(previous_)); }
    ShellRecorder(const ShellRecorder&) = delete;
    ShellRecorder& operator=(const ShellRecorder&) = delete;

    std::vector<Call> calls;

private:
    SkinLabel::ShellOpen previous_;
};

// Runs the thread's message loop until `window` has handled the timer `id`; false when the
// deadline passes first.
bool PumpUntilTimer(HWND window, UINT_PTR id, DWORD deadlineMs) {
    const ULONGLONG deadline = ::GetTickCount64() + deadlineMs;
    for (;;) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            const bool tick =
                message.message == WM_TIMER && message.hwnd == window && message.wParam == id;
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
            if (tick) {
                return true;
            }
        }
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now),
                                    QS_ALLINPUT);
    }
}

void Click(const SkinLabel& label) {
    label.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    label.Send(WM_LBUTTONUP, 0, MAKELPARAM(3, 3));
}

class SkinLabelTest : public ::testing::Test {
protected:
    // A label over a static control of `style`, black crisp text on white.
    SkinLabel& Make(DWORD style, const std::wstring& text, int width, int height) {
        const int id = 3000 + static_cast<int>(labels_.size());
        const HWND control =
            host_.AddStatic(text, style, 10, 10 + 20 * (id % 10), width, height, id);
        EXPECT_NE(control, nullptr);
        labels_.push_back(std::make_unique<SkinLabel>());
        SkinLabel& label = *labels_.back();
        EXPECT_TRUE(label.SubclassWindow(control));
        label.SetLogFont(CrispFont()).SetBackgroundColor(kWhite, 0, false).SetTextColor(kBlack);
        return label;
    }

    SkinLabelHost host_{true};
    std::vector<std::unique_ptr<SkinLabel>> labels_;
};

TEST_F(SkinLabelTest, TextLiesWhereTheStaticStyleAlignsIt) {
    constexpr int kWidth = 240;
    const RECT left = SkinLabelPicture::Of(Make(SS_LEFT, L"Tamsivo", kWidth, 24)).InkBounds(kWhite);
    const RECT centre =
        SkinLabelPicture::Of(Make(SS_CENTER, L"Tamsivo", kWidth, 24)).InkBounds(kWhite);
    const RECT right =
        SkinLabelPicture::Of(Make(SS_RIGHT, L"Tamsivo", kWidth, 24)).InkBounds(kWhite);

    ASSERT_LT(left.left, left.right) << "the text is drawn";
    EXPECT_LE(left.left, 3);
    EXPECT_LT(left.right, kWidth / 2);
    EXPECT_LE(left.top, 6) << "top aligned";
    EXPECT_NEAR((centre.left + centre.right) / 2, kWidth / 2, 3);
    EXPECT_GE(right.right, kWidth - 3);
    EXPECT_GT(right.left, kWidth / 2);
    EXPECT_EQ(right.right - right.left, left.right - left.left) << "the same text, moved";
}

TEST_F(SkinLabelTest, TextWrapsAtWordsUnlessTheStyleForbidsIt) {
    constexpr int kWidth = 100;
    const std::wstring text = L"alpha beta gamma delta";
    SkinLabel& wrapping = Make(SS_LEFT, text, kWidth, 80);
    SkinLabel& clipped = Make(SS_LEFTNOWORDWRAP, text, kWidth, 80);
    const int line = LineHeight(wrapping);

    const RECT wrapped = SkinLabelPicture::Of(wrapping).InkBounds(kWhite);
    EXPECT_GT(wrapped.bottom, line + 2) << "a second line";
    EXPECT_LT(wrapped.right, kWidth - 1) << "whole words only";

    const RECT cut = SkinLabelPicture::Of(clipped).InkBounds(kWhite);
    EXPECT_LE(cut.bottom, line) << "one line";
    EXPECT_GE(cut.right, kWidth - 2) << "cut at the right edge";
}

TEST_F(SkinLabelTest, CentredImageStyleCentresOneLineBothWaysAndSeveralLinesAcross) {
    constexpr int kWidth = 200;
    constexpr int kHeight = 60;
    const RECT single =
        SkinLabelPicture::Of(Make(SS_LEFT | SS_CENTERIMAGE, L"Tamsivo", kWidth, kHeight))
            .InkBounds(kWhite);
    ASSERT_LT(single.left, single.right);
    EXPECT_NEAR((single.left + single.right) / 2, kWidth / 2, 3);
    EXPECT_NEAR((single.top + single.bottom) / 2, kHeight / 2, 4);

    SkinLabel& twoLines = Make(SS_LEFT | SS_CENTERIMAGE, L"Tamsivo\r\nTamsivo", kWidth, kHeight);
    const RECT several = SkinLabelPicture::Of(twoLines).InkBounds(kWhite);
    EXPECT_NEAR((several.left + several.right) / 2, kWidth / 2, 3);
    EXPECT_LE(several.top, 6) << "from the top";
    EXPECT_GT(several.bottom, LineHeight(twoLines) + 4) << "both lines";
}

TEST_F(SkinLabelTest, TabsExpandExceptInACentredImage) {
    const RECT expanded = SkinLabelPicture::Of(Make(SS_LEFT, L"A\tB", 200, 24)).InkBounds(kWhite);
    const RECT kept =
        SkinLabelPicture::Of(Make(SS_LEFT | SS_CENTERIMAGE, L"A\tB", 200, 24)).InkBounds(kWhite);
    EXPECT_GT(expanded.right - expanded.left, (kept.right - kept.left) + 20);
}

TEST_F(SkinLabelTest, SolidBackgroundCoversEveryPixelAndDefaultsToTheButtonFace) {
    SkinLabel& coloured = Make(SS_LEFT, L"", 50, 16);
    coloured.SetBackgroundColor(kSkinBlue, 0, false);
    const SkinLabelPicture picture = SkinLabelPicture::Of(coloured);
    EXPECT_EQ(picture.Count(kSkinBlue), 50 * 16);

    const HWND control = host_.AddStatic(L"", SS_LEFT, 10, 200, 30, 12, 2999);
    SkinLabel plain;
    ASSERT_TRUE(plain.SubclassWindow(control));
    EXPECT_EQ(SkinLabelPicture::Of(plain).Count(::GetSysColor(COLOR_BTNFACE)), 30 * 12);
}

TEST_F(SkinLabelTest, GradientOfSixtyColumnsHasOneBandPerColumnDownToTheLastRow) {
    constexpr int kWidth = 60;
    constexpr int kHeight = 12;
    constexpr COLORREF kFrom = RGB(0, 10, 200);
    constexpr COLORREF kTo = RGB(240, 130, 20);
    SkinLabel& label = Make(SS_LEFT, L"", kWidth, kHeight);
    label.SetBackgroundColor(kFrom, kTo, true);
    const SkinLabelPicture picture = SkinLabelPicture::Of(label);

    EXPECT_EQ(picture.At(0, 0), kFrom);
    for (int x = 1; x < kWidth; ++x) {
        const COLORREF before = picture.At(x - 1, 5);
        const COLORREF here = picture.At(x, 5);
        EXPECT_GT(GetRValue(here), GetRValue(before)) << "column " << x;
        EXPECT_LT(GetBValue(here), GetBValue(before)) << "column " << x;
    }
    const COLORREF last = picture.At(kWidth - 1, 5);
    EXPECT_GE(GetRValue(last), 230) << "nearly the end colour";
    EXPECT_LT(GetRValue(last), 240);
    for (int x = 0; x < kWidth; ++x) {
        for (int y = 0; y < kHeight; ++y) {
            ASSERT_EQ(picture.At(x, y), picture.At(x, 5)) << "column " << x << ", row " << y;
        }
    }
}

TEST_F(SkinLabelTest, GradientOfTwoHundredFiftyColumnsHasBandsOfTwoAndAWideLastOne) {
    constexpr int kWidth = 250;
    SkinLabel& label = Make(SS_LEFT, L"", kWidth, 10);
    label.SetBackgroundColor(kBlack, RGB(250, 0, 0), true);
    const SkinLabelPicture picture = SkinLabelPicture::Of(label);

    int bands = 1;
    for (int x = 1; x < kWidth; ++x) {
        if (picture.At(x, 9) != picture.At(x - 1, 9)) {
            ++bands;
            EXPECT_TRUE(x % 2 == 0 && x <= 198) << "a band starts at column " << x;
        }
    }
    EXPECT_EQ(bands, 100);
    EXPECT_EQ(picture.At(0, 9), kBlack);
    EXPECT_EQ(picture.At(1, 9), kBlack);
    EXPECT_NE(picture.At(197, 9), picture.At(198, 9));
    EXPECT_EQ(picture.At(198, 9), picture.At(kWidth - 1, 9)) << "52 columns in the last band";
}

TEST_F(SkinLabelTest, ThreeDTextIsASecondCopyOnePixelOffInTheChosenDirection) {
    SkinLabel& label = Make(SS_CENTER, L"Hx", 80, 30);
    label.SetText3DColor(kRed);
    const SkinLabelPicture flat = SkinLabelPicture::Of(label);
    ASSERT_GT(flat.Count(kBlack), 20);
    EXPECT_EQ(flat.Count(kRed), 0) << "no second copy until asked for";

    for (const int offset : {1, -1}) {
        label.SetText3D(true, offset > 0 ? true : false);
        const SkinLabelPicture raised = SkinLabelPicture::Of(label);
        int mismatches = 0;
        for (int y = 1; y < flat.Height() - 1; ++y) {
            for (int x = 1; x < flat.Width() - 1; ++x) {
                const bool copied = flat.At(x - offset, y - offset) == kBlack;
                const bool original = flat.At(x, y) == kBlack;
                const COLORREF expected = copied ? kRed : (original ? kBlack : kWhite);
                mismatches += raised.At(x, y) != expected ? 1 : 0;
            }
        }
        EXPECT_EQ(mismatches, 0) << "offset " << offset;
    }
}

TEST_F(SkinLabelTest, FlashingTextHidesAndShowsOnEveryTickAndShowsAgainWhenStopped) {
    SkinLabel& label = Make(SS_LEFT, L"Tamsivo", 120, 20);
    const SkinLabelPicture shown = SkinLabelPicture::Of(label);
    const int ink = shown.Count(kBlack);
    ASSERT_GT(ink, 20);
    const RECT inkBounds = shown.InkBounds(kWhite);
    POINT inkPoint{inkBounds.left, inkBounds.top};
    while (shown.At(inkPoint.x, inkPoint.y) != kBlack) {
        ++inkPoint.x;
    }
    const ClientDC screen(label.Hwnd());
    ASSERT_EQ(::GetPixel(screen.View().Handle(), inkPoint.x, inkPoint.y), kBlack);

    label.FlashText(true);
    EXPECT_EQ(SkinLabelPicture::Of(label).Count(kWhite), 120 * 20) << "starts hidden";
    EXPECT_EQ(::GetPixel(screen.View().Handle(), inkPoint.x, inkPoint.y), kWhite)
        << "on the screen at once";
    label.Send(WM_TIMER, SkinLabel::kFlashTimerId);
    EXPECT_EQ(SkinLabelPicture::Of(label).Count(kBlack), ink);
    label.Send(WM_TIMER, SkinLabel::kFlashTimerId);
    EXPECT_EQ(SkinLabelPicture::Of(label).Count(kWhite), 120 * 20);

    // The label's own timer drives the same ticks.
    ASSERT_TRUE(PumpUntilTimer(label.Hwnd(), SkinLabel::kFlashTimerId, 5000));
    EXPECT_EQ(SkinLabelPicture::Of(label).Count(kBlack), ink);
    ASSERT_TRUE(PumpUntilTimer(label.Hwnd(), SkinLabel::kFlashTimerId, 5000));
    EXPECT_EQ(SkinLabelPicture::Of(label).Count(kWhite), 120 * 20);

    label.FlashText(false);
    EXPECT_EQ(SkinLabelPicture::Of(label).Count(kBlack), ink) << "shown though the tick hid it";
    EXPECT_EQ(::GetPixel(screen.View().Handle(), inkPoint.x, inkPoint.y), kBlack)
        << "on the screen at once";
    EXPECT_FALSE(::KillTimer(label.Hwnd(), SkinLabel::kFlashTimerId)) << "the timer is gone";
    EXPECT_EQ(label.Flashing(), SkinLabel::kFlashNone);
}

// Every pixel of `hidden` is black where `shown` has the text colour, and as in `shown`
// elsewhere; returns how many pixels differ from that.
int MismatchesOfTextInBlack(const SkinLabelPicture& shown, const SkinLabelPicture& hidden,
                            COLORREF textColor) {
    int mismatches = 0;
    for (int y = 0; y < shown.Height(); ++y) {
        for (int x = 0; x < shown.Width(); ++x) {
            const COLORREF expected = shown.At(x, y) == textColor ? kBlack : shown.At(x, y);
            mismatches += hidden.At(x, y) != expected ? 1 : 0;
        }
    }
    return mismatches;
}

TEST_F(SkinLabelTest, FlashingTextWithoutASolidBackgroundOfItsOwnAlternatesWithBlack) {
    // No background colour set: the default face is no brush of the label's own.
    const HWND control = host_.AddStatic(L"Tamsivo", SS_LEFT, 10, 200, 120, 20, 2998);
    SkinLabel plain;
    ASSERT_TRUE(plain.SubclassWindow(control));
    plain.SetLogFont(CrispFont()).SetTextColor(kSkinGrey);
    const SkinLabelPicture plainShown = SkinLabelPicture::Of(plain);
    const int plainInk = plainShown.Count(kSkinGrey);
    ASSERT_GT(plainInk, 20);
    plain.FlashText(true);
    const SkinLabelPicture plainHidden = SkinLabelPicture::Of(plain);
    EXPECT_EQ(plainHidden.Count(kBlack), plainInk) << "the text is drawn, in black";
    EXPECT_EQ(MismatchesOfTextInBlack(plainShown, plainHidden, kSkinGrey), 0);
    plain.Send(WM_TIMER, SkinLabel::kFlashTimerId);
    EXPECT_EQ(SkinLabelPicture::Of(plain).Count(kSkinGrey), plainInk) << "and back";
    plain.FlashText(false);

    // A gradient leaves the label without a brush, even after a solid colour.
    SkinLabel& graded = Make(SS_LEFT, L"Tamsivo", 120, 20);
    graded.SetBackgroundColor(kSkinBlue, kWhite, true).SetTextColor(kRed);
    const SkinLabelPicture gradedShown = SkinLabelPicture::Of(graded);
    const int gradedInk = gradedShown.Count(kRed);
    ASSERT_GT(gradedInk, 20);
    graded.FlashText(true);
    const SkinLabelPicture gradedHidden = SkinLabelPicture::Of(graded);
    EXPECT_EQ(gradedHidden.Count(kBlack), gradedInk);
    EXPECT_EQ(MismatchesOfTextInBlack(gradedShown, gradedHidden, kRed), 0);
    graded.Send(WM_TIMER, SkinLabel::kFlashTimerId);
    EXPECT_EQ(SkinLabelPicture::Of(graded).Count(kRed), gradedInk) << "and back";
}

TEST_F(SkinLabelTest, FlashingTextKeepsItsThreeDCopyWhileHidden) {
    SkinLabel& label = Make(SS_CENTER, L"Hx", 80, 30);
    label.SetText3D(true, true).SetText3DColor(kRed);
    const SkinLabelPicture shown = SkinLabelPicture::Of(label);
    const int copy = shown.Count(kRed);
    ASSERT_GT(copy, 20);
    label.FlashText(true);
    const SkinLabelPicture hidden = SkinLabelPicture::Of(label);
    EXPECT_EQ(hidden.Count(kBlack), 0) << "the first copy in the background's colour";
    EXPECT_EQ(hidden.Count(kRed), copy) << "the second copy as before";
}

TEST_F(SkinLabelTest, FlashingBackgroundSwapsTheColoursOnEveryOtherTick) {
    SkinLabel& label = Make(SS_LEFT, L"Tamsivo", 120, 20);
    label.SetBackgroundColor(kSkinBlue, 0, false).SetTextColor(kBlack);
    const SkinLabelPicture normal = SkinLabelPicture::Of(label);
    const int ink = normal.Count(kBlack);
    ASSERT_GT(ink, 20);

    label.FlashBackground(true);
    const SkinLabelPicture swapped = SkinLabelPicture::Of(label);
    EXPECT_EQ(swapped.Count(kSkinBlue), ink) << "the text in the background's colour";
    EXPECT_EQ(swapped.Count(kBlack), 120 * 20 - ink);
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 120; ++x) {
            ASSERT_EQ(swapped.At(x, y) == kSkinBlue, normal.At(x, y) == kBlack) << x << "," << y;
        }
    }

    label.Send(WM_TIMER, SkinLabel::kFlashTimerId);
    EXPECT_EQ(SkinLabelPicture::Of(label).Count(kBlack), ink);
    label.Send(WM_TIMER, SkinLabel::kFlashTimerId);
    EXPECT_EQ(SkinLabelPicture::Of(label).Count(kSkinBlue), ink);
    label.FlashBackground(false);
    EXPECT_EQ(SkinLabelPicture::Of(label).Count(kBlack), ink);
    EXPECT_FALSE(::KillTimer(label.Hwnd(), SkinLabel::kFlashTimerId));
}

TEST_F(SkinLabelTest, WebLinkOpensItsTextOrItsTargetAndTellsTheParent) {
    ShellRecorder shell;
    SkinLabel& label = Make(SS_LEFT, L"www.tamsivo.example", 150, 20);
    label.SetLink(true, false);
    host_.ClearEvents();
    Click(label);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0], (ShellRecorder::Call{"open", "www.tamsivo.example"}));
    const SkinLabelHost::Event clicked{WM_COMMAND, STN_CLICKED,
                                       static_cast<UINT_PTR>(label.GetDlgCtrlID()), label.Hwnd()};
    EXPECT_EQ(host_.Events(), std::vector<SkinLabelHost::Event>{clicked});

    label.SetLinkUrl("https://tamsivo.example/support");
    Click(label);
    ASSERT_EQ(shell.calls.size(), 2u);
    EXPECT_EQ(shell.calls[1], (ShellRecorder::Call{"open", "https://tamsivo.example/support"}));

    label.SetLink(false, false);
    Click(label);
    EXPECT_EQ(shell.calls.size(), 2u) << "a plain label opens nothing";
}

TEST_F(SkinLabelTest, MailLinkOpensAMailToTheLabelsAddressWithTheProgramsSubject) {
    ShellRecorder shell;
    SkinLabel& label = Make(SS_LEFT, L"support@tamsivo.example", 180, 20);
    label.SetLinkUrl("https://tamsivo.example").SetMailLink(true, false);
    Click(label);
    ASSERT_EQ(shell.calls.size(), 1u);
    EXPECT_EQ(shell.calls[0],
              (ShellRecorder::Call{"", "mailto:support@tamsivo.example?subject=Tamsivo"}));
    EXPECT_EQ(label.Link(), SkinLabel::kLinkMail);
}

TEST_F(SkinLabelTest, ClickOnALabelThatNotifiesItsParentOpensNothingAndReachesTheParentTwice) {
    ShellRecorder shell;
    SkinLabel& label = Make(SS_LEFT, L"COM1", 80, 20);
    label.SetLink(true, true);
    host_.ClearEvents();
    Click(label);
    EXPECT_TRUE(shell.calls.empty());
    const auto id = static_cast<UINT_PTR>(label.GetDlgCtrlID());
    const std::vector<SkinLabelHost::Event> expected{
        {WM_NOTIFY, SkinLabel::kClickNotification, id, label.Hwnd()},
        {WM_COMMAND, STN_CLICKED, id, label.Hwnd()},
    };
    EXPECT_EQ(host_.Events(), expected);
}

TEST_F(SkinLabelTest, OnlyALinkTakesTheMouse) {
    SkinLabel& label = Make(SS_LEFT, L"www.tamsivo.example", 150, 20);
    label.SetLink(true, false);
    EXPECT_NE(label.GetStyle() & SS_NOTIFY, 0u);
    EXPECT_EQ(label.Send(WM_NCHITTEST, 0, MAKELPARAM(55, 25)), HTCLIENT);

    label.SetLink(false, false);
    EXPECT_EQ(label.GetStyle() & SS_NOTIFY, 0u);
    EXPECT_EQ(label.Send(WM_NCHITTEST, 0, MAKELPARAM(55, 25)), HTTRANSPARENT)
        << "clicks fall through to the parent";

    label.SetMailLink(true, false);
    EXPECT_NE(label.GetStyle() & SS_NOTIFY, 0u);
}

TEST_F(SkinLabelTest, LinkCursorIsShownOverTheLabel) {
    const HCURSOR hand = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND));
    const HCURSOR arrow = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    ASSERT_NE(hand, nullptr);
    SkinLabel& link = Make(SS_LEFT, L"www.tamsivo.example", 150, 20);
    link.SetLink(true, false).SetLinkCursor(hand);
    ::SetCursor(arrow);
    EXPECT_EQ(link.Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(link.Hwnd()),
                        MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(::GetCursor(), hand);

    SkinLabel& plain = Make(SS_LEFT | SS_NOTIFY, L"Tamsivo", 150, 20);
    plain.Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(plain.Hwnd()),
               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_NE(::GetCursor(), hand) << "the usual cursor without a link cursor";
}

TEST_F(SkinLabelTest, SetTextNeedsTheWindowAndRepaintsWithoutTheStandardPicture) {
    SkinLabel detached;
    EXPECT_EQ(&detached.SetText("lost"), &detached);
    const HWND control = host_.AddStatic(L"Plain", SS_LEFT, 10, 200, 200, 20, 2997);
    ASSERT_TRUE(detached.SubclassWindow(control));
    EXPECT_EQ(detached.Text(), "Plain") << "nothing was kept for later";

    SkinLabel& label = Make(SS_LEFT, L"", 200, 20);
    label.UpdateWindow();
    const int requests = host_.ColorRequests();
    const std::string done = "ВЫПОЛНЕНО";
    label.SetText(done);
    EXPECT_EQ(label.Text(), done);
    wchar_t wide[32] = {};
    ::GetWindowTextW(label.Hwnd(), wide, 32);
    EXPECT_STREQ(wide, L"ВЫПОЛНЕНО") << "stored as Windows-1251 text means";
    EXPECT_EQ(host_.ColorRequests(), requests) << "the standard control painted its own picture";
    EXPECT_GT(SkinLabelPicture::Of(label).Count(kBlack), 20);
}

TEST_F(SkinLabelTest, ChangesReachTheScreenAtOnceAndATransparentLabelShowsItsParent) {
    SkinLabel& label = Make(SS_LEFT, L"", 60, 20);
    const ClientDC screen(label.Hwnd());
    label.SetBackgroundColor(kSkinBlue, 0, false);
    EXPECT_EQ(::GetPixel(screen.View().Handle(), 30, 10), kSkinBlue);
    label.SetBackgroundColor(kRed, 0, false);
    EXPECT_EQ(::GetPixel(screen.View().Handle(), 30, 10), kRed) << "without a message loop";

    label.SetTransparent(true);
    EXPECT_NE(label.GetExStyle() & WS_EX_TRANSPARENT, 0u);
    EXPECT_EQ(::GetPixel(screen.View().Handle(), 30, 10), SkinLabelHost::kColor);
    label.SetText("Tamsivo");
    const SkinLabelPicture over = SkinLabelPicture::Of(label, kWhite);
    EXPECT_GT(over.Count(kBlack), 20) << "the text is drawn";
    EXPECT_EQ(over.Count(kBlack) + over.Count(kWhite), 60 * 20) << "and nothing else";

    label.SetTransparent(false);
    EXPECT_NE(label.GetExStyle() & WS_EX_TRANSPARENT, 0u) << "the style stays";
    EXPECT_EQ(SkinLabelPicture::Of(label, kWhite).Count(kWhite), 0) << "painted off-screen again";
    EXPECT_EQ(::GetPixel(screen.View().Handle(), 59, 19), kRed);
}

TEST_F(SkinLabelTest, SunkenAndBorderFramesTakeRoomAtOnce) {
    SkinLabel& label = Make(SS_LEFT, L"", 60, 20);
    label.SetSunken(true);
    EXPECT_NE(label.GetExStyle() & WS_EX_STATICEDGE, 0u);
    EXPECT_LT(label.GetClientRect().right, 60);
    label.SetSunken(false);
    EXPECT_EQ(label.GetExStyle() & WS_EX_STATICEDGE, 0u);
    EXPECT_EQ(label.GetClientRect().right, 60);

    label.SetBorder(true);
    EXPECT_NE(label.GetStyle() & WS_BORDER, 0u);
    EXPECT_EQ(label.GetClientRect().right, 58);
    label.SetBorder(false);
    EXPECT_EQ(label.GetStyle() & WS_BORDER, 0u);
    EXPECT_EQ(label.GetClientRect().right, 60);
}

TEST_F(SkinLabelTest, TakesTheControlsFontAndEveryFontSetterRebuildsIt) {
    const HWND control = host_.AddStatic(L"Tamsivo", SS_LEFT, 10, 200, 200, 40, 2996);
    const HFONT given = ::CreateFontW(-20, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0,
                                      NONANTIALIASED_QUALITY, 0, L"Tahoma");
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(given), FALSE);
    SkinLabel label;
    ASSERT_TRUE(label.SubclassWindow(control));
    EXPECT_EQ(label.LogFont().lfHeight, -20);
    EXPECT_EQ(label.LogFont().lfWeight, FW_BOLD);
    EXPECT_STREQ(label.LogFont().lfFaceName, L"Tahoma");
    EXPECT_NE(label.FontHandle(), given) << "a font of its own";
    ::DeleteObject(given);

    label.SetBackgroundColor(kWhite, 0, false).SetTextColor(kBlack);
    const int boldInk = SkinLabelPicture::Of(label).Count(kBlack);
    label.SetFontBold(false);
    EXPECT_EQ(label.LogFont().lfWeight, FW_NORMAL);
    EXPECT_LT(SkinLabelPicture::Of(label).Count(kBlack), boldInk);

    const ClientDC screen(nullptr);
    const int dotsPerInch = ::GetDeviceCaps(screen.View().Handle(), LOGPIXELSY);
    label.SetFontSize(18);
    // 18 points are a whole number of pixels at the usual 96 and 120 dots per inch.
    EXPECT_EQ(label.LogFont().lfHeight, -::MulDiv(18, dotsPerInch, 72));
    EXPECT_EQ(label.LogFont().lfWidth, 0);
    const RECT large = SkinLabelPicture::Of(label).InkBounds(kWhite);
    label.SetFontSize(8);
    const RECT small = SkinLabelPicture::Of(label).InkBounds(kWhite);
    EXPECT_GT(large.bottom - large.top, small.bottom - small.top);

    label.SetFontUnderline(true).SetFontItalic(true);
    EXPECT_EQ(label.LogFont().lfUnderline, TRUE);
    EXPECT_EQ(label.LogFont().lfItalic, TRUE);
    const RECT underlined = SkinLabelPicture::Of(label).InkBounds(kWhite);
    EXPECT_GT(underlined.bottom, small.bottom) << "the underline lies below the letters";

    label.SetFontName("Курсив", RUSSIAN_CHARSET);
    EXPECT_STREQ(label.LogFont().lfFaceName, L"Курсив");
    EXPECT_EQ(label.LogFont().lfCharSet, RUSSIAN_CHARSET);
    label.SetFontName(std::string(40, 'W'), DEFAULT_CHARSET);
    EXPECT_EQ(std::wstring(label.LogFont().lfFaceName), std::wstring(LF_FACESIZE - 1, L'W'));

    const LOGFONTW crisp = CrispFont(-30);
    label.SetLogFont(crisp);
    EXPECT_EQ(std::memcmp(&label.LogFont(), &crisp, sizeof(crisp)), 0);
    LOGFONTW built{};
    ::GetObjectW(label.FontHandle(), sizeof(built), &built);
    EXPECT_EQ(built.lfHeight, -30);
}

TEST_F(SkinLabelTest, LabelWithoutAFontOfItsOwnTakesTheSystemFont) {
    const HWND control = host_.AddStatic(L"Tamsivo", SS_LEFT, 10, 200, 200, 40, 2995);
    SkinLabel label;
    ASSERT_TRUE(label.SubclassWindow(control));
    LOGFONTW system{};
    ::GetObjectW(::GetStockObject(SYSTEM_FONT), sizeof(system), &system);
    EXPECT_STREQ(label.LogFont().lfFaceName, system.lfFaceName);
    EXPECT_EQ(label.LogFont().lfHeight, system.lfHeight);
    EXPECT_NE(label.FontHandle(), nullptr);
}

TEST_F(SkinLabelTest, RotatedTextRunsFromTheCentreAlongTheAngle) {
    constexpr int kSize = 100;
    SkinLabel& label = Make(SS_CENTER, L"Tamsivo", kSize, kSize);
    label.SetRotationAngle(90, true);
    EXPECT_EQ(label.LogFont().lfEscapement, 900);
    EXPECT_EQ(label.LogFont().lfOrientation, 900);
    const RECT ink = SkinLabelPicture::Of(label).InkBounds(kWhite);
    ASSERT_LT(ink.left, ink.right);
    EXPECT_LE(ink.bottom, kSize / 2 + 1) << "upwards from the centre";
    EXPECT_LT(ink.top, kSize / 2 - 30);
    EXPECT_LT(ink.right - ink.left, 20) << "one upright line";
    EXPECT_NEAR(ink.right, kSize / 2, 6);

    label.SetRotationAngle(0, false);
    const RECT flat = SkinLabelPicture::Of(label).InkBounds(kWhite);
    EXPECT_GT(flat.right - flat.left, 30);
    EXPECT_LE(flat.top, 6);
}

// Puts the system's button face colour back however the test ends.
class ButtonFaceColour {
public:
    explicit ButtonFaceColour(COLORREF colour) : saved_(::GetSysColor(COLOR_BTNFACE)) {
        const int element = COLOR_BTNFACE;
        ::SetSysColors(1, &element, &colour);
    }
    ~ButtonFaceColour() {
        const int element = COLOR_BTNFACE;
        ::SetSysColors(1, &element, &saved_);
    }
    ButtonFaceColour(const ButtonFaceColour&) = delete;
    ButtonFaceColour& operator=(const ButtonFaceColour&) = delete;

private:
    COLORREF saved_;
};

TEST_F(SkinLabelTest, DefaultBackgroundFollowsAChangeOfTheSystemColours) {
    const HWND control = host_.AddStatic(L"", SS_LEFT, 10, 200, 30, 10, 2994);
    SkinLabel label;
    ASSERT_TRUE(label.SubclassWindow(control));
    label.SetTextColor(kRed);
    const COLORREF before = ::GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(SkinLabelPicture::Of(label).Count(before), 300);
    {
        constexpr COLORREF kNewFace = RGB(1, 2, 3);
        const ButtonFaceColour changed(kNewFace);
        label.Send(WM_SYSCOLORCHANGE);
        EXPECT_EQ(SkinLabelPicture::Of(label).Count(kNewFace), 300);
        label.SetText("Tamsivo");
        EXPECT_GT(SkinLabelPicture::Of(label).Count(kRed), 0) << "the text keeps its colour";
    }
}

TEST_F(SkinLabelTest, EverySetterReturnsTheLabelSoADialogDressesItInOneChain) {
    SkinLabel& label = Make(SS_LEFT, L"", 120, 20);
    SkinLabel& end = label.SetBackgroundColor(kSkinBlue, 0, false)
                         .SetTextColor(kSkinGrey)
                         .SetText("СТАРТ")
                         .SetFontBold(true)
                         .SetFontName("Tahoma", RUSSIAN_CHARSET)
                         .SetFontUnderline(false)
                         .SetFontItalic(false)
                         .SetFontSize(10)
                         .SetSunken(false)
                         .SetBorder(false)
                         .SetTransparent(false)
                         .FlashText(false)
                         .FlashBackground(false)
                         .SetLink(true, false)
                         .SetLinkCursor(nullptr)
                         .SetText3D(false, false)
                         .SetRotationAngle(0, false)
                         .SetText3DColor(kWhite)
                         .SetLogFont(label.LogFont())
                         .SetMailLink(false, false)
                         .SetLinkUrl("");
    EXPECT_EQ(&end, &label);
    const SkinLabelPicture picture = SkinLabelPicture::Of(label);
    EXPECT_EQ(picture.At(0, 0), kSkinBlue);
    EXPECT_GT(picture.Count(kSkinGrey), 0) << "the text in its colour";
}

// Pictures of the label's main looks, for people to look at.
TEST_F(SkinLabelTest, GalleryOfLooks) {
    LOGFONTW smooth = CrispFont(-15);
    smooth.lfWeight = FW_BOLD;
    smooth.lfQuality = DEFAULT_QUALITY;
    smooth.lfCharSet = RUSSIAN_CHARSET;
    const auto dress = [&](SkinLabel& label) -> SkinLabel& {
        return label.SetLogFont(smooth)
            .SetBackgroundColor(kSkinBlue, 0, false)
            .SetTextColor(kSkinGrey);
    };

    SkinLabel& plain = dress(Make(SS_LEFT, L"", 260, 40));
    plain.SetText("Обновление выполнено успешно!");
    EXPECT_TRUE(SkinLabelPicture::Of(plain).Save("plain"));

    SkinLabel& centred = dress(Make(SS_CENTER | SS_CENTERIMAGE, L"", 260, 40));
    centred.SetText("ВЫПОЛНЕНО");
    EXPECT_TRUE(SkinLabelPicture::Of(centred).Save("centred"));

    SkinLabel& gradient = dress(Make(SS_CENTER | SS_CENTERIMAGE, L"", 260, 40));
    gradient.SetBackgroundColor(RGB(10, 10, 10), kSkinBlue, true)
        .SetTextColor(RGB(192, 192, 192))
        .SetText("Выполнено : 42%");
    EXPECT_TRUE(SkinLabelPicture::Of(gradient).Save("gradient"));

    SkinLabel& raised = dress(Make(SS_CENTER | SS_CENTERIMAGE, L"", 260, 40));
    raised.SetText3D(true, true).SetText3DColor(kWhite).SetText("ОБНОВЛЕНИЕ");
    EXPECT_TRUE(SkinLabelPicture::Of(raised).Save("3d"));

    SkinLabel& link = dress(Make(SS_LEFT, L"", 260, 40));
    link.SetFontBold(false)
        .SetFontUnderline(true)
        .SetTextColor(RGB(0, 0, 160))
        .SetMailLink(true, false)
        .SetText("support@tamsivo.example");
    EXPECT_TRUE(SkinLabelPicture::Of(link).Save("link"));

    SkinLabel& flashing = dress(Make(SS_CENTER | SS_CENTERIMAGE, L"", 260, 40));
    flashing.SetText("ОШИБКА").FlashText(true);
    EXPECT_TRUE(SkinLabelPicture::Of(flashing).Save("flash-text-hidden"));
    flashing.Send(WM_TIMER, SkinLabel::kFlashTimerId);
    EXPECT_TRUE(SkinLabelPicture::Of(flashing).Save("flash-text-shown"));
    flashing.FlashBackground(true);
    EXPECT_TRUE(SkinLabelPicture::Of(flashing).Save("flash-background-swapped"));
    flashing.Send(WM_TIMER, SkinLabel::kFlashTimerId);
    EXPECT_TRUE(SkinLabelPicture::Of(flashing).Save("flash-background-normal"));
    flashing.FlashBackground(false);

    SkinLabel& rotated = dress(Make(SS_LEFT, L"", 120, 120));
    rotated.SetFontName("Tahoma", RUSSIAN_CHARSET).SetRotationAngle(45, true).SetText("Tamsivo");
    EXPECT_TRUE(SkinLabelPicture::Of(rotated).Save("rotated"));
}

} // namespace
} // namespace tamsivo::test
