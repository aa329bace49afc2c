// The drawing maths of the skinned controls, which need no window: where the progress bar's
// parts go, what its text says and where, the bouncing segment, the gradients, the label's
// text format, and the button faces' palettised pictures.
#include "controls/BarGradient.h"
#include "controls/BarLayout.h"
#include "controls/BarText.h"
#include "controls/BounceSegment.h"
#include "controls/ButtonFaces.h"
#include "controls/DibSurface.h"
#include "controls/FaceRandom.h"
#include "controls/FaceTexture.h"
#include "controls/LabelGradient.h"
#include "controls/LabelTextFormat.h"
#include "controls/ProgressStyle.h"
#include "controls/TextureStyle.h"
#include "text/Cp1251Literal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tamsivo {
namespace {

// A bar 200 wide and 20 high, inset at (5, 3); a vertical one 20 wide and 100 high at (2, 4).
const Rect kWide{5, 3, 205, 23};
const Rect kTall{2, 4, 22, 104};

TEST(BarLayout, TheFilledPartScalesThePositionAndGrowsFromItsEnd) {
    const BarLayout bar(kWide, 0);
    struct Fill {
        int position, lower, upper;
        BarRange expected;
    };
    for (const Fill& f : std::vector<Fill>{
             {100, 0, 100, {0, 200}},
             {50, 0, 99, {0, 101}}, // 101.01 pixels, truncated
             {-50, -100, 100, {0, 50}},
             {2000000000, 0, 2000000000, {0, 200}}, // no overflow on the way
             {7, 7, 7, {0, 0}},                     // equal bounds: nothing to scale by
         }) {
        EXPECT_EQ(bar.FilledRange(f.position, f.lower, f.upper, 0), f.expected) << f.position;
    }
    EXPECT_EQ(BarLayout(kWide, PPB_BOUNCE).FilledRange(80, 0, 100, 40), (BarRange{80, 160}));
    EXPECT_EQ(bar.FilledRange(80, 0, 100, 40), (BarRange{0, 160})) << "no tail unless bouncing";
    EXPECT_TRUE(BarLayout::ShowsBar(0, 0, 100) && BarLayout::ShowsBar(100, 0, 100));
    EXPECT_FALSE(BarLayout::ShowsBar(-1, 0, 100) || BarLayout::ShowsBar(101, 0, 100));

    struct Place {
        const Rect& inner;
        std::uint32_t style;
        BarRange range;
        Rect expected;
    };
    for (const Place& p : std::vector<Place>{
             {kWide, 0, {10, 40}, {15, 3, 45, 23}},
             {kWide, PPB_REVERSE, {10, 40}, {165, 3, 195, 23}},
             {kTall, kProgressVertical, {10, 40}, {2, 64, 22, 94}},
             {kTall, kProgressVertical | PPB_REVERSE, {10, 40}, {2, 14, 22, 44}},
         }) {
        const BarLayout layout(p.inner, p.style);
        EXPECT_EQ(layout.RangeToRect(p.range), p.expected) << p.style << " " << p.range.right;
    }
    EXPECT_EQ(BarLayout(kTall, kProgressVertical).Length(), 100);
}

TEST(BarText, SaysThePercentOrThePositionInItsFormat) {
    struct Case {
        std::uint32_t style;
        const char* windowText;
        int position, lower, upper;
        const char* shown; // nullptr: no text
    };
    for (const Case& c : std::vector<Case>{
             {PPB_TEXT_PERCENT, "", 50, 0, 99, "50%"}, // 50.5 % truncates
             {PPB_TEXT_PERCENT, "", 99, 0, 99, "100%"},
             {PPB_TEXT_PERCENT, "", 150, 100, 200, "50%"},
             {PPB_TEXT_PERCENT, "", 5, 5, 5, "0%"},
             {PPB_TEXT_PERCENT, kCp1251<"Выполнено : %d%%">, 123, 0, 246,
              kCp1251<"Выполнено : 50%">},
             {PPB_TEXT_POSITION, "", 37, 0, 99, "37"},
             {PPB_TEXT_POSITION, "pos %d", 37, 0, 99, "pos 37"},
             {PPB_TEXT_PERCENT | PPB_TEXT_POSITION, "[%d]", 37, 0, 99, "[0]"},
             {PPB_TEXT_PERCENT | PPB_TEXT_POSITION, "", 37, 0, 99, nullptr},
             {0, "%d", 37, 0, 99, nullptr},
             {PPB_REVERSE | PPB_BOUNCE, "%d", 37, 0, 99, nullptr},
         }) {
        const auto content = BarText::Resolve(c.style, c.windowText, c.position, c.lower, c.upper);
        ASSERT_EQ(content.has_value(), c.shown != nullptr) << c.style << c.windowText;
        if (content) {
            EXPECT_EQ(BarText::Format(*content), c.shown);
        }
    }
    EXPECT_EQ(BarText::AngleOf(2705), 270);
    EXPECT_EQ(BarText::BoxFor(0, 60, 14), (BarText::Box{60, 14, 0, 14}));
    EXPECT_EQ(BarText::BoxFor(90, 60, 14), (BarText::Box{14, 60, 14, 0}));
    EXPECT_EQ(BarText::BoxFor(180, 60, 14), (BarText::Box{60, 14, 0, -14}));
    EXPECT_EQ(BarText::BoxFor(270, 60, 14), (BarText::Box{14, 60, -14, 0}));
    EXPECT_EQ(BarText::BoxFor(45, 60, 14), BarText::Box{});
}

// The text is drawn whole once per piece, each clipped to a range in its own colour, so that
// the colour changes exactly at the end of the bar.
TEST(BarText, IsCentredAndChangesColourExactlyAtTheEndOfTheBar) {
    using Pieces = std::vector<BarText::Piece>;
    // A text 60 wide and 14 high, turned by `angle`, over the bar filled to `filled`.
    const auto place = [](const BarLayout& bar, BarRange filled, int angle = 0, bool same = false) {
        return BarText::Place(bar, bar.FullRange(), filled, BarText::BoxFor(angle, 60, 14), same);
    };
    const BarLayout layout(kWide, PPB_TEXT_PERCENT);
    const auto split = place(layout, {0, 80});
    EXPECT_EQ(split.pieces, (Pieces{{{0, 80}, true}, {{80, 200}, false}}));
    // Anchored at the text's bottom centre, in the middle of the bar both ways.
    EXPECT_EQ(split.viewportOrigin.x, 105);
    EXPECT_EQ(split.viewportOrigin.y, 20);
    EXPECT_EQ(place(layout, {0, 0}).pieces, (Pieces{{{0, 200}, false}}));
    EXPECT_EQ(place(layout, {0, 200}).pieces, (Pieces{{{0, 200}, true}}));
    EXPECT_EQ(place(layout, {40, 120}).pieces,
              (Pieces{{{40, 120}, true}, {{120, 200}, false}, {{0, 40}, false}}));
    EXPECT_EQ(place(layout, {0, 80}, 0, true).pieces, (Pieces{{{0, 200}, true}}))
        << "both text colours the same: one piece";

    // On the bar the text shows only once it fits, centred on the filled part.
    const BarLayout onBar(kWide, PPB_TEXT_PERCENT | PPB_TEXT_ON_BAR);
    EXPECT_TRUE(place(onBar, {0, 59}).pieces.empty());
    const auto fits = place(onBar, {0, 60});
    EXPECT_EQ(fits.pieces, (Pieces{{{0, 60}, true}}));
    EXPECT_EQ(fits.viewportOrigin.x, 35);
    const BarLayout tall(kTall, kProgressVertical | PPB_TEXT_ON_BAR | PPB_TEXT_PERCENT);
    EXPECT_TRUE(place(tall, {0, 59}, 90).pieces.empty());
    EXPECT_EQ(place(tall, {0, 60}, 90).pieces.size(), 1u);
}

TEST(BounceSegment, RunsOutAndComesBackFromTheEndItLeftBy) {
    // The standard control underneath clamps the position to its range.
    BounceSegment segment(40);
    EXPECT_EQ(segment.Tail(), 0) << "a new segment starts at the bar's start";
    int position = 0;
    std::vector<int> values;
    std::vector<int> tails;
    for (int i = 0; i < 15; ++i) {
        const BounceSegment::Move move = segment.Advance(position, 10, true, 0, 100);
        position = std::clamp(move.value, 0, 100);
        values.push_back(move.value);
        tails.push_back(segment.Tail());
        EXPECT_EQ(move.flipDirection, i == 14) << i;
        // Past the upper bound the standard control stays at 100 and would not repaint.
        EXPECT_EQ(move.repaintAll, move.value >= 100 && !move.flipDirection) << i;
    }
    EXPECT_EQ(values,
              (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120, 130, 140, 10}));
    EXPECT_EQ(tails, (std::vector<int>{0, 0, 0, 0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 0}));
    EXPECT_EQ(segment.Advance(position, -10, true, 0, 100).value, 20) << "back steps go forward";

    // Absolute moves fold back past the end; far beyond, the segment starts just outside.
    BounceSegment absolute(40);
    EXPECT_EQ(absolute.Advance(0, 50, false, 0, 100).value, 50);
    EXPECT_EQ(absolute.Tail(), 10);
    const BounceSegment::Move folded = absolute.Advance(50, 250, false, 0, 100);
    EXPECT_EQ(folded.value, 110);
    EXPECT_TRUE(folded.flipDirection);
    EXPECT_EQ(absolute.Tail(), 70);
    EXPECT_EQ(absolute.Advance(100, 100000, false, 0, 100).value, 140);
    EXPECT_EQ(absolute.Tail(), 100);
    EXPECT_FALSE(absolute.Advance(0, -30, false, 0, 100).repaintAll);
    EXPECT_EQ(absolute.Tail(), 0);
}

TEST(Gradients, BandsCoverTheirWidthAndStepTheColoursTowardsTheEnd) {
    // The label: one band a column up to a hundred, the last taking the rest.
    EXPECT_EQ(LabelGradient::Bands(0, 60, Rgb(0, 0, 0), Rgb(255, 255, 255)).size(), 60u);
    const auto wide = LabelGradient::Bands(10, 260, Rgb(0, 0, 0), Rgb(255, 255, 255));
    ASSERT_EQ(wide.size(), 100u);
    EXPECT_EQ(wide[0].left, 10);
    EXPECT_EQ(wide[0].right, 12);
    EXPECT_EQ(wide[98].right, 208);
    EXPECT_EQ(wide.back(), (LabelGradient::Band{208, 260, wide.back().color}));
    const auto thirds = LabelGradient::Bands(0, 3, Rgb(0, 0, 0), Rgb(255, 0, 0));
    EXPECT_EQ(thirds, (std::vector<LabelGradient::Band>{
                          {0, 1, Rgb(0, 0, 0)}, {1, 2, Rgb(85, 0, 0)}, {2, 3, Rgb(170, 0, 0)}}));
    const auto falling = LabelGradient::Bands(0, 4, Rgb(250, 40, 3), Rgb(10, 40, 243));
    EXPECT_EQ(falling.back().color, Rgb(70, 40, 183));
    EXPECT_EQ(LabelGradient::Bands(0, 3, Rgb(200, 0, 0), 0)[1].color, Rgb(133, 0, 0));
    EXPECT_TRUE(LabelGradient::Bands(5, 5, 0, 0x00FFFFFF).empty());
    EXPECT_TRUE(LabelGradient::Bands(5, 3, 0, 0x00FFFFFF).empty());
    EXPECT_EQ(LabelGradient::Bands(0, 80, Rgb(9, 8, 7), Rgb(200, 200, 200), 1),
              (std::vector<LabelGradient::Band>{{0, 80, Rgb(9, 8, 7)}}));

    // The bar: no more bands than pixels or than the colours differ; stops spread evenly.
    const Color red = Rgb(255, 0, 0);
    const Color blue = Rgb(0, 0, 255);
    EXPECT_EQ(BarGradient::StopsForBarColor(0, red), (std::vector<Color>{red, red}));
    EXPECT_EQ(BarGradient::StopsForBarColor(blue, red), (std::vector<Color>{red, blue}));
    const auto one = BarGradient::Segments(std::vector<Color>{red, red}, {0, 200}, {0, 130});
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(BarGradient::Bands(one[0].segment, one[0].visible, red, red, false).size(), 1u);
    const auto coarse =
        BarGradient::Bands({0, 200}, {0, 200}, Rgb(100, 0, 0), Rgb(110, 0, 0), false);
    ASSERT_EQ(coarse.size(), 10u);
    EXPECT_EQ(coarse[3], (BarGradient::Band{{60, 80}, Rgb(103, 0, 0)}));
    EXPECT_EQ(BarGradient::Bands({0, 200}, {0, 200}, red, blue, false).size(), 200u);
    EXPECT_EQ(BarGradient::Bands({0, 200}, {0, 150}, red, blue, true),
              (std::vector<BarGradient::Band>{{{0, 150}, red}}))
        << "low colour: one band";
    const auto late =
        BarGradient::Segments(std::vector<Color>{red, blue, red}, {0, 200}, {120, 180});
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(late[0].segment, (BarRange{100, 200}));
    EXPECT_EQ(late[0].visible, (BarRange{120, 180}));
    EXPECT_TRUE(BarGradient::Bands({0, 200}, {0, 0}, red, blue, false).empty());
}

TEST(LabelTextFormat, FollowsTheStaticStyleAndTheText) {
    struct Case {
        std::uint32_t style;
        const char* text;
        unsigned format;
    };
    for (const Case& c : std::vector<Case>{
             {kSsLeft, "text", kDtWordBreak},
             {kSsCenter, "text", 0x11},
             {kSsRight, "text", 0x12},
             {kSsLeftNoWordWrap, "a long text", 0},
             {0x0B, "text", kDtWordBreak},
             {kSsCenter | kSsNotify | 0x10000000u, "text", 0x11},
             {kSsLeft, "a\tb", 0x50},
             {kSsLeftNoWordWrap, "a\tb", kDtExpandTabs},
             {kSsLeft | kSsCenterImage, "a\tb", 0x25},
             {kSsRight | kSsCenterImage, "text", 0x25},
             {kSsCenterImage, "one\r\ntwo", kDtCenter},
             {kSsCenterImage, "one\ntwo", 0x25},
         }) {
        EXPECT_EQ(LabelTextFormat::For(c.style, c.text), c.format) << c.style << " " << c.text;
    }
}

// The faces are 8-bit pictures: rows padded to four bytes and stored bottom up.
TEST(DibSurface, IsHeaderPaletteAndPaddedRowsStoredBottomUp) {
    DibSurface surface;
    ASSERT_NE(surface.Create(5, 3, 8), nullptr);
    EXPECT_EQ(surface.ColorCount(), 256);
    EXPECT_EQ(surface.LineWidth(), 8u);
    EXPECT_EQ(surface.BlockSize(), 40u + 256 * 4 + 24);
    // GDI reads the block's start as a BITMAPINFOHEADER: its size, then one plane of 8 bits,
    // uncompressed (BI_RGB).
    const auto* header = reinterpret_cast<const std::uint8_t*>(surface.Header());
    EXPECT_EQ(header[0], 40);
    EXPECT_EQ(header[12] | header[13] << 8, 1);
    EXPECT_EQ(header[14] | header[15] << 8, 8);
    EXPECT_EQ(header[16] | header[17] | header[18] | header[19], 0);
    surface.Clear(0);
    surface.SetPixelIndex(1, 0, 0xA5); // the top row, stored last
    EXPECT_EQ(surface.Bits()[16 + 1], 0xA5);
    EXPECT_EQ(surface.PixelIndex(5, 0), -1);
    surface.SetPaletteEntry(257, 10, 20, 30); // the low 8 bits: entry 1
    surface.BlendPalette(Rgb(110, 20, 30), 50);
    EXPECT_EQ(surface.PaletteColor(1), Rgb(60, 20, 30));
    DibSurface copy;
    copy.Clone(surface);
    surface.Clear(0xFF);
    EXPECT_EQ(copy.PixelIndex(1, 0), 0xA5) << "a clone owns its own block";
    EXPECT_NE(surface.Create(0, 0, 8), nullptr) << "a control shrunk to nothing still paints";
    EXPECT_EQ(surface.Create(-1, 3, 8), nullptr);
    EXPECT_FALSE(surface.IsValid());
    EXPECT_EQ(surface.BlockSize(), 0u);
    ASSERT_NE(surface.Create(4, 1, 32), nullptr);
    EXPECT_EQ(surface.BlockSize(), 40u + 12) << "24 bits a pixel at most, and no colour table";

    // Fewer bits a pixel: the leftmost pixel in the high bits of its byte, as GDI reads them.
    for (const int bits : {4, 1}) {
        SCOPED_TRACE(bits);
        ASSERT_NE(surface.Create(10, 1, bits), nullptr);
        EXPECT_EQ(surface.ColorCount(), 1 << bits);
        surface.Clear(0);
        for (int x = 0; x < 10; ++x) {
            surface.SetPixelIndex(x, 0, (x * 7 + 3) % (1 << bits));
        }
        for (int x = 0; x < 10; ++x) {
            EXPECT_EQ(surface.PixelIndex(x, 0), (x * 7 + 3) % (1 << bits)) << x;
        }
    }
    // 1, 0, 1, 0, 1, 0, 1, 0 | 1, 0: two bytes, the first 0b10101010.
    EXPECT_EQ(surface.Bits()[0], 0xAA);
    EXPECT_EQ(surface.Bits()[1], 0x80);
    ASSERT_NE(surface.Create(3, 1, 4), nullptr);
    surface.Clear(0);
    surface.SetPixelIndex(0, 0, 0xC);
    surface.SetPixelIndex(1, 0, 0x5);
    surface.SetPixelIndex(2, 0, 0x9);
    EXPECT_EQ(surface.Bits()[0], 0xC5);
    EXPECT_EQ(surface.Bits()[1], 0x90);
}

TEST(ButtonFaces, TheDialogsButtonsWearATintedPillowSizedByTheButton) {
    ButtonFaces faces;
    const ButtonFaces::SystemColors system{Rgb(255, 255, 255), Rgb(192, 192, 192),
                                           Rgb(128, 128, 128)};
    const ButtonFaces::Texture pillow{TextureSoftBump, 0, 10, 90, Rgb(10, 10, 10)};
    // Grain 0: no noise, whatever the random source draws.
    faces.Build(108, 35, 4, system, pillow, RandomSource([] { return kFaceRandomMax / 2; }));
    EXPECT_EQ(faces.Normal().Width(), 108);
    EXPECT_EQ(faces.Normal().Height(), 35);
    EXPECT_EQ(faces.FocusHorizontal().Width(), 108 - 2 * 4 - 1);
    EXPECT_EQ(faces.FocusVertical().Height(), 35 - 2 * 4);
    // Tinted 90 % towards near black; the hover face 10 % brighter; the focus dots untinted.
    const Color face = faces.Normal().PaletteColor(128);
    EXPECT_LT(RedOf(face), 40);
    EXPECT_GT(RedOf(faces.Hover().PaletteColor(128)), RedOf(face));
    EXPECT_EQ(faces.FocusHorizontal().PaletteColor(0), Rgb(128, 128, 128));
    EXPECT_EQ(faces.FocusHorizontal().PaletteColor(255), Rgb(255, 255, 255));
    // Dotted: every other pixel along each strip.
    EXPECT_NE(faces.FocusHorizontal().PixelIndex(0, 0), faces.FocusHorizontal().PixelIndex(1, 0));
    EXPECT_NE(faces.FocusVertical().PixelIndex(0, 0), faces.FocusVertical().PixelIndex(0, 1));
    // A pillow lit from the top left: light there, dark at the bottom right, flat between.
    const DibSurface& n = faces.Normal();
    EXPECT_EQ(n.PixelIndex(0, 0), 255);
    EXPECT_EQ(n.PixelIndex(107, 34), 0);
    EXPECT_EQ(n.PixelIndex(50, 17), 128);
    EXPECT_EQ(n.PixelIndex(58, 17), 128);
    EXPECT_FALSE(FaceTexture::InDomain(TextureSoftBump, 0, 35));
}

} // namespace
} // namespace tamsivo
