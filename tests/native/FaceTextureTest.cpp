#include "controls/FaceTexture.h"
#include "controls/TextureStyle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace tamsivo {
namespace {

constexpr int kW = 60;
constexpr int kH = 30;

RandomSource Always(int value) {
    return [value] { return value; };
}

// The draw that makes the noise of grain g exactly 0: N = draw / (32767 / 2g) - g.
RandomSource NoNoise(int grain) {
    return Always(grain == 0 ? 0 : grain * (kFaceRandomMax / (2 * grain)));
}

// Every draw is 0 except the one numbered `hit` (from 0), which is the largest.
RandomSource PeakAt(int hit) {
    auto calls = std::make_shared<int>(0);
    return [calls, hit] { return (*calls)++ == hit ? kFaceRandomMax : 0; };
}

// Draws from a script, then zeros.
RandomSource Script(std::vector<int> draws) {
    auto next = std::make_shared<std::size_t>(0);
    return [draws = std::move(draws), next] { return *next < draws.size() ? draws[(*next)++] : 0; };
}

DibSurface Face(int width, int height) {
    DibSurface face;
    EXPECT_NE(face.Create(width, height, 8), nullptr);
    return face;
}

DibSurface Painted(std::int32_t style, int grain, const RandomSource& random, int width = kW,
                   int height = kH) {
    DibSurface face = Face(width, height);
    face.Clear(0x77);
    FaceTexture::Paint(face, style, grain, random);
    return face;
}

// Pixel at column x of memory row r (r = 0 is the bottom row).
int At(const DibSurface& face, int x, int r) {
    return face.PixelIndex(x, face.Height() - 1 - r);
}

TEST(FaceTexture, RampRunsFromShadowThroughFaceToHighlight) {
    DibSurface face = Face(2, 2);
    // The classic system colours.
    FaceTexture::FillRamp(face, Rgb(128, 128, 128), Rgb(192, 192, 192), Rgb(255, 255, 255));
    EXPECT_EQ(face.PaletteColor(0), Rgb(128, 128, 128));
    EXPECT_EQ(face.PaletteColor(127), Rgb(191, 191, 191));
    EXPECT_EQ(face.PaletteColor(128), Rgb(192, 192, 192));
    EXPECT_EQ(face.PaletteColor(255), Rgb(255, 255, 255));
    for (int i = 1; i < 256; ++i) {
        EXPECT_GE(RedOf(face.PaletteColor(i)), RedOf(face.PaletteColor(i - 1))) << i;
    }

    // Channels are ramped separately, red from the low byte.
    FaceTexture::FillRamp(face, Rgb(0, 100, 200), Rgb(100, 100, 100), Rgb(200, 100, 0));
    EXPECT_EQ(face.PaletteColor(0), Rgb(0, 100, 200));
    EXPECT_EQ(face.PaletteColor(64), Rgb(50, 100, 150)) << "half way from shadow to face";
    EXPECT_EQ(face.PaletteColor(191), Rgb(150, 100, 50)) << "half way from face to highlight";
    EXPECT_EQ(face.PaletteColor(255), Rgb(200, 100, 0));
}

TEST(FaceTexture, DotsAlternateAlongAStripStartingDark) {
    DibSurface horizontal = Face(7, 1);
    FaceTexture::FillDots(horizontal);
    for (int x = 0; x < 7; ++x) {
        EXPECT_EQ(horizontal.PixelIndex(x, 0), x % 2 == 1 ? 255 : 0) << x;
    }

    DibSurface vertical = Face(1, 5);
    FaceTexture::FillDots(vertical);
    // One pixel a row, rows 4 bytes apart; the bottom row comes first in memory.
    const std::uint8_t* bits = vertical.Bits();
    ASSERT_EQ(vertical.LineWidth(), 4u);
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(bits[r * 4], r % 2 == 1 ? 255 : 0) << "memory row " << r;
    }
}

TEST(FaceTexture, FormulasNeedAFaceTheyCanDivideBy) {
    for (std::int32_t style = 0; style <= 9; ++style) {
        SCOPED_TRACE(style);
        EXPECT_FALSE(FaceTexture::InDomain(style, 0, 10));
        EXPECT_FALSE(FaceTexture::InDomain(style, 10, 0));
        EXPECT_FALSE(FaceTexture::InDomain(style, 32768, 10));
        EXPECT_FALSE(FaceTexture::InDomain(style, 10, 32768));
        EXPECT_TRUE(FaceTexture::InDomain(style, 32767, 6));
    }
    // The hard bump's bevels are a sixth of the width, and it divides by height^2 / 4.
    EXPECT_FALSE(FaceTexture::InDomain(TextureHardBump, 5, 10));
    EXPECT_FALSE(FaceTexture::InDomain(TextureHardBump, 10, 1));
    EXPECT_TRUE(FaceTexture::InDomain(TextureHardBump, 6, 2));
    EXPECT_TRUE(FaceTexture::InDomain(TextureSoftBump, 1, 1));
}

TEST(FaceTexture, NoiseSpansMinusToPlusTheGrain) {
    for (std::int32_t style = TextureDiagonal; style <= TextureSoftBump; ++style) {
        SCOPED_TRACE(style);
        // Grain 0 divides the draw by 32767: only the largest draw adds anything, and only 1.
        const DibSurface plain = Painted(style, 0, Always(0));
        const DibSurface almost = Painted(style, 0, Always(kFaceRandomMax - 1));
        const DibSurface peak = Painted(style, 0, Always(kFaceRandomMax));
        // Grain 10 shifts by -10 ... +10 around the noise-free picture.
        const DibSurface neutral = Painted(style, 10, NoNoise(10));
        const DibSurface low = Painted(style, 10, Always(0));
        const DibSurface high = Painted(style, 10, Always(kFaceRandomMax));
        for (int r = 0; r < kH; ++r) {
            for (int x = 0; x < kW; ++x) {
                ASSERT_EQ(At(almost, x, r), At(plain, x, r)) << x << "," << r;
                ASSERT_EQ(At(peak, x, r), (At(plain, x, r) + 1) % 256) << x << "," << r;
                ASSERT_EQ(At(low, x, r), (At(neutral, x, r) + 256 - 10) % 256) << x << "," << r;
                ASSERT_EQ(At(high, x, r), (At(neutral, x, r) + 10) % 256) << x << "," << r;
            }
        }
    }
}

TEST(FaceTexture, NoiseIsDrawnRowByRowFromTheBottomOrColumnByColumn) {
    // The draw numbered 1 lands on the second pixel visited.
    for (std::int32_t style = TextureDiagonal; style <= TextureSoftBump; ++style) {
        SCOPED_TRACE(style);
        const bool byColumns = style == TextureHorizontalRamp || style == TextureVerticalBump;
        const int hitX = byColumns ? 0 : 1;
        const int hitR = byColumns ? 1 : 0;
        const DibSurface plain = Painted(style, 0, Always(0));
        const DibSurface marked = Painted(style, 0, PeakAt(1));
        for (int r = 0; r < kH; ++r) {
            for (int x = 0; x < kW; ++x) {
                const int expected =
                    (x == hitX && r == hitR) ? (At(plain, x, r) + 1) % 256 : At(plain, x, r);
                ASSERT_EQ(At(marked, x, r), expected) << x << "," << r;
            }
        }
    }
}

TEST(FaceTexture, RampsStayInsideTheGrainMarginAndRunTheDocumentedWay) {
    const int g = 20;
    const DibSurface diagonal = Painted(TextureDiagonal, g, NoNoise(g));
    const DibSurface vertical = Painted(TextureVerticalRamp, g, NoNoise(g));
    const DibSurface horizontal = Painted(TextureHorizontalRamp, g, NoNoise(g));
    for (int r = 0; r < kH; ++r) {
        for (int x = 0; x < kW; ++x) {
            SCOPED_TRACE(testing::Message() << x << "," << r);
            for (const DibSurface* face : {&diagonal, &vertical, &horizontal}) {
                ASSERT_GE(At(*face, x, r), g);
                ASSERT_LE(At(*face, x, r), 255 - g);
            }
            if (x > 0) {
                // Darker to the right; the vertical ramp is flat along a row.
                ASSERT_LE(At(diagonal, x, r), At(diagonal, x - 1, r));
                ASSERT_LE(At(horizontal, x, r), At(horizontal, x - 1, r));
                ASSERT_EQ(At(vertical, x, r), At(vertical, x - 1, r));
            }
            if (r > 0) {
                // Lighter upwards; the horizontal ramp is flat along a column.
                ASSERT_GE(At(diagonal, x, r), At(diagonal, x, r - 1));
                ASSERT_GE(At(vertical, x, r), At(vertical, x, r - 1));
                ASSERT_EQ(At(horizontal, x, r), At(horizontal, x, r - 1));
            }
        }
    }
    EXPECT_EQ(At(vertical, 0, 0), g) << "the bottom row is the darkest shade";
    EXPECT_EQ(At(horizontal, 0, 0), 255 - g) << "the left column is the lightest shade";
    EXPECT_GT(At(diagonal, 0, kH - 1), 255 - g - 10) << "top left nearly the lightest";
    EXPECT_LT(At(diagonal, kW - 1, 0), g + 10) << "bottom right nearly the darkest";
}

TEST(FaceTexture, BumpsAreFlatInTheMiddleAndSteepAtTheEdges) {
    const DibSurface across = Painted(TextureHorizontalBump, 0, Always(0));
    const DibSurface along = Painted(TextureVerticalBump, 0, Always(0));
    for (int r = 0; r < kH; ++r) {
        for (int x = 1; x < kW; ++x) {
            ASSERT_EQ(At(across, x, r), At(across, 0, r)) << "a horizontal bump is flat along rows";
        }
    }
    for (int x = 0; x < kW; ++x) {
        for (int r = 1; r < kH; ++r) {
            ASSERT_EQ(At(along, x, r), At(along, x, 0)) << "a vertical bump is flat along columns";
        }
    }
    // Dark at the bottom, light at the top; dark at the right, light at the left.
    for (int r = 1; r < kH; ++r) {
        EXPECT_GE(At(across, 0, r), At(across, 0, r - 1)) << r;
    }
    for (int x = 2; x < kW; ++x) {
        EXPECT_LE(At(along, x, 0), At(along, x - 1, 0)) << x;
    }
    // At the left edge t = 255 - 127 = 128 and the shade reaches 256, whose byte is 0: without
    // grain the edge column wraps round to the darkest entry. A grain keeps it in range.
    EXPECT_EQ(At(along, 0, 0), 0);
    EXPECT_EQ(At(Painted(TextureVerticalBump, 1, NoNoise(1)), 0, 0), 255);
    EXPECT_NEAR(At(across, 0, kH / 2), 128, 1);
    EXPECT_NEAR(At(along, kW / 2, 0), 128, 1);
    // A cube: the middle third changes far less than either outer third.
    const int middle = At(across, 0, 2 * kH / 3) - At(across, 0, kH / 3);
    const int lower = At(across, 0, kH / 3) - At(across, 0, 0);
    EXPECT_LT(middle, lower / 2);
}

TEST(FaceTexture, SoftBumpIsAPillowSaturatingAtItsCorners) {
    const DibSurface face = Painted(TextureSoftBump, 0, Always(0), 100, 30);
    EXPECT_EQ(At(face, 0, 29), 255) << "top left saturates";
    EXPECT_EQ(At(face, 99, 0), 0) << "bottom right saturates";
    EXPECT_NEAR(At(face, 50, 15), 128, 2) << "centre";
    for (int r = 0; r < 30; ++r) {
        for (int x = 1; x < 100; ++x) {
            ASSERT_LE(At(face, x, r), At(face, x - 1, r)) << x << "," << r;
        }
    }
    for (int x = 0; x < 100; ++x) {
        for (int r = 1; r < 30; ++r) {
            ASSERT_GE(At(face, x, r), At(face, x, r - 1)) << x << "," << r;
        }
    }

    // With a grain the clamp keeps the shading g away from either end of the ramp.
    const int g = 30;
    const DibSurface grained = Painted(TextureSoftBump, g, NoNoise(g), 100, 30);
    EXPECT_EQ(At(grained, 0, 29), 255 - g);
    EXPECT_EQ(At(grained, 99, 0), g);
}

TEST(FaceTexture, HardBumpHasEllipticalBevelsAtTheSides) {
    const int w = kW; // bevels e = min(60 / 6, 16) = 10 pixels wide at the middle row
    const int e = 10;
    const DibSurface face = Painted(TextureHardBump, 0, Always(0));
    const DibSurface noisy = Painted(TextureHardBump, 0, Always(kFaceRandomMax));

    // The bottom row is beyond both ellipses: flat like the bump beneath.
    for (int x = 1; x < w; ++x) {
        EXPECT_EQ(At(face, x, 0), At(face, 0, 0)) << x;
    }
    // At the middle row the left bevel covers the first e columns, light at the edge, and the
    // right bevel is dark at the edge; between them the bump's flat middle shows.
    const int mid = kH / 2;
    const int flat = At(face, e, mid);
    EXPECT_NEAR(flat, 128, 1);
    for (int x = e; x < w - e; ++x) {
        EXPECT_EQ(At(face, x, mid), flat) << x;
    }
    EXPECT_EQ(At(face, 0, mid), 255);
    for (int x = 1; x < e; ++x) {
        EXPECT_LT(At(face, x, mid), At(face, x - 1, mid)) << x;
        EXPECT_NE(At(face, x, mid), flat) << x;
    }
    EXPECT_LT(At(face, w - 1, mid), 32);
    // Narrower away from the middle row: fewer bevel columns a quarter of the way up.
    auto leftBevelWidth = [&](int r) {
        int columns = 0;
        while (columns < w && At(face, columns, r) != At(face, w / 2, r)) {
            ++columns;
        }
        return columns;
    };
    EXPECT_EQ(leftBevelWidth(mid), e);
    EXPECT_LT(leftBevelWidth(kH / 4), e);
    EXPECT_GT(leftBevelWidth(kH / 4), 0);

    // Both passes add noise; the bevels replace the first pass's pixel, so they carry it once.
    EXPECT_EQ(At(noisy, w / 2, mid), (At(face, w / 2, mid) + 2) % 256);
    EXPECT_EQ(At(noisy, 0, mid), (At(face, 0, mid) + 1) % 256);
}

TEST(FaceTexture, BrushedMetalLaysStrokesOverADiagonalRamp) {
    const int side = 64; // draws are divided by 32767 / 64 = 511
    const DibSurface bare = Painted(TextureBrushedMetal, 0, Always(0), side, side);
    // No strokes with zero draws: a diagonal ramp from dark bottom right to light top left that
    // leaves room for the 40 stroke shades above it.
    const int k = (255 - 40) / 2;
    for (int r = 0; r < side; ++r) {
        for (int x = 0; x < side; ++x) {
            ASSERT_LE(At(bare, x, r), 2 * k) << x << "," << r;
        }
    }
    EXPECT_GT(At(bare, 0, side - 1), At(bare, side - 1, 0));

    // One stroke: from (20, 30) (from the top), 16 / 2 = 8 pixels long, shade 30 (32767 / 40 =
    // 819 a shade); then zeros, which give no further strokes and no noise at grain 0.
    const DibSurface stroked = Painted(
        TextureBrushedMetal, 0, Script({20 * 511, 30 * 511, 16 * 511, 30 * 819}), side, side);
    std::vector<std::pair<int, int>> stroke;
    for (int i = 0; i < 8; ++i) {
        stroke.emplace_back(20 - i, 30 + i);        // down to the left
        stroke.emplace_back(side - 20 + i, 30 - i); // its mirror, up to the right
    }
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const bool onStroke =
                std::find(stroke.begin(), stroke.end(), std::pair{x, y}) != stroke.end();
            ASSERT_EQ(stroked.PixelIndex(x, y), bare.PixelIndex(x, y) + (onStroke ? 30 : 0))
                << x << "," << y;
        }
    }

    // Its noise only brightens: grain 10 adds 0 ... 20. The largest draws put every stroke
    // outside the face, so only the noise differs.
    const DibSurface low = Painted(TextureBrushedMetal, 10, Always(0), side, side);
    const DibSurface high = Painted(TextureBrushedMetal, 10, Always(kFaceRandomMax), side, side);
    for (int r = 0; r < side; ++r) {
        for (int x = 0; x < side; ++x) {
            ASSERT_EQ(At(high, x, r), At(low, x, r) + 20) << x << "," << r;
        }
    }
}

TEST(FaceTexture, OtherStylesAndFacesOutsideTheFormulasGetNoise) {
    // Noise is 128 - g plus the draw / (32767 / 2g).
    for (std::int32_t style : {0, -1, 9, 1000}) {
        SCOPED_TRACE(style);
        const DibSurface low = Painted(style, 10, Always(0));
        const DibSurface high = Painted(style, 10, Always(kFaceRandomMax));
        for (int r = 0; r < kH; ++r) {
            for (int x = 0; x < kW; ++x) {
                ASSERT_EQ(At(low, x, r), 118);
                ASSERT_EQ(At(high, x, r), 138);
            }
        }
    }
    // A hard bump 5 pixels wide has no bevels to divide into.
    const DibSurface narrow = Painted(TextureHardBump, 0, Always(0), 5, kH);
    for (int r = 0; r < kH; ++r) {
        for (int x = 0; x < 5; ++x) {
            ASSERT_EQ(At(narrow, x, r), 128) << x << "," << r;
        }
    }
}

TEST(FaceTexture, OnlyTheLowEightBitsOfTheGrainCount) {
    const DibSurface plain = Painted(TextureSoftBump, 0, Always(kFaceRandomMax));
    const DibSurface wrapped = Painted(TextureSoftBump, 256, Always(kFaceRandomMax));
    ASSERT_EQ(plain.ImageSize(), wrapped.ImageSize());
    EXPECT_TRUE(std::equal(plain.Bits(), plain.Bits() + plain.ImageSize(), wrapped.Bits()));
}

TEST(FaceTexture, DefaultRandomStaysInTheWindowsRange) {
    // The divisors of the formulas assume draws of at most 32767, which not every C library's
    // rand() keeps to.
    bool sawLarge = false;
    for (int i = 0; i < 10000; ++i) {
        const int draw = FaceRandom();
        ASSERT_GE(draw, 0);
        ASSERT_LE(draw, kFaceRandomMax);
        sawLarge = sawLarge || draw > kFaceRandomMax / 2;
    }
    EXPECT_TRUE(sawLarge) << "the draws cover the whole range";
}

} // namespace
} // namespace tamsivo
