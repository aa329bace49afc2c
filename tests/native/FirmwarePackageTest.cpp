#include "flash/FirmwarePackage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace tamsivo {
namespace {

std::vector<std::uint8_t> Image(const FirmwarePackage& package, std::size_t count) {
    return {package.Bytes(), package.Bytes() + count};
}

std::string HexFrame(std::uint32_t payload, char fill) {
    char header[8];
    std::snprintf(header, sizeof header, "%04X", payload);
    std::string text = header;
    text.append(payload * 2, fill);
    return text;
}

TEST(FirmwarePackage, TokensAreCutIntoPairsWhateverTheSpacing) {
    FirmwarePackage package;
    for (const char* text : {"0002aaBB", "0002aa\r\nBB\r\n", "0 02 aA\tbb", "\v00\f02AABB  "}) {
        SCOPED_TRACE(text);
        ASSERT_EQ(package.Decode(text), PackageError::None);
        EXPECT_EQ(package.ByteCount(), 4u);
        EXPECT_EQ(package.FrameCount(), 1u);
        EXPECT_EQ(Image(package, 4), (std::vector<std::uint8_t>{0x00, 0x02, 0xAA, 0xBB}));
        EXPECT_EQ(package.FrameLength(0), 2u);
    }
}

TEST(FirmwarePackage, SingleDigitTokenIsAByteOnlyWhenSomethingFollows) {
    FirmwarePackage package;
    // Before whitespace the digit is a byte of its own.
    ASSERT_EQ(package.Decode("0002A 1B\n"), PackageError::None);
    EXPECT_EQ(package.ByteCount(), 4u);
    EXPECT_EQ(package.Bytes()[2], 0x0A);

    // Right at the end of the text it is half a byte: the file was cut off, and what is left
    // must not pass for a shorter package.
    for (const char* cut : {"00007", "0000 7", "0001A", "0001AA0", "0001A\r\n"}) {
        SCOPED_TRACE(cut);
        EXPECT_EQ(package.Decode(cut), PackageError::TruncatedByte);
        EXPECT_EQ(package.ErrorOffset(), std::string(cut).find_last_not_of("\r\n"));
        EXPECT_EQ(package.ByteCount(), 0u);
    }
}

TEST(FirmwarePackage, FramesFollowEachOtherWithoutGaps) {
    FirmwarePackage package;
    ASSERT_EQ(package.Decode("0001AA 0000 0003 010203"), PackageError::None);
    EXPECT_EQ(package.ByteCount(), 10u);
    EXPECT_EQ(package.FrameCount(), 3u);
    EXPECT_EQ(package.FrameLength(3), 0u);
    EXPECT_EQ(package.FrameLength(5), 3u);
}

TEST(FirmwarePackage, MalformedTextIsRefusedWithWhereAndWhy) {
    FirmwarePackage package;
    EXPECT_EQ(package.Decode(""), PackageError::Empty);
    EXPECT_EQ(package.Decode(" \r\n\t"), PackageError::Empty);

    EXPECT_EQ(package.Decode("0001AA\n00 0G"), PackageError::InvalidCharacter);
    EXPECT_EQ(package.ErrorOffset(), 11u);
    EXPECT_EQ(package.Decode("0x0001AA"), PackageError::InvalidCharacter);
    EXPECT_EQ(package.ErrorOffset(), 1u);
    EXPECT_EQ(package.Decode("0001AA;"), PackageError::InvalidCharacter);
    EXPECT_EQ(package.Decode("0001\xC0"), PackageError::InvalidCharacter);

    EXPECT_EQ(package.Decode("0003AABB"), PackageError::FrameOverrun);
    EXPECT_EQ(package.ErrorOffset(), 0u);
    EXPECT_EQ(package.Decode("0001AA 00"), PackageError::FrameOverrun);
    EXPECT_EQ(package.ErrorOffset(), 3u);
    EXPECT_EQ(package.Decode("0001AABB"), PackageError::FrameOverrun);

    // Nothing of a refused package may be taken for a package.
    EXPECT_EQ(package.ByteCount(), 0u);
    EXPECT_EQ(package.FrameCount(), 0u);
}

TEST(FirmwarePackage, HoldsExactlyTwoMebibytes) {
    // 32 frames of 65534 payload bytes fill the image to the last byte.
    std::string text;
    for (int i = 0; i < 32; ++i) {
        text += HexFrame(65534, '5');
        text += '\n';
    }
    FirmwarePackage package;
    ASSERT_EQ(package.Decode(text), PackageError::None);
    EXPECT_EQ(package.ByteCount(), FirmwarePackage::kCapacity);
    EXPECT_EQ(package.FrameCount(), 32u);

    EXPECT_EQ(package.Decode(text + "0000"), PackageError::TooLarge);
    EXPECT_EQ(package.Decode(text + "7"), PackageError::TooLarge);
}

// A file is read piece by piece: what the text says must not depend on where a piece ends,
// and no file, however large, may be read further than the image can hold.
TEST(FirmwarePackage, ReadsAFileInPiecesAndStopsAsSoonAsItIsRefused) {
    struct Case {
        std::string text;
        PackageError error;
        long maxRead; // how far into the file reading may go
    };
    // Pairs and lone digits across every boundary of the first 64 KiB pieces.
    std::string pieces;
    while (pieces.size() < 3 * 65536) {
        pieces += HexFrame(6, 'C') + " 0001 7\r\n0002\tAB CD ";
    }
    pieces += "0000\r\n";
    std::string huge = std::string(FirmwarePackage::kCapacity * 3, '5');
    std::string sparse(1 << 22, '\0');
    const std::vector<Case> cases = {
        {"0002\r\nAABB\r\n0001\r\n13\r\n", PackageError::None, 0},
        {pieces, PackageError::None, 0},
        {huge, PackageError::TooLarge, 2 * FirmwarePackage::kCapacity + 65536},
        {sparse, PackageError::InvalidCharacter, 65536},
        {pieces.substr(0, pieces.find("0006", 2 * 65536) + 1), PackageError::TruncatedByte, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 24));
        std::FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        ASSERT_EQ(std::fwrite(c.text.data(), 1, c.text.size(), file), c.text.size());
        std::rewind(file);
        FirmwarePackage fromFile;
        EXPECT_EQ(fromFile.ReadFrom(file), c.error);
        if (c.maxRead > 0) {
            EXPECT_LE(std::ftell(file), c.maxRead);
        }
        std::fclose(file);
        FirmwarePackage fromText;
        EXPECT_EQ(fromText.Decode(c.text), c.error);
        ASSERT_EQ(fromFile.ByteCount(), fromText.ByteCount());
        EXPECT_EQ(Image(fromFile, fromFile.ByteCount()), Image(fromText, fromText.ByteCount()));
        EXPECT_EQ(fromFile.ErrorOffset(), fromText.ErrorOffset());
    }
}

} // namespace
} // namespace tamsivo
