#include "skingen/Canvas.h"
#include "skingen/ResourceFiles.h"
#include "skingen/SkinLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

namespace tamsivo::skingen {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint32_t U16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b.at(at) | b.at(at + 1) << 8);
}

std::uint32_t U32(const Bytes& b, std::size_t at) {
    return U16(b, at) | U16(b, at + 2) << 16;
}

std::int32_t I32(const Bytes& b, std::size_t at) {
    return static_cast<std::int32_t>(U32(b, at));
}

// Drawn once per test process.
const std::vector<ResourceFiles::File>& AllGenerated() {
    static const std::vector<ResourceFiles::File> files = ResourceFiles::generate();
    return files;
}

Bytes Generated(const std::string& name) {
    for (const ResourceFiles::File& file : AllGenerated()) {
        if (file.name == name) {
            return file.bytes;
        }
    }
    ADD_FAILURE() << "the generator makes no " << name;
    return {};
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << "cannot open " << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ResourceScript() {
    return ReadFile(std::string(TAMSIVO_RESOURCE_DIR) + "/Tamsivo.rc");
}

struct Pixel {
    int r = 0;
    int g = 0;
    int b = 0;

    bool isGrey() const { return r == g && g == b; }
    int brightest() const { return std::max({r, g, b}); }
    double luma() const { return 0.299 * r + 0.587 * g + 0.114 * b; }
};

// Reads the skin straight from the file's bytes, not through the canvas it was encoded from.
class SkinPicture {
public:
    explicit SkinPicture(Bytes bytes) : bytes_(std::move(bytes)) {}

    int width() const { return I32(bytes_, 18); }
    int height() const { return I32(bytes_, 22); }
    Pixel at(int x, int y) const {
        const std::size_t row = static_cast<std::size_t>(height() - 1 - y);
        const std::size_t at = U32(bytes_, 10) + row * RowBytes() + static_cast<std::size_t>(x) * 3;
        return {bytes_.at(at + 2), bytes_.at(at + 1), bytes_.at(at)};
    }
    const Bytes& bytes() const { return bytes_; }

private:
    std::size_t RowBytes() const { return (static_cast<std::size_t>(width()) * 3 + 3) & ~3u; }

    Bytes bytes_;
};

const SkinPicture& Skin() {
    static const SkinPicture skin(Generated(ResourceFiles::kSkin));
    return skin;
}

constexpr Pixel kGlass{8, 181, 247};

void ExpectGlass(int x, int y) {
    const Pixel p = Skin().at(x, y);
    EXPECT_TRUE(p.r == kGlass.r && p.g == kGlass.g && p.b == kGlass.b)
        << "(" << x << ", " << y << ") is " << p.r << "," << p.g << "," << p.b;
}

void ExpectHousing(int x, int y) {
    const Pixel p = Skin().at(x, y);
    EXPECT_TRUE(p.isGrey() && p.r >= 44 && p.r <= 84)
        << "(" << x << ", " << y << ") is " << p.r << "," << p.g << "," << p.b;
}

TEST(SkinBitmap, IsAnUncompressed500By318BitmapAt24Bits) {
    const Bytes& b = Skin().bytes();
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(U32(b, 2), b.size());
    EXPECT_EQ(U32(b, 10), 54u);
    EXPECT_EQ(U32(b, 14), 40u);
    EXPECT_EQ(I32(b, 18), 500);
    EXPECT_EQ(I32(b, 22), 318); // positive: stored bottom-up, as LoadBitmap expects
    EXPECT_EQ(U16(b, 26), 1u);
    EXPECT_EQ(U16(b, 28), 24u);
    EXPECT_EQ(U32(b, 30), 0u);
    EXPECT_EQ(b.size(), 54u + 500u * 3u * 318u);
}

TEST(SkinBitmap, DisplayGlassIsPlainLightBlueWhereTheControlsLie) {
    ExpectGlass(251, 138);
    ExpectGlass(61, 87);
    ExpectGlass(441, 87);
    ExpectGlass(61, 191);
    ExpectGlass(441, 191);
    // The labels paint their own light blue over this part; anything drawn there would show
    // as a seam round them.
    int other = 0;
    for (int y = 86; y < 192; ++y) {
        for (int x = 140; x < 442; ++x) {
            const Pixel p = Skin().at(x, y);
            other += p.r != kGlass.r || p.g != kGlass.g || p.b != kGlass.b;
        }
    }
    EXPECT_EQ(other, 0);
}

TEST(SkinBitmap, EmblemSitsAtTheGlassLeftEnd) {
    int dark = 0;
    for (int y = 86; y < 192; ++y) {
        for (int x = 60; x < 137; ++x) {
            dark += Skin().at(x, y).luma() < 100;
        }
    }
    EXPECT_GT(dark, 800) << "no emblem left of the controls";
}

TEST(SkinBitmap, HousingIsDarkGreyWithRoundedCornersAndABlackBezel) {
    ExpectHousing(250, 62);
    ExpectHousing(12, 150);
    ExpectHousing(488, 150);
    ExpectHousing(250, 300);
    ExpectHousing(120, 10);

    // The outermost corner pixels lie outside the rounded housing.
    const double housing = Skin().at(250, 300).luma();
    for (const auto& [x, y] :
         std::array<std::pair<int, int>, 4>{{{0, 0}, {499, 0}, {0, 317}, {499, 317}}}) {
        EXPECT_LT(Skin().at(x, y).luma(), housing - 25) << "(" << x << ", " << y << ")";
    }

    // Between the housing and the glass on all four sides.
    for (const auto& [x, y] :
         std::array<std::pair<int, int>, 4>{{{52, 138}, {450, 138}, {251, 77}, {251, 200}}}) {
        EXPECT_LE(Skin().at(x, y).brightest(), 16) << "bezel at (" << x << ", " << y << ")";
    }
}

TEST(SkinBitmap, KeyFieldsLieUnderTheMainDialogButtons) {
    // The buttons as the resource script places them; the dialog stretches the skin over its
    // whole client area, so a control's share of the dialog is its share of the skin.
    const std::string script = ResourceScript();
    std::smatch size;
    ASSERT_TRUE(std::regex_search(script, size,
                                  std::regex(R"(IDD_MAIN_DIALOG DIALOGEX 0, 0, (\d+), (\d+))")));
    const double dialogWidth = std::stod(size[1]);
    const double dialogHeight = std::stod(size[2]);
    const double housing = Skin().at(250, 300).luma();

    for (const char* id :
         {"IDC_START_BUTTON", "IDC_STOP_BUTTON", "IDC_HELP_BUTTON", "IDC_EXIT_BUTTON"}) {
        std::smatch rect;
        ASSERT_TRUE(std::regex_search(
            script, rect, std::regex(std::string(id) + R"(, (\d+), (\d+), (\d+), (\d+))")))
            << id;
        const double left = std::stod(rect[1]) / dialogWidth * 500;
        const double top = std::stod(rect[2]) / dialogHeight * 318;
        const double right = (std::stod(rect[1]) + std::stod(rect[3])) / dialogWidth * 500;
        const double bottom = (std::stod(rect[2]) + std::stod(rect[4])) / dialogHeight * 318;
        for (const auto& [x, y] :
             std::array<std::pair<double, double>, 5>{{{(left + right) / 2, (top + bottom) / 2},
                                                       {left + 3, top + 3},
                                                       {right - 3, top + 3},
                                                       {left + 3, bottom - 3},
                                                       {right - 3, bottom - 3}}}) {
            EXPECT_LT(Skin().at(static_cast<int>(x), static_cast<int>(y)).luma(), housing - 30)
                << id << " at (" << x << ", " << y << ")";
        }
    }
}

// The icon directory and its images, read from the file's bytes.
TEST(ApplicationIcon, HoldsA32And16PixelImageAt4Bits) {
    const Bytes b = Generated(ResourceFiles::kIcon);
    ASSERT_GE(b.size(), 38u);
    EXPECT_EQ(U16(b, 0), 0u);
    EXPECT_EQ(U16(b, 2), 1u);
    ASSERT_EQ(U16(b, 4), 2u);

    const std::array<std::uint32_t, 2> sizes{32, 16};
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const std::size_t entry = 6 + 16 * i;
        const std::uint32_t n = sizes[i];
        EXPECT_EQ(b[entry], n);
        EXPECT_EQ(b[entry + 1], n);
        EXPECT_EQ(b[entry + 2], 16u);
        EXPECT_EQ(U16(b, entry + 4), 1u);
        EXPECT_EQ(U16(b, entry + 6), 4u);
        const std::uint32_t bytes = U32(b, entry + 8);
        const std::uint32_t at = U32(b, entry + 12);
        const std::uint32_t maskRow = (n + 31) / 32 * 4;
        EXPECT_EQ(bytes, 40 + 16 * 4 + n * n / 2 + maskRow * n);
        ASSERT_LE(at + bytes, b.size());

        EXPECT_EQ(U32(b, at), 40u);
        EXPECT_EQ(I32(b, at + 4), static_cast<std::int32_t>(n));
        EXPECT_EQ(I32(b, at + 8), static_cast<std::int32_t>(2 * n));
        EXPECT_EQ(U16(b, at + 14), 4u);

        // Rows are stored bottom-up. A pixel the mask lets through must have colour index 0,
        // or the screen under it gets inverted.
        const std::uint32_t colours = at + 40 + 16 * 4;
        const std::uint32_t mask = colours + n * n / 2;
        int clear = 0;
        for (std::uint32_t row = 0; row < n; ++row) {
            for (std::uint32_t x = 0; x < n; ++x) {
                const bool through = b[mask + row * maskRow + x / 8] & (0x80 >> (x % 8));
                const std::uint8_t pair = b[colours + row * (n / 2) + x / 2];
                const int index = x % 2 == 0 ? pair >> 4 : pair & 0x0F;
                if (through) {
                    ++clear;
                    EXPECT_EQ(index, 0) << n << " px icon, stored row " << row << ", x " << x;
                }
            }
        }
        EXPECT_GT(clear, 0) << "the tile's rounded corners are transparent";
        EXPECT_LT(clear, static_cast<int>(n * n / 8)) << "the tile fills the icon";
    }
}

TEST(LinkCursor, IsA32PixelMonochromeHandWithItsHotSpotAtTheFingertip) {
    const Bytes b = Generated(ResourceFiles::kCursor);
    ASSERT_GE(b.size(), 22u + 40u + 8u + 256u);
    EXPECT_EQ(U16(b, 0), 0u);
    EXPECT_EQ(U16(b, 2), 2u);
    ASSERT_EQ(U16(b, 4), 1u);
    EXPECT_EQ(b[6], 32u);
    EXPECT_EQ(b[7], 32u);
    EXPECT_EQ(U16(b, 10), 6u);
    EXPECT_EQ(U16(b, 12), 0u);
    const std::uint32_t at = U32(b, 18);
    EXPECT_EQ(U32(b, 14), b.size() - at);
    EXPECT_EQ(U32(b, at), 40u);
    EXPECT_EQ(I32(b, at + 4), 32);
    EXPECT_EQ(I32(b, at + 8), 64);
    EXPECT_EQ(U16(b, at + 14), 1u);

    const std::uint32_t colour = at + 40 + 8;
    const std::uint32_t mask = colour + 32 * 4;
    auto bit = [&](std::uint32_t plane, int x, int y) {
        return (b[plane + static_cast<std::uint32_t>(31 - y) * 4 + x / 8] & (0x80 >> (x % 8))) != 0;
    };
    // The hot spot is on the drawn outline, so a click lands where the finger points.
    EXPECT_FALSE(bit(mask, 6, 0));
    EXPECT_FALSE(bit(colour, 6, 0));
    int white = 0;
    int black = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (!bit(mask, x, y)) {
                (bit(colour, x, y) ? white : black) += 1;
            } else {
                EXPECT_FALSE(bit(colour, x, y)) << "inverting pixel at (" << x << ", " << y << ")";
            }
        }
    }
    EXPECT_GT(white, 100);
    EXPECT_GT(black, 50);
    EXPECT_TRUE(bit(mask, 31, 31)) << "the hand does not fill the square";
}

TEST(SkinCanvas, BlendsEdgePixelsByTheShareTheyAreCovered) {
    Canvas canvas(3, 1, Rgb{0, 0, 0});
    canvas.fill(Shape::rect({0, 0, 1.5, 1}), Rgb{200, 100, 0});
    EXPECT_EQ(canvas.at(0, 0), (Rgb{200, 100, 0}));
    EXPECT_EQ(canvas.at(1, 0), (Rgb{100, 50, 0}));
    EXPECT_EQ(canvas.at(2, 0), (Rgb{0, 0, 0}));

    Canvas square(20, 20, Rgb{0, 0, 0});
    square.fill(Shape::roundedRect({0, 0, 20, 20}, 8), Rgb{255, 255, 255});
    EXPECT_EQ(square.at(0, 0), (Rgb{0, 0, 0}));
    EXPECT_EQ(square.at(10, 0), (Rgb{255, 255, 255}));
    EXPECT_EQ(square.at(0, 10), (Rgb{255, 255, 255}));
}

TEST(ResourceFiles, CommittedPicturesAreWhatTheGeneratorDraws) {
    for (const ResourceFiles::File& file : AllGenerated()) {
        const std::string committed = ReadFile(std::string(TAMSIVO_RESOURCE_DIR) + "/" + file.name);
        EXPECT_TRUE(
            std::equal(committed.begin(), committed.end(), file.bytes.begin(), file.bytes.end(),
                       [](char c, std::uint8_t u) { return static_cast<std::uint8_t>(c) == u; }))
            << file.name << " is stale: build the regenerate-resources target";
        EXPECT_NE(ResourceScript().find(std::string("\"") + file.name + "\""), std::string::npos)
            << "the resource script does not include " << file.name;
    }
}

TEST(ResourceScript, IsStoredInWindows1251) {
    const std::string script = ResourceScript();
    // This test file's literals are compiled to Windows-1251 as well.
    EXPECT_NE(script.find("\xD1\xD2\xC0\xD0\xD2 115200"), std::string::npos);
    EXPECT_NE(script.find("СТАРТ 115200"), std::string::npos);
    EXPECT_NE(script.find("Техническая поддержка:  тел."), std::string::npos);
    // No Cyrillic letter in UTF-8 (lead byte D0 or D1, then a continuation byte).
    int utf8 = 0;
    for (std::size_t i = 0; i + 1 < script.size(); ++i) {
        const auto lead = static_cast<std::uint8_t>(script[i]);
        const auto next = static_cast<std::uint8_t>(script[i + 1]);
        utf8 += (lead == 0xD0 || lead == 0xD1) && next >= 0x80 && next <= 0xBF;
    }
    EXPECT_EQ(utf8, 0);
}

} // namespace
} // namespace tamsivo::skingen
