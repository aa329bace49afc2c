#include "controls/DibSurface.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace tamsivo {
namespace {

std::ptrdiff_t OffsetInBlock(const DibSurface& surface, const void* pointer) {
    return static_cast<const std::uint8_t*>(pointer) -
           reinterpret_cast<const std::uint8_t*>(surface.Header());
}

TEST(DibSurface, EmptySurfaceHasOnlyTheHeaderSizeAndIgnoresEveryOperation) {
    DibSurface surface;
    EXPECT_FALSE(surface.IsValid());
    EXPECT_EQ(surface.Header(), nullptr);
    EXPECT_EQ(surface.Bits(), nullptr);
    EXPECT_EQ(surface.Width(), 0);
    EXPECT_EQ(surface.Height(), 0);
    EXPECT_EQ(surface.BitCount(), 0);
    EXPECT_EQ(surface.LineWidth(), 0u);
    EXPECT_EQ(surface.ColorCount(), 0);
    EXPECT_EQ(surface.BlockSize(), 0u);

    surface.SetPaletteEntry(0, 1, 2, 3);
    surface.BlendPalette(0x00FFFFFF, 50);
    surface.SetPixelIndex(0, 0, 7);
    surface.Clear(9);
    EXPECT_FALSE(surface.IsValid());
    EXPECT_EQ(surface.PaletteColor(0), 0u);
    EXPECT_EQ(surface.PixelIndex(0, 0), -1);
}

TEST(DibSurface, BitCountIsRoundedUpToAFormatGdiKnows) {
    struct Case {
        int requested;
        int bitCount;
        int colors;
    };
    for (const Case c :
         {Case{-3, 1, 2}, Case{0, 1, 2}, Case{1, 1, 2}, Case{2, 4, 16}, Case{4, 4, 16},
          Case{5, 8, 256}, Case{8, 8, 256}, Case{9, 24, 0}, Case{16, 24, 0}, Case{32, 24, 0}}) {
        SCOPED_TRACE(c.requested);
        DibSurface surface;
        ASSERT_NE(surface.Create(10, 3, c.requested), nullptr);
        EXPECT_EQ(surface.BitCount(), c.bitCount);
        EXPECT_EQ(surface.ColorCount(), c.colors);
    }
}

TEST(DibSurface, RowsArePaddedToFourBytes) {
    struct Case {
        int width;
        int bitCount;
        std::uint32_t lineWidth;
    };
    // 1 x 8 bits is one byte, padded to 4; 5 x 8 bits to 8; 3 x 24 bits (9 bytes) to 12;
    // 33 x 1 bit (5 bytes) to 8; 9 x 4 bits (5 bytes) to 8; 32 x 1 bit is exactly 4.
    for (const Case c : {Case{1, 8, 4}, Case{4, 8, 4}, Case{5, 8, 8}, Case{3, 24, 12},
                         Case{33, 1, 8}, Case{32, 1, 4}, Case{9, 4, 8}, Case{0, 8, 0}}) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.bitCount);
        DibSurface surface;
        ASSERT_NE(surface.Create(c.width, 7, c.bitCount), nullptr);
        EXPECT_EQ(surface.LineWidth(), c.lineWidth);
        EXPECT_EQ(surface.ImageSize(), c.lineWidth * 7);
    }
}

TEST(DibSurface, BlockIsHeaderThenColourTableThenPixels) {
    DibSurface surface;
    std::uint8_t* block = surface.Create(5, 3, 8);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(surface.Header()), block);
    EXPECT_EQ(OffsetInBlock(surface, surface.Bits()), 40 + 4 * 256);
    EXPECT_EQ(surface.BlockSize(), 40u + 4u * 256u + 8u * 3u);

    // The header is what GDI reads as a BITMAPINFOHEADER, byte for byte.
    std::uint32_t field32 = 0;
    std::int32_t signed32 = 0;
    std::uint16_t field16 = 0;
    std::memcpy(&field32, block + 0, 4);
    EXPECT_EQ(field32, 40u);
    std::memcpy(&signed32, block + 4, 4);
    EXPECT_EQ(signed32, 5);
    std::memcpy(&signed32, block + 8, 4);
    EXPECT_EQ(signed32, 3) << "a positive height: rows are stored bottom-up";
    std::memcpy(&field16, block + 12, 2);
    EXPECT_EQ(field16, 1);
    std::memcpy(&field16, block + 14, 2);
    EXPECT_EQ(field16, 8);
    std::memcpy(&field32, block + 16, 4);
    EXPECT_EQ(field32, 0u) << "BI_RGB";
    std::memcpy(&field32, block + 20, 4);
    EXPECT_EQ(field32, 24u);
    for (int offset = 24; offset < 40; offset += 4) {
        std::memcpy(&field32, block + offset, 4);
        EXPECT_EQ(field32, 0u) << "offset " << offset;
    }

    DibSurface trueColor;
    ASSERT_NE(trueColor.Create(2, 2, 24), nullptr);
    EXPECT_EQ(OffsetInBlock(trueColor, trueColor.Bits()), 40) << "no colour table at 24 bits";
    EXPECT_EQ(trueColor.BlockSize(), 40u + 8u * 2u);
}

TEST(DibSurface, PaletteEntriesAreStoredBlueGreenRedZero) {
    DibSurface surface;
    ASSERT_NE(surface.Create(2, 2, 8), nullptr);
    surface.SetPaletteEntry(3, 0x11, 0x22, 0x33);
    const auto* table = reinterpret_cast<const std::uint8_t*>(surface.Header()) + 40;
    EXPECT_EQ(table[12], 0x33);
    EXPECT_EQ(table[13], 0x22);
    EXPECT_EQ(table[14], 0x11);
    EXPECT_EQ(table[15], 0x00);
    EXPECT_EQ(surface.PaletteColor(3), Rgb(0x11, 0x22, 0x33));

    // Only the low 8 bits of the index count.
    surface.SetPaletteEntry(256 + 4, 1, 2, 3);
    EXPECT_EQ(surface.PaletteColor(4), Rgb(1, 2, 3));

    DibSurface sixteen;
    ASSERT_NE(sixteen.Create(2, 2, 4), nullptr);
    sixteen.SetPaletteEntry(15, 9, 9, 9);
    sixteen.SetPaletteEntry(16, 7, 7, 7); // past the 16-entry table: ignored
    EXPECT_EQ(sixteen.PaletteColor(15), Rgb(9, 9, 9));
    EXPECT_EQ(sixteen.BlockSize(), 40u + 4u * 16u + 4u * 2u) << "nothing written past the table";
}

TEST(DibSurface, BlendPaletteMovesEveryEntryTowardsTheColourAndStopsAtIt) {
    DibSurface surface;
    ASSERT_NE(surface.Create(1, 1, 1), nullptr);
    surface.SetPaletteEntry(0, 200, 100, 0);
    surface.SetPaletteEntry(1, 0, 0, 0);
    surface.BlendPalette(Rgb(100, 100, 100), 50);
    EXPECT_EQ(surface.PaletteColor(0), Rgb(150, 100, 50));
    EXPECT_EQ(surface.PaletteColor(1), Rgb(50, 50, 50));

    surface.BlendPalette(Rgb(1, 2, 3), 0);
    EXPECT_EQ(surface.PaletteColor(0), Rgb(150, 100, 50)) << "0 % changes nothing";

    surface.BlendPalette(Rgb(7, 8, 9), 250);
    EXPECT_EQ(surface.PaletteColor(0), Rgb(7, 8, 9)) << "above 100 % acts as 100 %";
    EXPECT_EQ(surface.PaletteColor(1), Rgb(7, 8, 9));
}

TEST(DibSurface, PixelsAreAddressedFromTheTopButStoredBottomUp) {
    DibSurface surface;
    ASSERT_NE(surface.Create(3, 4, 8), nullptr);
    surface.Clear(0);
    surface.SetPixelIndex(2, 0, 0xAB); // top row, last column
    surface.SetPixelIndex(0, 3, 0xCD); // bottom row, first column
    const std::uint8_t* bits = surface.Bits();
    const std::uint32_t line = surface.LineWidth();
    EXPECT_EQ(bits[0], 0xCD) << "the bottom row comes first in memory";
    EXPECT_EQ(bits[3 * line + 2], 0xAB) << "the top row comes last";
    EXPECT_EQ(surface.PixelIndex(2, 0), 0xAB);
    EXPECT_EQ(surface.PixelIndex(0, 3), 0xCD);

    // Coordinates outside the picture are dropped, not wrapped into a neighbouring row.
    for (const auto& [x, y] :
         {std::pair{3, 0}, std::pair{-1, 0}, std::pair{0, 4}, std::pair{0, -1}}) {
        surface.SetPixelIndex(x, y, 0xEE);
        EXPECT_EQ(surface.PixelIndex(x, y), -1);
    }
    for (std::uint32_t i = 0; i < surface.ImageSize(); ++i) {
        EXPECT_NE(bits[i], 0xEE) << "byte " << i;
    }

    DibSurface trueColor;
    ASSERT_NE(trueColor.Create(2, 2, 24), nullptr);
    trueColor.Clear(0);
    trueColor.SetPixelIndex(0, 0, 5);
    EXPECT_EQ(trueColor.Bits()[trueColor.LineWidth()], 0) << "no indices on 24-bit surfaces";
}

TEST(DibSurface, NarrowIndicesArePackedWithoutTouchingNeighbours) {
    DibSurface nibbles;
    ASSERT_NE(nibbles.Create(9, 2, 4), nullptr);
    nibbles.Clear(0);
    nibbles.SetPixelIndex(0, 1, 0xA);
    nibbles.SetPixelIndex(1, 1, 0x5);
    nibbles.SetPixelIndex(8, 1, 0xF);
    EXPECT_EQ(nibbles.Bits()[0], 0xA5) << "left pixel in the high nibble";
    EXPECT_EQ(nibbles.Bits()[4], 0xF0);
    EXPECT_EQ(nibbles.PixelIndex(8, 1), 0xF);
    EXPECT_EQ(nibbles.Bits()[nibbles.LineWidth()], 0) << "the other row is untouched";

    DibSurface mono;
    ASSERT_NE(mono.Create(10, 1, 1), nullptr);
    mono.Clear(0xFF);
    mono.SetPixelIndex(0, 0, 0);
    mono.SetPixelIndex(9, 0, 0);
    EXPECT_EQ(mono.Bits()[0], 0x7F) << "leftmost pixel in the high bit";
    EXPECT_EQ(mono.Bits()[1], 0xBF);
    EXPECT_EQ(mono.PixelIndex(8, 0), 1);
}

TEST(DibSurface, ClearSetsEveryPixelByteIncludingRowPadding) {
    DibSurface surface;
    ASSERT_NE(surface.Create(1, 5, 8), nullptr);
    surface.SetPaletteEntry(0, 1, 2, 3);
    surface.Clear(0x5A);
    for (std::uint32_t i = 0; i < surface.ImageSize(); ++i) {
        EXPECT_EQ(surface.Bits()[i], 0x5A) << "byte " << i;
    }
    EXPECT_EQ(surface.PaletteColor(0), Rgb(1, 2, 3)) << "the colour table is not pixels";
}

TEST(DibSurface, CloneIsAnIndependentCopyOfTheWholeBlock) {
    DibSurface source;
    ASSERT_NE(source.Create(3, 2, 8), nullptr);
    source.Clear(1);
    source.SetPaletteEntry(200, 4, 5, 6);
    source.SetPixelIndex(1, 1, 77);

    DibSurface copy;
    ASSERT_NE(copy.Create(50, 50, 24), nullptr);
    copy.Clone(source);
    ASSERT_TRUE(copy.IsValid());
    EXPECT_EQ(copy.Width(), 3);
    EXPECT_EQ(copy.Height(), 2);
    EXPECT_EQ(copy.BitCount(), 8);
    ASSERT_EQ(copy.BlockSize(), source.BlockSize());
    EXPECT_EQ(std::memcmp(copy.Header(), source.Header(), source.BlockSize()), 0);
    EXPECT_NE(copy.Bits(), source.Bits());

    copy.SetPixelIndex(1, 1, 5);
    copy.BlendPalette(0, 100);
    EXPECT_EQ(source.PixelIndex(1, 1), 77);
    EXPECT_EQ(source.PaletteColor(200), Rgb(4, 5, 6));

    copy.Clone(copy);
    EXPECT_EQ(copy.PixelIndex(1, 1), 5) << "cloning itself keeps the picture";

    copy.Clone(DibSurface());
    EXPECT_FALSE(copy.IsValid()) << "a copy of an empty surface is empty";
}

TEST(DibSurface, SizesTheHeaderCannotDescribeLeaveTheSurfaceEmpty) {
    DibSurface surface;
    ASSERT_NE(surface.Create(4, 4, 8), nullptr);
    // 70000 x 70000 x 3 bytes is beyond the header's 32-bit image size.
    EXPECT_EQ(surface.Create(70000, 70000, 24), nullptr);
    EXPECT_FALSE(surface.IsValid()) << "the earlier picture is released as well";
    EXPECT_EQ(surface.Create(-1, 4, 8), nullptr);
    EXPECT_EQ(surface.Create(4, -1, 8), nullptr);
    EXPECT_FALSE(surface.IsValid());
}

TEST(DibSurface, MovingHandsOverTheBlock) {
    DibSurface source;
    std::uint8_t* block = source.Create(2, 2, 8);
    ASSERT_NE(block, nullptr);
    DibSurface moved(std::move(source));
    EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(moved.Header()), block);
    EXPECT_EQ(moved.Width(), 2);
    EXPECT_FALSE(source.IsValid()); // NOLINT(bugprone-use-after-move): left empty
    EXPECT_EQ(source.Width(), 0);
}

} // namespace
} // namespace tamsivo
