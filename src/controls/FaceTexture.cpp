#include "controls/FaceTexture.h"

#include "controls/TextureStyle.h"

#include <algorithm>
#include <cstddef>

namespace tamsivo {

namespace {

constexpr int kMaxFaceSide = 32767;
constexpr int kBrushedStrokes = 200;
constexpr int kBrushedShadeRange = 40;

std::uint8_t Byte(long long value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

// t^3 / 16384, as two steps that both truncate toward zero.
int Cube(int t) {
    return t * t * t / 128 / 128;
}

std::uint8_t RampChannel(int from, int to, int i) {
    return Byte(((128 - i) * from + i * to) / 128);
}

void SetRampEntry(DibSurface& surface, int index, Color from, Color to, int i) {
    surface.SetPaletteEntry(index, RampChannel(RedOf(from), RedOf(to), i),
                            RampChannel(GreenOf(from), GreenOf(to), i),
                            RampChannel(BlueOf(from), BlueOf(to), i));
}

// Pixel access by column x and memory row r of an 8-bit face, plus the visiting orders of the
// formulas: the noise is drawn per pixel, so the order decides which pixel gets which value.
class FacePixels {
public:
    explicit FacePixels(DibSurface& face)
        : bits_(face.Bits()), lineWidth_(face.LineWidth()), width_(face.Width()),
          height_(face.Height()) {}

    int Width() const { return width_; }
    int Height() const { return height_; }
    std::uint8_t& At(int x, int r) { return bits_[static_cast<std::size_t>(r) * lineWidth_ + x]; }

    template <typename Visit> void RowByRow(Visit visit) {
        for (int r = 0; r < height_; ++r) {
            for (int x = 0; x < width_; ++x) {
                visit(x, r);
            }
        }
    }

    template <typename Visit> void ColumnByColumn(Visit visit) {
        for (int x = 0; x < width_; ++x) {
            for (int r = 0; r < height_; ++r) {
                visit(x, r);
            }
        }
    }

private:
    std::uint8_t* bits_;
    std::size_t lineWidth_;
    int width_;
    int height_;
};

void PaintHardBump(FacePixels& pixels, int g, const std::function<int()>& noise) {
    const int w = pixels.Width();
    const int h = pixels.Height();
    pixels.RowByRow([&](int x, int r) {
        const int t = r * 255 / h - 127;
        pixels.At(x, r) = Byte((128 - 2 * g) * Cube(t) / 128 + 128 + noise());
    });

    // Rounded side bevels, e pixels wide at the middle row and narrowing to nothing at the top
    // and bottom edges along an ellipse.
    const long long e = std::min(w / 6, 16);
    const long long q = static_cast<long long>(h) * h / 4;
    pixels.RowByRow([&](int x, int r) {
        const long long dy = r - h / 2;
        const long long dx = x - w / 2;
        const long long bound = (w / 2 - e) + dy * dy * e / q;
        std::uint8_t& pixel = pixels.At(x, r);
        if (dx > bound) {
            pixel = Byte(g + ((w - x) * 128 / e) % 256);
        }
        if (dx + bound < 0) {
            pixel = Byte((255 - g) - ((x * 128 / e) % 256));
        }
        pixel = Byte(pixel + noise());
    });
}

void PaintBrushedMetal(DibSurface& face, FacePixels& pixels, int g, int divisor,
                       const RandomSource& random) {
    const int w = pixels.Width();
    const int h = pixels.Height();
    face.Clear(0);
    for (int stroke = 0; stroke < kBrushedStrokes; ++stroke) {
        // Four draws per stroke, in this order.
        const int sx = random() / (kFaceRandomMax / w);
        const int sy = random() / (kFaceRandomMax / h);
        const int length = random() / (kFaceRandomMax / std::min(w, h)) / 2;
        const int shade = random() / (kFaceRandomMax / kBrushedShadeRange);
        // A stroke down to the left from (sx, sy) and its mirror up to the right; y counts from
        // the top here, and pixels outside the face are dropped.
        for (int i = 0; i < length; ++i) {
            if (sx - i > 0 && sy + i < h) {
                face.SetPixelIndex(sx - i, sy + i, shade);
            }
            if (sx + i < w && sy - i > 0) {
                face.SetPixelIndex(w - sx + i, sy - i, shade);
            }
        }
    }
    const int k = (255 - 2 * g - kBrushedShadeRange) / 2;
    pixels.RowByRow([&](int x, int r) {
        std::uint8_t& pixel = pixels.At(x, r);
        pixel = Byte(pixel + k * r / h + k * (w - x) / w);
        pixel = Byte(pixel + random() / divisor); // this noise only brightens
    });
}

} // namespace

void FaceTexture::FillRamp(DibSurface& surface, Color shadow, Color face, Color highlight) {
    for (int i = 0; i <= 128; ++i) {
        SetRampEntry(surface, i, shadow, face, i);
    }
    // Entry 128 is written again here; this second value, a shade above the face colour, stands.
    for (int i = 1; i <= 128; ++i) {
        SetRampEntry(surface, i + 127, face, highlight, i);
    }
}

void FaceTexture::FillDots(DibSurface& surface) {
    if (!surface.IsValid() || surface.BitCount() != 8) {
        return;
    }
    FacePixels pixels(surface);
    pixels.RowByRow([&](int x, int r) { pixels.At(x, r) = ((x + r) % 2 != 0) ? 255 : 0; });
}

bool FaceTexture::InDomain(std::int32_t style, int width, int height) {
    // Every formula divides by the width or the height, and the random draws of the brushed
    // metal by 32767 / side; the hard bump also divides by width / 6 and height^2 / 4.
    if (width < 1 || height < 1 || width > kMaxFaceSide || height > kMaxFaceSide) {
        return false;
    }
    if (style == TextureHardBump) {
        return width >= 6 && height >= 2;
    }
    return true;
}

void FaceTexture::Paint(DibSurface& face, std::int32_t style, int grain,
                        const RandomSource& random) {
    if (!face.IsValid() || face.BitCount() != 8) {
        return;
    }
    FacePixels pixels(face);
    const int w = face.Width();
    const int h = face.Height();
    const int g = grain & 0xFF;
    const int divisor = kFaceRandomMax / std::max(1, 2 * g);
    const std::function<int()> noise = [&] { return random() / divisor - g; };

    // A deliberate choice: a face too small or too large for the style's formulas gets plain
    // noise rather than a division by zero or an overflow.
    if (!InDomain(style, w, h)) {
        style = TextureNoise;
    }

    switch (style) {
    case TextureDiagonal: {
        const int k = (255 - 2 * g) / 2;
        pixels.RowByRow([&](int x, int r) {
            pixels.At(x, r) = Byte(g + k * r / h + k * (w - x) / w + noise());
        });
        break;
    }
    case TextureVerticalRamp: {
        const int k = 255 - 2 * g;
        pixels.RowByRow([&](int x, int r) { pixels.At(x, r) = Byte(g + k * r / h + noise()); });
        break;
    }
    case TextureHorizontalRamp: {
        const int k = 255 - 2 * g;
        pixels.ColumnByColumn(
            [&](int x, int r) { pixels.At(x, r) = Byte(g + k * (w - x) / w + noise()); });
        break;
    }
    case TextureHorizontalBump:
        pixels.RowByRow([&](int x, int r) {
            const int t = r * 255 / h - 127;
            pixels.At(x, r) = Byte((128 - g) * Cube(t) / 128 + 128 + noise());
        });
        break;
    case TextureVerticalBump:
        pixels.ColumnByColumn([&](int x, int r) {
            const int t = (w - x) * 255 / w - 127;
            pixels.At(x, r) = Byte((128 - g) * Cube(t) / 128 + 128 + noise());
        });
        break;
    case TextureSoftBump:
        pixels.RowByRow([&](int x, int r) {
            const int t1 = r * 255 / h - 127;
            const int t2 = (w - x) * 255 / w - 127;
            int v = (128 - g) * (Cube(t1) + Cube(t2)) / 128 + 128;
            // With a grain above 127 the bounds cross; the upper one then wins.
            if (v < g) {
                v = g;
            }
            if (v > 255 - g) {
                v = 255 - g;
            }
            pixels.At(x, r) = Byte(v + noise());
        });
        break;
    case TextureHardBump:
        PaintHardBump(pixels, g, noise);
        break;
    case TextureBrushedMetal:
        PaintBrushedMetal(face, pixels, g, divisor, random);
        break;
    default:
        pixels.RowByRow(
            [&](int x, int r) { pixels.At(x, r) = Byte(random() / divisor + 128 - g); });
        break;
    }
}

} // namespace tamsivo
