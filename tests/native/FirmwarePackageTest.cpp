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

TEST(FirmwarePackage, SingleDigitTokenCountsOnlyWhenSomethingFollows) {
    FirmwarePackage package;
    // Before whitespace the digit is a byte of its own.
    ASSERT_EQ(package.Decode("0001A\n"), PackageError::None);
    EXPECT_EQ(package.ByteCount(), 3u);
    EXPECT_EQ(package.Bytes()[2], 0x0A);

    // Right at the end of the text it is stored but not counted.
    ASSERT_EQ(package.Decode("00007"), PackageError::None);
    EXPECT_EQ(package.ByteCount(), 2u);
    EXPECT_EQ(package.Bytes()[2], 0x07);

    // ...which leaves this frame one byte short.
    EXPECT_EQ(package.Decode("0001A"), PackageError::FrameOverrun);
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

TEST(FirmwarePackage, ReadsAFileWithCarriageReturnsUnchanged) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    const std::string text = "0002\r\nAABB\r\n0001\r\n13\r\n";
    ASSERT_EQ(std::fwrite(text.data(), 1, text.size(), file), text.size());
    std::rewind(file);
    FirmwarePackage package;
    EXPECT_EQ(package.ReadFrom(file), PackageError::None);
    EXPECT_EQ(Image(package, package.ByteCount()),
              (std::vector<std::uint8_t>{0x00, 0x02, 0xAA, 0xBB, 0x00, 0x01, 0x13}));
    std::fclose(file);
}

} // namespace
} // namespace tamsivo
