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
    for (const auto& [position, lower, upper, expected] :
         std::vector<std::tuple<int, int, int, BarRange>>{
             {100, 0, 100, {0, 200}},
             {50, 0, 99, {0, 101}}, // 101.01 pixels, truncated
             {-50, -100, 100, {0, 50}},
             {2000000000, 0, 2000000000, {0, 200}}, // no overflow on the way
             {7, 7, 7, {0, 0}},                     // equal bounds: nothing to scale by
         }) {
        EXPECT_EQ(bar.FilledRange(position, lower, upper, 0), expected) << position;
    }
    EXPECT_EQ(BarLayout(kWide, PPB_BOUNCE).FilledRange(80, 0, 100, 40), (BarRange{80, 160}));
    EXPECT_EQ(bar.FilledRange(80, 0, 100, 40), (BarRange{0, 160})) << "no tail unless bouncing";
    EXPECT_TRUE(BarLayout::ShowsBar(0, 0, 100) && BarLayout::ShowsBar(100, 0, 100));
    EXPECT_FALSE(BarLayout::ShowsBar(-1, 0, 100) || BarLayout::ShowsBar(101, 0, 100));

    // The range 10 to 40 on each kind of bar.
    for (const auto& [inner, style, expected] : std::vector<std::tuple<Rect, std::uint32_t, Rect>>{
             {kWide, 0, {15, 3, 45, 23}},
             {kWide, PPB_REVERSE, {165, 3, 195, 23}},
             {kTall, kProgressVertical, {2, 64, 22, 94}},
             {kTall, kProgressVertical | PPB_REVERSE, {2, 14, 22, 44}},
         }) {
        EXPECT_EQ(BarLayout(inner, style).RangeToRect({10, 40}), expected) << style;
    }
    EXPECT_EQ(BarLayout(kTall, kProgressVertical).Length(), 100);
}

TEST(BarText, SaysThePercentOrThePositionInItsFormat) {
    for (const auto& [style, windowText, position, lower, upper, shown] :
         std::vector<std::tuple<std::uint32_t, const char*, int, int, int, std::string>>{
             {PPB_TEXT_PERCENT, "", 50, 0, 99, "50%"}, // 50.5 % truncates
             {PPB_TEXT_PERCENT, "", 99, 0, 99, "100%"},
             {PPB_TEXT_PERCENT, "", 150, 100, 200, "50%"},
             {PPB_TEXT_PERCENT, "", 5, 5, 5, "0%"},
             {PPB_TEXT_PERCENT, kCp1251<"Выполнено : %d%%">, 123, 0, 246,
              kCp1251<"Выполнено : 50%">},
             {PPB_TEXT_POSITION, "", 37, 0, 99, "37"},
             {PPB_TEXT_POSITION, "pos %d", 37, 0, 99, "pos 37"},
             {PPB_TEXT_PERCENT | PPB_TEXT_POSITION, "[%d]", 37, 0, 99, "[0]"},
             {PPB_TEXT_PERCENT | PPB_TEXT_POSITION, "", 37, 0, 99, "(none)"},
             {0, "%d", 37, 0, 99, "(none)"},
             {PPB_REVERSE | PPB_BOUNCE, "%d", 37, 0, 99, "(none)"},
         }) {
        const auto content = BarText::Resolve(style, windowText, position, lower, upper);
        EXPECT_EQ(content ? BarText::Format(*content) : "(none)", shown) << style << windowText;
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
    EXPECT_EQ(split.viewportOrigin, (Point{105, 20}));
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
    const auto jump = [&absolute](int position, int value) {
        const BounceSegment::Move move = absolute.Advance(position, value, false, 0, 100);
        return std::tuple(move.value, move.flipDirection, move.repaintAll, absolute.Tail());
    };
    EXPECT_EQ(jump(0, 50), std::tuple(50, false, false, 10));
    EXPECT_EQ(jump(50, 250), std::tuple(110, true, false, 70));
    EXPECT_EQ(jump(100, 100000), std::tuple(140, true, false, 100));
    EXPECT_EQ(jump(0, -30), std::tuple(-30, false, false, 0));
}

TEST(Gradients, BandsCoverTheirWidthAndStepTheColoursTowardsTheEnd) {
    // The label: one band a column up to a hundred, the last taking the rest.
    EXPECT_EQ(LabelGradient::Bands(0, 60, Rgb(0, 0, 0), Rgb(255, 255, 255)).size(), 60u);
    const auto wide = LabelGradient::Bands(10, 260, Rgb(0, 0, 0), Rgb(255, 255, 255));
    ASSERT_EQ(wide.size(), 100u);
    EXPECT_EQ(
        std::tuple(wide[0].left, wide[0].right, wide[98].right, wide[99].left, wide[99].right),
        std::tuple(10, 12, 208, 208, 260));
    EXPECT_EQ(LabelGradient::Bands(0, 3, Rgb(0, 0, 0), Rgb(255, 0, 0)),
              (std::vector<LabelGradient::Band>{
                  {0, 1, Rgb(0, 0, 0)}, {1, 2, Rgb(85, 0, 0)}, {2, 3, Rgb(170, 0, 0)}}));
    EXPECT_EQ(LabelGradient::Bands(0, 4, Rgb(250, 40, 3), Rgb(10, 40, 243)).back().color,
              Rgb(70, 40, 183));
    EXPECT_EQ(LabelGradient::Bands(0, 3, Rgb(200, 0, 0), 0)[1].color, Rgb(133, 0, 0));
    EXPECT_TRUE(LabelGradient::Bands(5, 5, 0, 0x00FFFFFF).empty());
    EXPECT_TRUE(LabelGradient::Bands(5, 3, 0, 0x00FFFFFF).empty());
    EXPECT_EQ(LabelGradient::Bands(0, 80, Rgb(9, 8, 7), Rgb(200, 200, 200), 1),
              (std::vector<LabelGradient::Band>{{0, 80, Rgb(9, 8, 7)}}));

    // The bar: no more bands than pixels or than the colours differ; stops spread evenly.
    const Color red = Rgb(255, 0, 0), blue = Rgb(0, 0, 255);
    EXPECT_EQ(BarGradient::StopsForBarColor(0, red), (std::vector<Color>{red, red}));
    EXPECT_EQ(BarGradient::StopsForBarColor(blue, red), (std::vector<Color>{red, blue}));
    EXPECT_EQ(BarGradient::Segments(std::vector<Color>{red, red}, {0, 200}, {0, 130}),
              (std::vector<BarGradient::Segment>{{{0, 200}, {0, 130}, red, red}}));
    EXPECT_EQ(BarGradient::Bands({0, 200}, {0, 130}, red, red, false).size(), 1u);
    const auto coarse =
        BarGradient::Bands({0, 200}, {0, 200}, Rgb(100, 0, 0), Rgb(110, 0, 0), false);
    ASSERT_EQ(coarse.size(), 10u);
    EXPECT_EQ(coarse[3], (BarGradient::Band{{60, 80}, Rgb(103, 0, 0)}));
    EXPECT_EQ(BarGradient::Bands({0, 200}, {0, 200}, red, blue, false).size(), 200u);
    EXPECT_EQ(BarGradient::Bands({0, 200}, {0, 150}, red, blue, true),
              (std::vector<BarGradient::Band>{{{0, 150}, red}}))
        << "low colour: one band";
    EXPECT_EQ(BarGradient::Segments(std::vector<Color>{red, blue, red}, {0, 200}, {120, 180}),
              (std::vector<BarGradient::Segment>{{{100, 200}, {120, 180}, blue, red}}));
    EXPECT_TRUE(BarGradient::Bands({0, 200}, {0, 0}, red, blue, false).empty());
}

TEST(LabelTextFormat, FollowsTheStaticStyleAndTheText) {
    for (const auto& [style, text, format] :
         std::vector<std::tuple<std::uint32_t, const char*, unsigned>>{
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
        EXPECT_EQ(LabelTextFormat::For(style, text), format) << style << " " << text;
    }
}

// The faces are 8-bit pictures: rows padded to four bytes and stored bottom up.
TEST(DibSurface, IsHeaderPaletteAndPaddedRowsStoredBottomUp) {
    DibSurface surface;
    ASSERT_NE(surface.Create(5, 3, 8), nullptr);
    EXPECT_EQ(std::tuple(surface.ColorCount(), surface.LineWidth(), surface.BlockSize()),
              std::tuple(256, 8u, 40u + 256 * 4 + 24));
    // GDI reads the block's start as a BITMAPINFOHEADER: its size, the width, a positive height
    // (rows bottom up), one plane of 8 bits, uncompressed (BI_RGB).
    const auto* header = reinterpret_cast<const std::uint8_t*>(surface.Header());
    EXPECT_EQ(
        std::vector(header, header + 20),
        (std::vector<std::uint8_t>{40, 0, 0, 0, 5, 0, 0, 0, 3, 0, 0, 0, 1, 0, 8, 0, 0, 0, 0, 0}));
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
    EXPECT_EQ(std::pair(surface.IsValid(), surface.BlockSize()), std::pair(false, std::size_t{0}));
    ASSERT_NE(surface.Create(4, 1, 32), nullptr);
    EXPECT_EQ(surface.BlockSize(), 40u + 12) << "24 bits a pixel at most, and no colour table";

    // Fewer bits a pixel: the leftmost pixel in the high bits of its byte, as GDI reads them.
    // 3, 10, 1, 8... in four bits; 1, 0, 1, 0... in one.
    for (const auto& [bits, firstBytes] : {std::pair(4, 0x3A18), std::pair(1, 0xAA80)}) {
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
        EXPECT_EQ(surface.Bits()[0] << 8 | surface.Bits()[1], firstBytes);
    }
}

TEST(ButtonFaces, TheDialogsButtonsWearATintedPillowSizedByTheButton) {
    ButtonFaces faces;
    const ButtonFaces::SystemColors system{Rgb(255, 255, 255), Rgb(192, 192, 192),
                                           Rgb(128, 128, 128)};
    const ButtonFaces::Texture pillow{TextureSoftBump, 0, 10, 90, Rgb(10, 10, 10)};
    // Grain 0: no noise, whatever the random source draws.
    faces.Build(108, 35, 4, system, pillow, RandomSource([] { return kFaceRandomMax / 2; }));
    EXPECT_EQ(std::tuple(faces.Normal().Width(), faces.Normal().Height(),
                         faces.FocusHorizontal().Width(), faces.FocusVertical().Height()),
              std::tuple(108, 35, 108 - 2 * 4 - 1, 35 - 2 * 4));
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
    EXPECT_EQ(std::vector({n.PixelIndex(0, 0), n.PixelIndex(107, 34), n.PixelIndex(50, 17),
                           n.PixelIndex(58, 17)}),
              std::vector({255, 0, 128, 128}));
    // Never lighter to the right or below (beyond the face: -1), the lit edge's middle included.
    for (int x = 0, y = 0; y < 35; x = (x + 1) % 108, y += x == 0) {
        EXPECT_GE(n.PixelIndex(x, y), std::max(n.PixelIndex(x + 1, y), n.PixelIndex(x, y + 1)));
    }
    EXPECT_FALSE(FaceTexture::InDomain(TextureSoftBump, 0, 35));
}

} // namespace
} // namespace tamsivo
