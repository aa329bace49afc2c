#include "controls/ButtonFaces.h"
#include "controls/TextureStyle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace tamsivo {
namespace {

// The classic system colours.
const ButtonFaces::SystemColors kClassic{Rgb(255, 255, 255), Rgb(192, 192, 192),
                                         Rgb(128, 128, 128)};

ButtonFaces::Texture DialogTexture(int tintPercent) {
    // What both dialogs ask for: a soft bump, no grain, 10 % hover highlight, near black tint.
    return ButtonFaces::Texture{TextureSoftBump, 0, 10, tintPercent, Rgb(10, 10, 10)};
}

RandomSource Zero() {
    return [] { return 0; };
}

ButtonFaces Built(int width, int height, std::int16_t margin, const ButtonFaces::Texture& texture) {
    ButtonFaces faces;
    faces.Build(width, height, margin, kClassic, texture, Zero());
    return faces;
}

bool SamePicture(const DibSurface& a, const DibSurface& b) {
    return a.IsValid() && b.IsValid() && a.BlockSize() == b.BlockSize() &&
           std::memcmp(a.Header(), b.Header(), a.BlockSize()) == 0;
}

bool SamePixels(const DibSurface& a, const DibSurface& b) {
    return a.ImageSize() == b.ImageSize() &&
           std::equal(a.Bits(), a.Bits() + a.ImageSize(), b.Bits());
}

Color Grey(int level) {
    return Rgb(level, level, level);
}

TEST(ButtonFaces, TintDarkensTheFaceAndHoverBrightensIt) {
    struct Case {
        int tint;
        int normal[3]; // entries 0, 128 and 255
        int hover[3];
    };
    for (const Case& c :
         {Case{95, {15, 19, 22}, {39, 42, 45}}, Case{90, {21, 28, 34}, {44, 50, 56}}}) {
        SCOPED_TRACE(c.tint);
        const ButtonFaces faces = Built(100, 30, 4, DialogTexture(c.tint));
        const int entries[3] = {0, 128, 255};
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(faces.Normal().PaletteColor(entries[i]), Grey(c.normal[i])) << entries[i];
            EXPECT_EQ(faces.Hover().PaletteColor(entries[i]), Grey(c.hover[i])) << entries[i];
        }
        // Disabled looks like normal, pressed like hover (drawn one pixel further).
        EXPECT_TRUE(SamePicture(faces.Disabled(), faces.Normal()));
        EXPECT_TRUE(SamePicture(faces.Pressed(), faces.Hover()));
        EXPECT_TRUE(SamePixels(faces.Hover(), faces.Normal())) << "only the palette differs";
        EXPECT_NE(faces.Normal().Bits(), faces.Disabled().Bits()) << "separate copies";
    }
}

TEST(ButtonFaces, FocusDotsKeepTheUntintedShadowAndHighlight) {
    const ButtonFaces faces = Built(100, 30, 4, DialogTexture(95));
    for (const DibSurface* strip : {&faces.FocusHorizontal(), &faces.FocusVertical()}) {
        EXPECT_EQ(strip->PaletteColor(0), Grey(128));
        EXPECT_EQ(strip->PaletteColor(128), Grey(192));
        EXPECT_EQ(strip->PaletteColor(255), Grey(255));
    }
}

TEST(ButtonFaces, SurfacesAreSizedByTheButtonAndItsFocusMargin) {
    const ButtonFaces faces = Built(100, 30, 4, DialogTexture(95));
    EXPECT_EQ(faces.Normal().Width(), 100);
    EXPECT_EQ(faces.Normal().Height(), 30);
    // The focus rectangle is inset by the margin: 100 - 8 - 1 across, 30 - 8 down.
    EXPECT_EQ(faces.FocusHorizontal().Width(), 91);
    EXPECT_EQ(faces.FocusHorizontal().Height(), 1);
    EXPECT_EQ(faces.FocusVertical().Width(), 1);
    EXPECT_EQ(faces.FocusVertical().Height(), 22);
    for (const DibSurface* surface :
         {&faces.Normal(), &faces.Hover(), &faces.Pressed(), &faces.Disabled(),
          &faces.FocusHorizontal(), &faces.FocusVertical()}) {
        EXPECT_EQ(surface->BitCount(), 8);
    }

    // The dots alternate dark and light from the strips' starts.
    for (int x = 0; x < 91; ++x) {
        ASSERT_EQ(faces.FocusHorizontal().PixelIndex(x, 0), x % 2 == 1 ? 255 : 0) << x;
    }
    const std::uint8_t* column = faces.FocusVertical().Bits();
    for (int r = 0; r < 22; ++r) {
        ASSERT_EQ(column[r * 4], r % 2 == 1 ? 255 : 0) << "memory row " << r;
    }

    // A margin past half the button leaves one-pixel strips rather than none.
    const ButtonFaces tight = Built(20, 10, 60, DialogTexture(95));
    EXPECT_EQ(tight.FocusHorizontal().Width(), 1);
    EXPECT_EQ(tight.FocusVertical().Height(), 1);
    EXPECT_TRUE(tight.FocusHorizontal().IsValid());
}

TEST(ButtonFaces, TheDialogsFaceIsAnAlmostBlackPillow) {
    const ButtonFaces faces = Built(100, 30, 4, DialogTexture(95));
    const DibSurface& face = faces.Normal();
    for (int i = 0; i < 256; ++i) {
        ASSERT_LE(RedOf(face.PaletteColor(i)), 22) << i;
    }
    EXPECT_EQ(face.PixelIndex(0, 0), 255) << "top left: the lightest entry";
    EXPECT_EQ(face.PixelIndex(99, 29), 0) << "bottom right: the darkest entry";
    EXPECT_NEAR(face.PixelIndex(50, 15), 128, 2);
}

TEST(ButtonFaces, PercentagesAndGrainUseTheirLowEightBits) {
    const ButtonFaces plain = Built(40, 20, 4, DialogTexture(95));
    ButtonFaces::Texture wrapped = DialogTexture(256 + 95);
    wrapped.grain = 256;
    wrapped.hoverHighlight = 512 + 10;
    const ButtonFaces faces = Built(40, 20, 4, wrapped);
    EXPECT_TRUE(SamePicture(faces.Normal(), plain.Normal()));
    EXPECT_TRUE(SamePicture(faces.Hover(), plain.Hover()));
}

TEST(ButtonFaces, AButtonOfNoSizeGetsFacesWithoutPixels) {
    // A button window of no size: the faces exist but have nothing to draw, and every derived
    // face follows the normal one.
    const ButtonFaces faces = Built(0, 0, 4, DialogTexture(95));
    EXPECT_EQ(faces.Normal().ImageSize(), 0u);
    EXPECT_EQ(faces.Hover().ImageSize(), 0u);
    EXPECT_EQ(faces.FocusHorizontal().Width(), 1);
}

} // namespace
} // namespace tamsivo
