// The percent progress bar in a real standard progress control: its picture, painted through
// WM_PRINTCLIENT into a memory bitmap, checked at chosen pixels (bar and background extents,
// where each text colour lies), and its handling of the progress messages.
#include "BufferedDCTestCanvas.h"
#include "PercentProgressBarTestHost.h"

#include "controls/ProgressStyle.h"
#include "controls/win32/PercentProgressBar.h"
#include "framework/ClientDC.h"
#include "framework/GdiObject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <span>
#include <stdexcept>
#include <string>

#include <commctrl.h>

namespace tamsivo::test {
namespace {

constexpr COLORREF kBackground = RGB(10, 180, 250);
constexpr COLORREF kBar = RGB(64, 64, 64);
constexpr COLORREF kTextOverBar = RGB(250, 240, 20);
constexpr COLORREF kTextOverBackground = RGB(200, 0, 120);
constexpr COLORREF kUnpainted = PercentProgressBarTestHost::kUnpainted;

// Crisp glyphs: every text pixel is exactly one of the two text colours.
Font TestFont(int escapement = 0) {
    return Font{::CreateFontW(-16, 0, escapement, escapement, FW_BOLD, 0, 0, 0, RUSSIAN_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                              DEFAULT_PITCH, L"Tahoma")};
}

// The main dialog's way of dressing the bar, in colours that tell the four parts apart.
void Dress(PercentProgressBar& bar, HFONT font) {
    bar.SetFont(font, false);
    bar.SetTextColors(kTextOverBar, kTextOverBackground);
    bar.SetTextFormat("Выполнено : %d%%", PPB_TEXT_PERCENT);
    bar.SetBkColor(kBackground);
    bar.SetGradientColors(kBar, kBar);
}

void PlainBar(PercentProgressBar& bar) {
    bar.SetBkColor(kBackground);
    bar.SetGradientColors(kBar, kBar);
}

std::string Where(int x, int y) {
    return "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
}

// Every pixel of the picture is `inside` within columns [from, to) and `outside` elsewhere;
// `vertical` takes rows instead of columns. At most a few failures are reported.
void ExpectBarExtent(const BufferedDCTestCanvas& canvas, int from, int to, bool vertical,
                     COLORREF inside = kBar, COLORREF outside = kBackground) {
    int wrong = 0;
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            const int along = vertical ? y : x;
            const COLORREF expected = along >= from && along < to ? inside : outside;
            if (canvas.Pixel(x, y) != expected && wrong++ < 4) {
                ADD_FAILURE() << "pixel " << Where(x, y) << " is 0x" << std::hex
                              << canvas.Pixel(x, y) << ", expected 0x" << expected << std::dec
                              << " (bar " << from << ".." << to << ")";
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

// A text split at the bar: inside [from, to) every pixel is bar or text in the colour over the
// bar, elsewhere background or text in the colour over the background.
void ExpectTextSplit(const BufferedDCTestCanvas& canvas, int from, int to, bool vertical) {
    int wrong = 0;
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            const int along = vertical ? y : x;
            const bool onBar = along >= from && along < to;
            const COLORREF pixel = canvas.Pixel(x, y);
            const bool right = onBar ? (pixel == kBar || pixel == kTextOverBar)
                                     : (pixel == kBackground || pixel == kTextOverBackground);
            if (!right && wrong++ < 4) {
                ADD_FAILURE() << "pixel " << Where(x, y) << " is 0x" << std::hex << pixel
                              << std::dec << (onBar ? " on the bar" : " off the bar") << " ("
                              << from << ".." << to << ")";
            }
        }
    }
    EXPECT_EQ(wrong, 0);
}

RECT Union(const RECT& a, const RECT& b) {
    RECT result{};
    ::UnionRect(&result, &a, &b);
    return result;
}

// The middle of all text pixels, in both colours, doubled to stay in integers.
POINT DoubledTextCentre(const BufferedDCTestCanvas& canvas) {
    const RECT ink =
        Union(FindInk(canvas, kTextOverBar).bounds, FindInk(canvas, kTextOverBackground).bounds);
    return POINT{ink.left + ink.right, ink.top + ink.bottom};
}

bool Near(COLORREF actual, COLORREF expected, int tolerance) {
    return std::abs(GetRValue(actual) - GetRValue(expected)) <= tolerance &&
           std::abs(GetGValue(actual) - GetGValue(expected)) <= tolerance &&
           std::abs(GetBValue(actual) - GetBValue(expected)) <= tolerance;
}

TEST(PercentProgressBar, FillsExactlyUpToTheScaledPositionAndShowsTheBackgroundBeyond) {
    PercentProgressBarTestHost host(200, 24, 0);
    ASSERT_TRUE(host.Ready());
    PercentProgressBar& bar = host.Bar();
    PlainBar(bar);

    bar.SetRange(0, 400);
    const struct {
        int position;
        int edge;
    } halves[] = {{0, 0}, {150, 75}, {400, 200}, {3, 1}};
    for (const auto& c : halves) {
        SCOPED_TRACE("position " + std::to_string(c.position) + " of 0..400");
        bar.SetPos(c.position);
        ExpectBarExtent(host.Print(), 0, c.edge, false);
    }

    // A length that does not divide evenly: the edge is truncated toward zero.
    bar.SetRange(0, 99);
    const struct {
        int position;
        int edge;
    } ninetyNinths[] = {{50, 101}, {98, 197}, {99, 200}};
    for (const auto& c : ninetyNinths) {
        SCOPED_TRACE("position " + std::to_string(c.position) + " of 0..99");
        bar.SetPos(c.position);
        ExpectBarExtent(host.Print(), 0, c.edge, false);
    }

    // A range that does not start at 0 scales from its lower bound.
    bar.SetRange(-100, 100);
    bar.SetPos(0);
    ExpectBarExtent(host.Print(), 0, 100, false);
}

TEST(PercentProgressBar, ReversedAndVerticalBarsGrowFromTheirOwnEnds) {
    {
        PercentProgressBarTestHost host(200, 20, PPB_REVERSE);
        ASSERT_TRUE(host.Ready());
        PlainBar(host.Bar());
        host.Bar().SetRange(0, 400);
        host.Bar().SetPos(150);
        SCOPED_TRACE("horizontal, reversed: from the right");
        ExpectBarExtent(host.Print(), 125, 200, false);
    }
    {
        PercentProgressBarTestHost host(20, 120, PBS_VERTICAL);
        ASSERT_TRUE(host.Ready());
        PlainBar(host.Bar());
        host.Bar().SetRange(0, 240);
        host.Bar().SetPos(60);
        SCOPED_TRACE("vertical: from the bottom");
        ExpectBarExtent(host.Print(), 90, 120, true);
    }
    {
        PercentProgressBarTestHost host(20, 120, PBS_VERTICAL | PPB_REVERSE);
        ASSERT_TRUE(host.Ready());
        PlainBar(host.Bar());
        host.Bar().SetRange(0, 240);
        host.Bar().SetPos(60);
        SCOPED_TRACE("vertical, reversed: from the top");
        ExpectBarExtent(host.Print(), 0, 30, true);
    }
}

TEST(PercentProgressBar, TextChangesColourExactlyAtTheBarsEnd) {
    const Font font = TestFont();
    PercentProgressBarTestHost host(240, 28, 0);
    ASSERT_TRUE(host.Ready());
    Dress(host.Bar(), font.Get());
    host.Bar().SetRange(0, 100);

    const struct {
        int position;
        int edge;
    } cases[] = {{0, 0}, {50, 120}, {100, 240}, {40, 96}};
    for (const auto& c : cases) {
        SCOPED_TRACE("position " + std::to_string(c.position));
        host.Bar().SetPos(c.position);
        const BufferedDCTestCanvas& canvas = host.Print();
        ExpectTextSplit(canvas, 0, c.edge, false);
        const PercentProgressBarInk overBar = FindInk(canvas, kTextOverBar);
        const PercentProgressBarInk overBackground = FindInk(canvas, kTextOverBackground);
        if (c.edge == 0) {
            EXPECT_EQ(overBar.count, 0);
            EXPECT_GT(overBackground.count, 100) << "the whole text over the background";
        } else if (c.edge == 240) {
            EXPECT_EQ(overBackground.count, 0);
            EXPECT_GT(overBar.count, 100) << "the whole text over the bar";
        } else {
            // Both colours, meeting at the edge column.
            EXPECT_GT(overBar.count, 20);
            EXPECT_GT(overBackground.count, 20);
            EXPECT_LE(overBar.bounds.right, c.edge);
            EXPECT_GE(overBackground.bounds.left, c.edge);
            EXPECT_GE(overBar.bounds.right, c.edge - 3) << "the text runs on up to the edge";
            EXPECT_LE(overBackground.bounds.left, c.edge + 3);
        }
        // Centred both ways in the control.
        const POINT centre = DoubledTextCentre(canvas);
        EXPECT_NEAR(centre.x, 240, 4);
        EXPECT_NEAR(centre.y, 28, 6);
    }
}

TEST(PercentProgressBar, PercentageIsTruncatedTowardZero) {
    const Font font = TestFont();
    PercentProgressBarTestHost host(240, 28, 0);
    ASSERT_TRUE(host.Ready());
    Dress(host.Bar(), font.Get());
    // Which text is drawn, whatever its colours: the same text gives the same pixels.
    const auto textAt = [&](int upper, int position) {
        host.Bar().SetRange(0, upper);
        host.Bar().SetPos(position);
        return InkMask(host.Print(), kTextOverBar, kTextOverBackground);
    };
    const std::vector<bool> fifty = textAt(100, 50);
    const std::vector<bool> ninetyEight = textAt(100, 98);
    ASSERT_NE(fifty, ninetyEight);
    ASSERT_NE(fifty, textAt(100, 49));
    EXPECT_EQ(textAt(99, 50), fifty) << "50 of 0..99 is 50.5%, shown as 50%";
    EXPECT_EQ(textAt(99, 98), ninetyEight) << "98 of 0..99 is 98.98%, shown as 98%";
    EXPECT_EQ(textAt(200, 101), fifty) << "50.5% again";
}

TEST(PercentProgressBar, TextModesAndFormats) {
    const Font font = TestFont();
    PercentProgressBarTestHost host(240, 28, 0);
    ASSERT_TRUE(host.Ready());
    PercentProgressBar& bar = host.Bar();
    Dress(bar, font.Get());
    const auto ink = [&] { return InkMask(host.Print(), kTextOverBar, kTextOverBackground); };
    const auto anyInk = [](const std::vector<bool>& mask) {
        return std::find(mask.begin(), mask.end(), true) != mask.end();
    };

    EXPECT_EQ(bar.GetStyle() & kProgressTextBits, PPB_TEXT_PERCENT);
    EXPECT_EQ(bar.Text(), "Выполнено : %d%%");

    bar.SetRange(0, 200);
    bar.SetPos(50);
    bar.SetTextFormat("%d", PPB_TEXT_POSITION);
    const std::vector<bool> fifty = ink();
    ASSERT_TRUE(anyInk(fifty));
    bar.SetTextFormat("%d", PPB_TEXT_PERCENT);
    bar.SetPos(100);
    EXPECT_EQ(ink(), fifty) << "position 100 of 0..200 is 50%";

    // Each mode's default format, for a text bit set without a window text.
    const std::vector<bool> percent = [&] {
        bar.SetTextFormat("%d%%", PPB_TEXT_PERCENT);
        return ink();
    }();
    bar.SetText("");
    EXPECT_EQ(ink(), percent) << "the percentage by default reads %d%%";
    bar.SetTextFormat("%d", PPB_TEXT_POSITION);
    const std::vector<bool> position = ink();
    bar.SetText("");
    EXPECT_EQ(ink(), position) << "the position by default reads %d";

    // Both bits: the window text with the value 0, and nothing without one.
    bar.SetPos(0);
    bar.SetTextFormat("Шаг %d", PPB_TEXT_POSITION);
    const std::vector<bool> stepZero = ink();
    bar.SetPos(100);
    bar.ModifyStyle(0, kProgressTextBits);
    EXPECT_EQ(ink(), stepZero);
    bar.SetText("");
    EXPECT_FALSE(anyInk(ink())) << "both bits and no format: no text";

    // No format or no mode: no text, and the text bits go.
    bar.SetTextFormat("%d", PPB_TEXT_PERCENT);
    bar.SetTextFormat("", PPB_TEXT_PERCENT);
    EXPECT_EQ(bar.GetStyle() & kProgressTextBits, 0u);
    EXPECT_EQ(bar.Text(), "");
    EXPECT_FALSE(anyInk(ink()));
    bar.SetTextFormat("%d", 0);
    EXPECT_EQ(bar.GetStyle() & kProgressTextBits, 0u);
    EXPECT_FALSE(anyInk(ink()));

    // One text colour: the whole text in it, across the bar's end.
    bar.SetTextFormat("Выполнено : %d%%", PPB_TEXT_PERCENT);
    bar.SetTextColors(kTextOverBar);
    bar.SetPos(60); // the edge at 72, under the text
    const BufferedDCTestCanvas& canvas = host.Print();
    EXPECT_EQ(FindInk(canvas, kTextOverBackground).count, 0);
    EXPECT_GT(FindInk(canvas, kTextOverBar, RECT{72, 0, 240, 28}).count, 20);
    EXPECT_GT(FindInk(canvas, kTextOverBar, RECT{0, 0, 72, 28}).count, 0);
}

TEST(PercentProgressBar, TextOnTheBarAppearsOnlyOnceItFitsAndIsCentredThere) {
    const Font font = TestFont();
    for (const DWORD direction : {DWORD{0}, DWORD{PPB_REVERSE}}) {
        SCOPED_TRACE(direction != 0 ? "reversed" : "forward");
        PercentProgressBarTestHost host(240, 28, 0);
        ASSERT_TRUE(host.Ready());
        PercentProgressBar& bar = host.Bar();
        Dress(bar, font.Get());
        bar.SetTextFormat("Выполнено : %d%%", PPB_TEXT_PERCENT | PPB_TEXT_ON_BAR | direction);
        bar.SetRange(0, 240);

        bar.SetPos(40); // far shorter than the text
        const BufferedDCTestCanvas& shortBar = host.Print();
        EXPECT_EQ(FindInk(shortBar, kTextOverBar).count, 0);
        EXPECT_EQ(FindInk(shortBar, kTextOverBackground).count, 0);

        bar.SetPos(200);
        const BufferedDCTestCanvas& longBar = host.Print();
        const int from = direction != 0 ? 40 : 0;
        ExpectTextSplit(longBar, from, from + 200, false);
        EXPECT_EQ(FindInk(longBar, kTextOverBackground).count, 0);
        const PercentProgressBarInk ink = FindInk(longBar, kTextOverBar);
        EXPECT_GT(ink.count, 100);
        EXPECT_NEAR(ink.bounds.left + ink.bounds.right, 2 * from + 200, 4)
            << "centred on the filled part";
    }
}

TEST(PercentProgressBar, TextIsCentredAtEveryQuarterTurnOfTheFont) {
    const struct {
        int escapement;
        int width;
        int height;
        DWORD style;
    } turns[] = {{0, 240, 28, 0},
                 {1800, 240, 28, 0},
                 {900, 32, 200, PBS_VERTICAL},
                 {2700, 32, 200, PBS_VERTICAL | PPB_REVERSE}};
    for (const auto& turn : turns) {
        SCOPED_TRACE("escapement " + std::to_string(turn.escapement));
        const Font font = TestFont(turn.escapement);
        PercentProgressBarTestHost host(turn.width, turn.height, turn.style);
        ASSERT_TRUE(host.Ready());
        Dress(host.Bar(), font.Get());
        host.Bar().SetRange(0, 100);
        host.Bar().SetPos(50);
        const BufferedDCTestCanvas& canvas = host.Print();
        const bool vertical = (turn.style & PBS_VERTICAL) != 0;
        const bool reversed = (turn.style & PPB_REVERSE) != 0;
        const int length = vertical ? turn.height : turn.width;
        // Half filled: the bar takes the half it grows from.
        const bool barFirst = vertical == reversed;
        ExpectTextSplit(canvas, barFirst ? 0 : length / 2, barFirst ? length / 2 : length,
                        vertical);

        const RECT ink = Union(FindInk(canvas, kTextOverBar).bounds,
                               FindInk(canvas, kTextOverBackground).bounds);
        EXPECT_GT(FindInk(canvas, kTextOverBar).count, 20);
        EXPECT_GT(FindInk(canvas, kTextOverBackground).count, 20);
        EXPECT_NEAR(ink.left + ink.right, turn.width, 6);
        EXPECT_NEAR(ink.top + ink.bottom, turn.height, 6);
        const bool tall = ink.bottom - ink.top > ink.right - ink.left;
        EXPECT_EQ(tall, vertical) << "a quarter turn stands the text up";
    }
}

TEST(PercentProgressBar, GradientRunsThroughTheColourStops) {
    PercentProgressBarTestHost host(200, 10, 0);
    ASSERT_TRUE(host.Ready());
    PercentProgressBar& bar = host.Bar();
    bar.SetBkColor(kBackground);
    constexpr COLORREF kRed = RGB(200, 0, 0);
    constexpr COLORREF kBlue = RGB(0, 0, 200);
    constexpr COLORREF kGreen = RGB(0, 200, 0);
    bar.SetGradientColorList(kRed, kBlue, kGreen);
    bar.SetRange(0, 200);

    bar.SetPos(200);
    {
        const BufferedDCTestCanvas& canvas = host.Print();
        EXPECT_EQ(canvas.Pixel(0, 5), kRed);
        EXPECT_EQ(canvas.Pixel(100, 5), kBlue) << "the second stop at the middle";
        EXPECT_TRUE(Near(canvas.Pixel(199, 5), kGreen, 2));
        for (int x = 1; x < 200; ++x) {
            const COLORREF left = canvas.Pixel(x - 1, 5);
            const COLORREF here = canvas.Pixel(x, 5);
            if (x == 100) {
                // The second pair of stops starts here.
            } else if (x < 100) {
                EXPECT_LE(GetRValue(here), GetRValue(left)) << x;
                EXPECT_GE(GetBValue(here), GetBValue(left)) << x;
            } else {
                EXPECT_LE(GetBValue(here), GetBValue(left)) << x;
                EXPECT_GE(GetGValue(here), GetGValue(left)) << x;
            }
            EXPECT_EQ(canvas.Pixel(x, 0), here) << "bands fill the whole height";
        }
    }

    // Half filled: the stops stay spread over the whole length...
    bar.SetPos(100);
    {
        const BufferedDCTestCanvas& canvas = host.Print();
        EXPECT_EQ(canvas.Pixel(0, 5), kRed);
        EXPECT_TRUE(Near(canvas.Pixel(99, 5), kBlue, 2));
        EXPECT_TRUE(Near(canvas.Pixel(50, 5), RGB(100, 0, 100), 2));
        EXPECT_EQ(canvas.Pixel(100, 5), kBackground);
    }
    // ...or over the filled part only.
    bar.ModifyStyle(0, PPB_STRETCH_GRADIENT);
    {
        const BufferedDCTestCanvas& canvas = host.Print();
        EXPECT_EQ(canvas.Pixel(0, 5), kRed);
        EXPECT_EQ(canvas.Pixel(50, 5), kBlue);
        EXPECT_TRUE(Near(canvas.Pixel(99, 5), kGreen, 4));
        EXPECT_EQ(canvas.Pixel(100, 5), kBackground);
    }
    bar.ModifyStyle(PPB_STRETCH_GRADIENT, 0);

    // Four stops at 0, 1/3 and 2/3 of the length.
    bar.SetGradientColorList(kRed, kGreen, kBlue, kRed);
    bar.SetPos(200);
    {
        const BufferedDCTestCanvas& canvas = host.Print();
        EXPECT_EQ(canvas.Pixel(0, 5), kRed);
        EXPECT_EQ(canvas.Pixel(66, 5), kGreen);
        EXPECT_EQ(canvas.Pixel(133, 5), kBlue);
    }
    const COLORREF one[] = {kRed};
    EXPECT_THROW(bar.SetGradientColorList(std::span<const COLORREF>(one)), std::invalid_argument);
}

TEST(PercentProgressBar, BarColourMessageGivesASolidBarOrAGradient) {
    PercentProgressBarTestHost host(200, 10, 0);
    ASSERT_TRUE(host.Ready());
    PercentProgressBar& bar = host.Bar();
    bar.SetBkColor(kBackground);
    bar.SetRange(0, 200);
    bar.SetPos(200);

    EXPECT_EQ(static_cast<COLORREF>(bar.Send(PBM_SETBARCOLOR, 0, RGB(220, 20, 20))), CLR_DEFAULT);
    ExpectBarExtent(host.Print(), 0, 200, false, RGB(220, 20, 20));

    bar.Send(PBM_SETBARCOLOR, RGB(0, 0, 255), RGB(255, 0, 0));
    const BufferedDCTestCanvas& canvas = host.Print();
    EXPECT_EQ(canvas.Pixel(0, 5), RGB(255, 0, 0));
    EXPECT_TRUE(Near(canvas.Pixel(199, 5), RGB(0, 0, 255), 3));
    EXPECT_TRUE(Near(canvas.Pixel(100, 5), RGB(128, 0, 128), 2));
}

TEST(PercentProgressBar, BackgroundColourBrushesAndBorders) {
    PercentProgressBarTestHost host(100, 20, 0, true);
    ASSERT_TRUE(host.Ready());
    PercentProgressBar& bar = host.Bar();
    PlainBar(bar);
    bar.SetRange(0, 100);
    bar.SetPos(40);
    bar.UpdateWindow();

    // Neither colour message repaints by itself, nor passes the colour to the standard control.
    bar.ValidateRect();
    EXPECT_EQ(static_cast<COLORREF>(bar.Send(PBM_SETBKCOLOR, 0, RGB(1, 100, 200))), CLR_DEFAULT);
    EXPECT_EQ(static_cast<COLORREF>(bar.Send(PBM_SETBARCOLOR, 0, RGB(90, 10, 10))), CLR_DEFAULT);
    EXPECT_FALSE(::GetUpdateRect(bar.Hwnd(), nullptr, FALSE));
    ExpectBarExtent(host.Print(), 0, 40, false, RGB(90, 10, 10), RGB(1, 100, 200));

    const Brush barBrush{::CreateSolidBrush(RGB(30, 130, 30))};
    const Brush backgroundBrush{::CreateSolidBrush(RGB(130, 30, 130))};
    bar.SetBarBrush(barBrush.Get());
    bar.SetBkBrush(backgroundBrush.Get());
    ExpectBarExtent(host.Print(), 0, 40, false, RGB(30, 130, 30), RGB(130, 30, 130));
    bar.SetBarBrush(nullptr);
    bar.SetBkBrush(nullptr);

    // Borders: the background all round, the bar scaled to the inner width of 92.
    bar.SetBorders(RECT{3, 2, 5, 4});
    bar.SetGradientColors(kBar, kBar);
    bar.SetBkColor(kBackground);
    bar.SetRange(0, 92);
    bar.SetPos(46);
    const BufferedDCTestCanvas& canvas = host.Print();
    EXPECT_EQ(canvas.Pixel(3, 2), kBar);
    EXPECT_EQ(canvas.Pixel(48, 15), kBar);
    EXPECT_EQ(canvas.Pixel(49, 10), kBackground);
    EXPECT_EQ(canvas.Pixel(2, 10), kBackground);
    EXPECT_EQ(canvas.Pixel(10, 1), kBackground);
    EXPECT_EQ(canvas.Pixel(10, 16), kBackground);
    bar.SetPos(92);
    EXPECT_EQ(host.Print().Pixel(94, 10), kBar);
    EXPECT_EQ(host.Canvas().Pixel(95, 10), kBackground);
    EXPECT_EQ(FindInk(host.Canvas(), kUnpainted).count, 0) << "every pixel is painted";
}

TEST(PercentProgressBar, BouncingSegmentTravelsAndTurnsRound) {
    PercentProgressBarTestHost host(200, 20, PPB_BOUNCE);
    ASSERT_TRUE(host.Ready());
    PercentProgressBar& bar = host.Bar();
    PlainBar(bar);
    bar.SetRange(0, 100);

    // Segment of 40, step 10: the head runs to the end, the tail follows it out, and the
    // segment comes back in from the end it left by.
    const struct {
        int tail;
        int head;
        bool reversed;
    } steps[] = {{0, 10, false},   {0, 20, false},    {0, 30, false},   {0, 40, false},
                 {10, 50, false},  {20, 60, false},   {30, 70, false},  {40, 80, false},
                 {50, 90, false},  {60, 100, false},  {70, 100, false}, {80, 100, false},
                 {90, 100, false}, {100, 100, false}, {0, 10, true},    {0, 20, true}};
    int previous = bar.GetPos();
    for (size_t i = 0; i < std::size(steps); ++i) {
        const auto& s = steps[i];
        SCOPED_TRACE("step " + std::to_string(i + 1));
        EXPECT_EQ(bar.StepIt(), previous);
        EXPECT_EQ(bar.GetPos(), s.head) << "the standard control holds the clamped head";
        EXPECT_EQ((bar.GetStyle() & PPB_REVERSE) != 0, s.reversed);
        previous = bar.GetPos();
        if (s.reversed) {
            ExpectBarExtent(host.Print(), 200 - 2 * s.head, 200 - 2 * s.tail, false);
        } else {
            ExpectBarExtent(host.Print(), 2 * s.tail, 2 * s.head, false);
        }
    }

    // A negative delta moves forward too; an absolute move places the head; a new step counts.
    EXPECT_EQ(bar.OffsetPos(-10), 20);
    EXPECT_EQ(bar.GetPos(), 30);
    ExpectBarExtent(host.Print(), 140, 200, false);
    bar.SetPos(90);
    ExpectBarExtent(host.Print(), 20, 100, false);
    EXPECT_EQ(bar.SetStep(20), 10);
    bar.StepIt();
    EXPECT_EQ(bar.GetPos(), 100);
    ExpectBarExtent(host.Print(), 0, 60, false);

    // Outside bouncing mode the standard control moves the position itself.
    bar.ModifyStyle(PPB_BOUNCE | PPB_REVERSE, 0);
    bar.SetPos(20);
    bar.StepIt();
    EXPECT_EQ(bar.GetPos(), 40);
    ExpectBarExtent(host.Print(), 0, 80, false);
}

TEST(PercentProgressBar, BouncingSegmentTextIsSplitAtBothEnds) {
    const Font font = TestFont();
    PercentProgressBarTestHost host(240, 28, PPB_BOUNCE);
    ASSERT_TRUE(host.Ready());
    Dress(host.Bar(), font.Get());
    host.Bar().SetRange(0, 100);
    host.Bar().SetPos(70); // tail at 30: the segment covers 72..168
    const BufferedDCTestCanvas& canvas = host.Print();
    ExpectTextSplit(canvas, 72, 168, false);
    EXPECT_GT(FindInk(canvas, kTextOverBar).count, 20);
    EXPECT_GT(FindInk(canvas, kTextOverBackground, RECT{0, 0, 72, 28}).count, 0);
    EXPECT_GT(FindInk(canvas, kTextOverBackground, RECT{168, 0, 240, 28}).count, 0);
}

TEST(PercentProgressBar, ScreenShowsTheWholePictureAfterEachMove) {
    const Font font = TestFont();
    PercentProgressBarTestHost host(240, 28, 0, true);
    ASSERT_TRUE(host.Ready());
    PercentProgressBar& bar = host.Bar();
    Dress(bar, font.Get());
    bar.SetRange(0, 100);
    bar.Invalidate();
    bar.UpdateWindow();

    BufferedDCTestCanvas screen(240, 28, kUnpainted);
    ASSERT_TRUE(screen);
    const auto expectScreenShowsPrint = [&] {
        bar.UpdateWindow();
        ClientDC window(bar.Hwnd());
        ::BitBlt(screen.Handle(), 0, 0, 240, 28, window.View().Handle(), 0, 0, SRCCOPY);
        const BufferedDCTestCanvas& printed = host.Print();
        int wrong = 0;
        for (int y = 0; y < 28; ++y) {
            for (int x = 0; x < 240; ++x) {
                if (screen.Pixel(x, y) != printed.Pixel(x, y) && wrong++ < 4) {
                    ADD_FAILURE() << "screen " << Where(x, y) << " is 0x" << std::hex
                                  << screen.Pixel(x, y) << ", the picture 0x"
                                  << printed.Pixel(x, y);
                }
            }
        }
        EXPECT_EQ(wrong, 0);
    };
    // Each move changes the centred text, away from where the bar's end moves.
    bar.SetPos(10);
    expectScreenShowsPrint();
    bar.SetPos(11);
    expectScreenShowsPrint();
    bar.OffsetPos(60);
    expectScreenShowsPrint();

    // Erasing draws nothing: the paint pass covers every pixel.
    BufferedDCTestCanvas untouched(4, 4, kUnpainted);
    EXPECT_EQ(bar.Send(WM_ERASEBKGND, reinterpret_cast<WPARAM>(untouched.Handle())), TRUE);
    EXPECT_EQ(untouched.Pixel(0, 0), kUnpainted);
}

// Pictures for people to look at, in the main dialog's dress: its font, colours and size.
TEST(PercentProgressBar, WritesGalleryPictures) {
    const Font dialogFont{
        ::CreateFontW(26, 9, 0, 0, 0, 0, 0, 0, RUSSIAN_CHARSET, 0, 0, 0, 0, L"Arial")};
    const Font standingFont{
        ::CreateFontW(20, 7, 900, 900, 0, 0, 0, 0, RUSSIAN_CHARSET, 0, 0, 0, 0, L"Arial")};
    const auto dress = [](PercentProgressBar& bar, HFONT font, DWORD extra) {
        bar.SetFont(font, false);
        bar.SetTextColors(RGB(10, 180, 250), RGB(64, 64, 64));
        bar.SetTextFormat("Выполнено : %d%%", PPB_TEXT_PERCENT | extra);
        bar.SetBkColor(RGB(10, 180, 250));
        bar.SetGradientColors(RGB(64, 64, 64), RGB(64, 64, 64));
        bar.SetRange(0, 100);
    };
    const struct {
        const wchar_t* name;
        int width;
        int height;
        DWORD style;
        int position;
    } states[] = {
        {L"PercentProgressBar-lower.png", 302, 29, 0, 0},
        {L"PercentProgressBar-middle.png", 302, 29, 0, 42},
        {L"PercentProgressBar-upper.png", 302, 29, 0, 100},
        {L"PercentProgressBar-reversed.png", 302, 29, PPB_REVERSE, 42},
        {L"PercentProgressBar-vertical.png", 32, 200, PBS_VERTICAL, 42},
        {L"PercentProgressBar-bouncing.png", 302, 29, PPB_BOUNCE, 70},
    };
    for (const auto& state : states) {
        PercentProgressBarTestHost host(state.width, state.height, state.style);
        ASSERT_TRUE(host.Ready());
        const bool vertical = (state.style & PBS_VERTICAL) != 0;
        dress(host.Bar(), vertical ? standingFont.Get() : dialogFont.Get(), 0);
        host.Bar().SetPos(state.position);
        const BufferedDCTestCanvas& canvas = host.Print();
        EXPECT_EQ(FindInk(canvas, kUnpainted).count, 0);
        EXPECT_TRUE(canvas.SaveToGallery(state.name));
    }
}

} // namespace
} // namespace tamsivo::test
