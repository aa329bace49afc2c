#include "controls/BarGradient.h"
#include "controls/BarLayout.h"
#include "controls/BarText.h"
#include "controls/BounceSegment.h"
#include "controls/ProgressStyle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace tamsivo {
namespace {

// A bar 200 wide and 20 high, inset at (5, 3).
const Rect kInner{5, 3, 205, 23};
// A vertical bar 20 wide and 100 high, inset at (2, 4).
const Rect kTall{2, 4, 22, 104};

TEST(BarLayout, FilledPartScalesThePositionAndTruncates) {
    const BarLayout bar(kInner, 0);
    EXPECT_EQ(bar.Length(), 200);
    EXPECT_EQ(BarLayout(kTall, kProgressVertical).Length(), 100);

    EXPECT_EQ(bar.FilledRange(0, 0, 100, 0), (BarRange{0, 0})) << "lower: nothing filled";
    EXPECT_EQ(bar.FilledRange(50, 0, 100, 0), (BarRange{0, 100}));
    EXPECT_EQ(bar.FilledRange(100, 0, 100, 0), (BarRange{0, 200})) << "upper: all of it";
    // 50 of 0 ... 99 over 200 pixels is 101.01 pixels.
    EXPECT_EQ(bar.FilledRange(50, 0, 99, 0), (BarRange{0, 101}));
    // Bounds need not start at 0, and large ranges must not overflow on the way.
    EXPECT_EQ(bar.FilledRange(-50, -100, 100, 0), (BarRange{0, 50}));
    EXPECT_EQ(bar.FilledRange(2000000000, 0, 2000000000, 0), (BarRange{0, 200}));
    // Equal bounds have nothing to scale by.
    EXPECT_EQ(bar.FilledRange(7, 7, 7, 0), (BarRange{0, 0}));

    // Bouncing: the filled part starts at the segment's tail.
    const BarLayout bouncing(kInner, PPB_BOUNCE);
    EXPECT_EQ(bouncing.FilledRange(80, 0, 100, 40), (BarRange{80, 160}));
    EXPECT_EQ(bar.FilledRange(80, 0, 100, 40), (BarRange{0, 160})) << "tail ignored otherwise";

    EXPECT_TRUE(BarLayout::ShowsBar(0, 0, 100));
    EXPECT_TRUE(BarLayout::ShowsBar(100, 0, 100));
    EXPECT_FALSE(BarLayout::ShowsBar(-1, 0, 100));
    EXPECT_FALSE(BarLayout::ShowsBar(101, 0, 100));
}

TEST(BarLayout, HorizontalBarsGrowFromTheLeftUnlessReversed) {
    const BarLayout forward(kInner, 0);
    const BarLayout reversed(kInner, PPB_REVERSE);
    EXPECT_EQ(forward.RangeToRect({0, 0}).Width(), 0);
    EXPECT_EQ(forward.RangeToRect({0, 50}), (Rect{5, 3, 55, 23}));
    EXPECT_EQ(forward.RangeToRect({0, 200}), kInner);
    EXPECT_EQ(forward.RangeToRect({10, 40}), (Rect{15, 3, 45, 23}));
    EXPECT_EQ(reversed.RangeToRect({0, 0}).Width(), 0);
    EXPECT_EQ(reversed.RangeToRect({0, 50}), (Rect{155, 3, 205, 23}));
    EXPECT_EQ(reversed.RangeToRect({0, 200}), kInner);
    EXPECT_EQ(reversed.RangeToRect({10, 40}), (Rect{165, 3, 195, 23}));
}

TEST(BarLayout, VerticalBarsGrowFromTheBottomUnlessReversed) {
    const BarLayout upward(kTall, kProgressVertical);
    const BarLayout downward(kTall, kProgressVertical | PPB_REVERSE);
    EXPECT_EQ(upward.RangeToRect({0, 0}).Height(), 0);
    EXPECT_EQ(upward.RangeToRect({0, 30}), (Rect{2, 74, 22, 104}));
    EXPECT_EQ(upward.RangeToRect({0, 100}), kTall);
    EXPECT_EQ(upward.RangeToRect({10, 40}), (Rect{2, 64, 22, 94}));
    EXPECT_EQ(downward.RangeToRect({0, 30}), (Rect{2, 4, 22, 34}));
    EXPECT_EQ(downward.RangeToRect({0, 100}), kTall);
    EXPECT_EQ(downward.RangeToRect({10, 40}), (Rect{2, 14, 22, 44}));
}

// The bands a whole fill paints, segment after segment.
std::vector<BarGradient::Band> Fill(const std::vector<Color>& stops, BarRange gradient,
                                    BarRange filled, bool lowColor = false) {
    std::vector<BarGradient::Band> all;
    for (const auto& s : BarGradient::Segments(stops, gradient, filled)) {
        const auto bands = BarGradient::Bands(s.segment, s.visible, s.from, s.to, lowColor);
        all.insert(all.end(), bands.begin(), bands.end());
    }
    return all;
}

void ExpectCovers(const std::vector<BarGradient::Band>& bands, BarRange filled) {
    ASSERT_FALSE(bands.empty());
    EXPECT_EQ(bands.front().range.left, filled.left);
    EXPECT_EQ(bands.back().range.right, filled.right);
    for (std::size_t i = 1; i < bands.size(); ++i) {
        EXPECT_EQ(bands[i].range.left, bands[i - 1].range.right) << "band " << i;
    }
}

TEST(BarGradient, BarColourMessageGivesASolidOrATwoStopBar) {
    const Color red = Rgb(255, 0, 0);
    const Color blue = Rgb(0, 0, 255);
    EXPECT_EQ(BarGradient::StopsForBarColor(0, red), (std::vector<Color>{red, red}));
    EXPECT_EQ(BarGradient::StopsForBarColor(blue, red), (std::vector<Color>{red, blue}));

    // Equal stops: one solid rectangle over the filled part.
    const auto solid = Fill({red, red}, {0, 200}, {0, 130});
    ASSERT_EQ(solid.size(), 1u);
    EXPECT_EQ(solid.front(), (BarGradient::Band{{0, 130}, red}));

    // Red to blue over the whole length, cut at the filled end.
    const auto graded = Fill({red, blue}, {0, 200}, {0, 130});
    ExpectCovers(graded, {0, 130});
    EXPECT_EQ(graded.front().color, red);
    for (std::size_t i = 1; i < graded.size(); ++i) {
        EXPECT_LT(RedOf(graded[i].color), RedOf(graded[i - 1].color)) << i;
        EXPECT_GT(BlueOf(graded[i].color), BlueOf(graded[i - 1].color)) << i;
    }
    // No more bands than pixels: 200 pixels for a difference of 255 gives 200 bands.
    EXPECT_EQ(Fill({red, blue}, {0, 200}, {0, 200}).size(), 200u);
    // No more bands than the colours differ: 10 steps of red over 200 pixels, 20 pixels each.
    const auto coarse = Fill({Rgb(100, 0, 0), Rgb(110, 0, 0)}, {0, 200}, {0, 200});
    ASSERT_EQ(coarse.size(), 10u);
    for (std::size_t i = 0; i < coarse.size(); ++i) {
        EXPECT_EQ(coarse[i].range.Width(), 20) << i;
        EXPECT_EQ(coarse[i].color, Rgb(100 + static_cast<int>(i), 0, 0)) << i;
    }
}

TEST(BarGradient, StopsSpreadOverTheLengthOrOverTheFilledPart) {
    const Color black = Rgb(0, 0, 0);
    const Color white = Rgb(255, 255, 255);
    const Color green = Rgb(0, 255, 0);
    // Three stops over 200 pixels: two segments of 100; a bar of 60 reaches only the first.
    const auto segments =
        BarGradient::Segments(std::vector<Color>{black, white, green}, {0, 200}, {0, 60});
    ASSERT_EQ(segments.size(), 1u);
    EXPECT_EQ(segments[0].segment, (BarRange{0, 100}));
    EXPECT_EQ(segments[0].visible, (BarRange{0, 60}));
    EXPECT_EQ(segments[0].from, black);
    EXPECT_EQ(segments[0].to, white);

    // Stretched over the filled part, the bar always ends in the last stop.
    const auto stretched = Fill({black, white, green}, {0, 60}, {0, 60});
    ExpectCovers(stretched, {0, 60});
    EXPECT_EQ(stretched.front().color, black);
    EXPECT_GT(GreenOf(stretched.back().color), 200);
    EXPECT_LT(RedOf(stretched.back().color), 55);

    // Uneven division: 100 pixels over 3 segments; the last one ends exactly at the end.
    const auto thirds =
        BarGradient::Segments(std::vector<Color>{black, white, black, white}, {0, 100}, {0, 100});
    ASSERT_EQ(thirds.size(), 3u);
    EXPECT_EQ(thirds[0].segment.left, 0);
    EXPECT_EQ(thirds[1].segment.left, thirds[0].segment.right);
    EXPECT_EQ(thirds[2].segment.left, thirds[1].segment.right);
    EXPECT_EQ(thirds[2].segment.right, 100);

    // A bouncing segment from 120 to 180 skips the first segment entirely.
    const auto late =
        BarGradient::Segments(std::vector<Color>{black, white, green}, {0, 200}, {120, 180});
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(late[0].visible, (BarRange{120, 180}));
    ExpectCovers(Fill({black, white, green}, {0, 200}, {120, 180}), {120, 180});

    // An empty bar paints nothing.
    EXPECT_TRUE(Fill({black, white}, {0, 200}, {0, 0}).empty());
}

TEST(BarGradient, LowColourDisplaysGetOneBandASegment) {
    const auto bands = Fill({Rgb(255, 0, 0), Rgb(0, 0, 255)}, {0, 200}, {0, 150}, true);
    ASSERT_EQ(bands.size(), 1u);
    EXPECT_EQ(bands.front(), (BarGradient::Band{{0, 150}, Rgb(255, 0, 0)}));
}

TEST(BarText, ContentFollowsTheTextBits) {
    // Percentages truncate: 50 of 0 ... 99 is 50.5 %, 98 is 98.99 %.
    auto percent = BarText::Resolve(PPB_TEXT_PERCENT, "", 50, 0, 99);
    ASSERT_TRUE(percent);
    EXPECT_EQ(BarText::Format(*percent), "50%");
    EXPECT_EQ(BarText::Format(*BarText::Resolve(PPB_TEXT_PERCENT, "", 98, 0, 99)), "98%");
    EXPECT_EQ(BarText::Format(*BarText::Resolve(PPB_TEXT_PERCENT, "", 99, 0, 99)), "100%");
    EXPECT_EQ(BarText::Format(*BarText::Resolve(PPB_TEXT_PERCENT, "", 150, 100, 200)), "50%");
    EXPECT_EQ(BarText::Format(*BarText::Resolve(PPB_TEXT_PERCENT, "", 5, 5, 5)), "0%");

    // The main dialog's own format, Windows-1251 like every literal of the program.
    const auto dialog = BarText::Resolve(PPB_TEXT_PERCENT, "Выполнено : %d%%", 123, 0, 246);
    ASSERT_TRUE(dialog);
    EXPECT_EQ(BarText::Format(*dialog), std::string("Выполнено : 50%"));

    EXPECT_EQ(BarText::Format(*BarText::Resolve(PPB_TEXT_POSITION, "", 37, 0, 99)), "37");
    EXPECT_EQ(BarText::Format(*BarText::Resolve(PPB_TEXT_POSITION, "pos %d", 37, 0, 99)), "pos 37");

    // Both bits: the window text as it is, given 0; without a format, nothing.
    EXPECT_EQ(
        BarText::Format(*BarText::Resolve(PPB_TEXT_PERCENT | PPB_TEXT_POSITION, "[%d]", 37, 0, 99)),
        "[0]");
    EXPECT_FALSE(BarText::Resolve(PPB_TEXT_PERCENT | PPB_TEXT_POSITION, "", 37, 0, 99));
    EXPECT_FALSE(BarText::Resolve(0, "%d", 37, 0, 99));
    EXPECT_FALSE(BarText::Resolve(PPB_REVERSE | PPB_BOUNCE, "%d", 37, 0, 99));
}

TEST(BarText, BoxTurnsWithTheFont) {
    EXPECT_EQ(BarText::AngleOf(900), 90);
    EXPECT_EQ(BarText::AngleOf(2705), 270);
    EXPECT_EQ(BarText::BoxFor(0, 60, 14), (BarText::Box{60, 14, 0, 14}));
    EXPECT_EQ(BarText::BoxFor(90, 60, 14), (BarText::Box{14, 60, 14, 0}));
    EXPECT_EQ(BarText::BoxFor(180, 60, 14), (BarText::Box{60, 14, 0, -14}));
    EXPECT_EQ(BarText::BoxFor(270, 60, 14), (BarText::Box{14, 60, -14, 0}));
    for (int angle : {45, -90, 360}) {
        EXPECT_EQ(BarText::BoxFor(angle, 60, 14), BarText::Box{}) << angle;
    }
}

TEST(BarText, HorizontalTextIsCentredBothWays) {
    // Anchored at the bottom centre of the text: the text spans anchor.y - cy ... anchor.y.
    const BarLayout layout(kInner, PPB_TEXT_PERCENT);
    const BarText::Box box = BarText::BoxFor(0, 60, 14);
    const auto placement = BarText::Place(layout, layout.FullRange(), {0, 80}, box, false);
    const Point anchor = placement.viewportOrigin;
    EXPECT_EQ(anchor.x, (kInner.left + kInner.right) / 2);
    const int above = (anchor.y - 14) - kInner.top;
    const int below = kInner.bottom - anchor.y;
    EXPECT_EQ(above, below);
}

TEST(BarText, TextChangesColourExactlyAtTheEndOfTheBar) {
    using Piece = BarText::Piece;
    const BarLayout layout(kInner, PPB_TEXT_PERCENT);
    const BarRange full = layout.FullRange();
    const BarText::Box box = BarText::BoxFor(0, 60, 14);

    EXPECT_EQ(BarText::Place(layout, full, {0, 80}, box, false).pieces,
              (std::vector<Piece>{{{0, 80}, true}, {{80, 200}, false}}));
    // Lower bound: all of it in the colour over the background.
    EXPECT_EQ(BarText::Place(layout, full, {0, 0}, box, false).pieces,
              (std::vector<Piece>{{{0, 200}, false}}));
    // Upper bound: all of it in the colour over the bar.
    EXPECT_EQ(BarText::Place(layout, full, {0, 200}, box, false).pieces,
              (std::vector<Piece>{{{0, 200}, true}}));
    // A bouncing segment leaves background on both sides.
    EXPECT_EQ(BarText::Place(layout, full, {40, 120}, box, false).pieces,
              (std::vector<Piece>{{{40, 120}, true}, {{120, 200}, false}, {{0, 40}, false}}));
    // Equal colours: one drawing, unclipped by the bar.
    EXPECT_EQ(BarText::Place(layout, full, {0, 80}, box, true).pieces,
              (std::vector<Piece>{{{0, 200}, true}}));
}

TEST(BarText, TextOnTheBarShowsOnlyOnceItFits) {
    using Piece = BarText::Piece;
    const BarLayout layout(kInner, PPB_TEXT_PERCENT | PPB_TEXT_ON_BAR);
    const BarRange full = layout.FullRange();
    const BarText::Box box = BarText::BoxFor(0, 60, 14);
    EXPECT_TRUE(BarText::Place(layout, full, {0, 59}, box, false).pieces.empty());
    const auto fits = BarText::Place(layout, full, {0, 60}, box, false);
    EXPECT_EQ(fits.pieces, (std::vector<Piece>{{{0, 60}, true}}));
    // Centred on the filled part (inner left 5, 60 wide), not on the whole bar.
    EXPECT_EQ(fits.viewportOrigin.x, 5 + 30);

    // A vertical bar measures the text's height, here a text turned a quarter.
    const BarLayout tall(kTall, kProgressVertical | PPB_TEXT_ON_BAR | PPB_TEXT_PERCENT);
    const BarText::Box turned = BarText::BoxFor(90, 60, 14);
    EXPECT_TRUE(BarText::Place(tall, tall.FullRange(), {0, 59}, turned, false).pieces.empty());
    EXPECT_EQ(BarText::Place(tall, tall.FullRange(), {0, 60}, turned, false).pieces.size(), 1u);
}

// The standard control underneath: it keeps the position and clamps it to the range.
struct BouncingBar {
    int lower = 0;
    int upper = 100;
    int position = 0;
    bool reversed = false;
    BounceSegment segment{40};

    BounceSegment::Move Step(int step) {
        const BounceSegment::Move move = segment.Advance(position, step, true, lower, upper);
        position = std::clamp(move.value, lower, upper);
        reversed = reversed != move.flipDirection;
        return move;
    }
};

TEST(BounceSegment, SegmentRunsOutAndComesBackFromTheEndItLeftBy) {
    BouncingBar bar;
    std::vector<int> values;
    std::vector<int> tails;
    for (int i = 0; i < 15; ++i) {
        const auto move = bar.Step(10);
        values.push_back(move.value);
        tails.push_back(bar.segment.Tail());
        EXPECT_EQ(move.flipDirection, i == 14) << "step " << i;
        // Past the upper bound the standard control stays at 100 and would not repaint.
        EXPECT_EQ(move.repaintAll, move.value >= 100 && !move.flipDirection) << "step " << i;
    }
    // The head runs to 100, then on while the tail catches up until the segment is gone at
    // 140; the next step comes back in at 150 - 140 = 10, the direction flipped.
    EXPECT_EQ(values,
              (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 10}));
    EXPECT_EQ(tails, (std::vector<int>{0, 0, 0, 0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 0}));
    EXPECT_TRUE(bar.reversed);
    EXPECT_EQ(bar.position, 10);

    // It grows back in from the end it slid out by: the right end, now that it is reversed.
    bar.Step(10);
    bar.Step(-10); // a negative step moves forward too
    EXPECT_EQ(bar.position, 30);
    const BarLayout layout(kInner, PPB_BOUNCE | (bar.reversed ? PPB_REVERSE : 0));
    const Rect shown =
        layout.RangeToRect(layout.FilledRange(bar.position, 0, 100, bar.segment.Tail()));
    EXPECT_EQ(shown.right, kInner.right);
    EXPECT_EQ(shown.Width(), 60);
}

TEST(BounceSegment, AbsoluteMovesFoldBackPastTheEnd) {
    BounceSegment segment(40);
    auto move = segment.Advance(0, 50, false, 0, 100);
    EXPECT_EQ(move.value, 50);
    EXPECT_EQ(segment.Tail(), 10);
    EXPECT_FALSE(move.flipDirection);

    move = segment.Advance(50, 250, false, 0, 100);
    EXPECT_EQ(move.value, 250 - 140);
    EXPECT_TRUE(move.flipDirection);
    EXPECT_EQ(segment.Tail(), 70);

    // Far beyond: the segment starts over just outside the bar.
    move = segment.Advance(100, 100000, false, 0, 100);
    EXPECT_EQ(move.value, 140);
    EXPECT_TRUE(move.flipDirection);
    EXPECT_EQ(segment.Tail(), 100);

    // Below the range the tail stays at the lower bound.
    move = segment.Advance(0, -30, false, 0, 100);
    EXPECT_EQ(segment.Tail(), 0);
    EXPECT_FALSE(move.repaintAll);
}

} // namespace
} // namespace tamsivo
