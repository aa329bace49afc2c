// The package reader: text to frames, every way a text can be refused, and reading a file in
// pieces that never holds more of it than the image can take.
#include "flash/FirmwarePackage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

namespace tamsivo {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Image(const FirmwarePackage& package) {
    return {package.Bytes(), package.Bytes() + package.ByteCount()};
}

std::string HexFrame(std::uint32_t payload, char fill) {
    char header[8];
    std::snprintf(header, sizeof header, "%04X", payload);
    return header + std::string(payload * 2, fill);
}

TEST(Package, TextBecomesTheFramesOrIsRefusedWithWhereAndWhy) {
    struct Case {
        std::string text;
        PackageError error;
        Bytes bytes;              // when accepted
        std::uint32_t frames = 0; // when accepted
        std::size_t offset = 0;   // when refused for a character, a frame or a cut
    };
    const std::vector<Case> cases = {
        // Pairs with any whitespace or none; a digit before whitespace is a byte of its own.
        {"0 02 aA\tbb\r\n", PackageError::None, {0x00, 0x02, 0xAA, 0xBB}, 1},
        {"\v00\f02AABB  ", PackageError::None, {0x00, 0x02, 0xAA, 0xBB}, 1},
        {"0002A 1B\n", PackageError::None, {0x00, 0x02, 0x0A, 0x1B}, 1},
        {"0001AA 0000 0003 010203",
         PackageError::None,
         {0x00, 0x01, 0xAA, 0x00, 0x00, 0x00, 0x03, 0x01, 0x02, 0x03},
         3},
        {"", PackageError::Empty, {}},
        {" \r\n\t", PackageError::Empty, {}},
        {"0001AA\n00 0G", PackageError::InvalidCharacter, {}, 0, 11},
        {"0x0001AA", PackageError::InvalidCharacter, {}, 0, 1},
        {"0001A:", PackageError::InvalidCharacter, {}, 0, 5},
        {"0001\xC0", PackageError::InvalidCharacter, {}, 0, 4},
        {std::string("00") + '\0' + "01", PackageError::InvalidCharacter, {}, 0, 2},
        {"0003AABB", PackageError::FrameOverrun, {}, 0, 0},
        {"0001AA 00", PackageError::FrameOverrun, {}, 0, 3},
        {"0001AABB", PackageError::FrameOverrun, {}, 0, 3},
        // A text cut in the middle of a byte, wherever: what is left is no shorter package.
        {"00007", PackageError::TruncatedByte, {}, 0, 4},
        {"0000 7", PackageError::TruncatedByte, {}, 0, 5},
        {"0001A", PackageError::TruncatedByte, {}, 0, 4},
        {"0001AA0", PackageError::TruncatedByte, {}, 0, 6},
        {"0001A\r\n", PackageError::TruncatedByte, {}, 0, 4}, // an editor added the line end
        {"FFFE", PackageError::FrameOverrun, {}, 0, 0},
    };
    FirmwarePackage package;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        ASSERT_EQ(package.Decode(c.text), c.error);
        EXPECT_EQ(Image(package), c.bytes) << "nothing of a refused package may remain";
        EXPECT_EQ(package.FrameCount(), c.frames);
        if (c.error != PackageError::None && c.error != PackageError::Empty) {
            EXPECT_EQ(package.ErrorOffset(), c.offset);
        }
    }
}

TEST(Package, HoldsExactlyTwoMebibytes) {
    // 32 frames of 65534 payload bytes fill the image to the last byte.
    std::string text;
    for (int i = 0; i < 32; ++i) {
        text += HexFrame(65534, '5') + '\n';
    }
    FirmwarePackage package;
    ASSERT_EQ(package.Decode(text), PackageError::None);
    EXPECT_EQ(package.ByteCount(), FirmwarePackage::kCapacity);
    EXPECT_EQ(package.FrameCount(), 32u);
    EXPECT_EQ(package.Decode(text + "7"), PackageError::TooLarge);
}

// What a file says must not depend on where a piece of it ends, and no file, however large,
// is read further than the image can hold.
TEST(Package, ReadsAFileInPiecesAndStopsAsSoonAsItIsRefused) {
    struct Case {
        std::string text;
        PackageError error;
        long maxRead; // how far into the file reading may go; 0: anywhere
    };
    // Pairs and lone digits across every boundary of the first 64 KiB pieces.
    std::string pieces;
    while (pieces.size() < 3 * 65536) {
        pieces += HexFrame(6, 'C') + " 0001 7\r\n0002\tAB CD ";
    }
    pieces += "0000\r\n";
    const std::vector<Case> cases = {
        {"0002\r\nAABB\r\n0001\r\n13\r\n", PackageError::None, 0},
        {pieces, PackageError::None, 0},
        {std::string(2 * FirmwarePackage::kCapacity + 2 * 65536, '5'), PackageError::TooLarge,
         2 * FirmwarePackage::kCapacity + 65536},
        {std::string(3 * 65536, '\0'), PackageError::InvalidCharacter, 65536},
        {pieces.substr(0, pieces.find("0006", 2 * 65536) + 1), PackageError::TruncatedByte, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text.substr(0, 24)));
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
        EXPECT_EQ(Image(fromFile), Image(fromText));
        EXPECT_EQ(fromFile.ErrorOffset(), fromText.ErrorOffset());
    }
    // A package that could not be read keeps nothing of the one read before: not opened, or a
    // plain file whose reading fails (a dying disk's EIO; this process's unmapped address 0
    // stands in for it).
    FirmwarePackage reused;
    for (const auto& [path, status] : {std::pair{"/no/such/bk.enc", PackageRead::Status::NotOpened},
                                       {"/proc/self/mem", PackageRead::Status::Unreadable}}) {
        ASSERT_EQ(reused.Decode("0001AA"), PackageError::None);
        EXPECT_EQ(reused.ReadFile(path).status, status);
        EXPECT_EQ(std::tuple(reused.ByteCount(), reused.TextBytes(), reused.TextSha256()),
                  std::tuple(0u, std::uint64_t{0}, std::string()));
    }
}

} // namespace
} // namespace tamsivo
