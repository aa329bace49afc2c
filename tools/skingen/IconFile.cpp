#include "skingen/IconFile.h"

#include "skingen/ByteWriter.h"

#include <stdexcept>
#include <string>

namespace tamsivo::skingen {

namespace {

constexpr std::uint32_t kDirectorySize = 6;
constexpr std::uint32_t kEntrySize = 16;
constexpr std::uint32_t kInfoHeaderSize = 40;

std::uint32_t PaddedRow(std::uint32_t bits) {
    return ((bits + 31) / 32) * 4;
}

std::vector<std::uint8_t> EncodeImage(const IconImage& image) {
    const auto size = static_cast<std::uint32_t>(image.size);
    const std::uint32_t colourRow = PaddedRow(size * 4);
    const std::uint32_t maskRow = PaddedRow(size);
    ByteWriter out;
    out.u32(kInfoHeaderSize);
    out.i32(image.size);
    out.i32(image.size * 2); // the colour rows and the mask rows together
    out.u16(1);
    out.u16(4);
    out.u32(0);
    out.u32((colourRow + maskRow) * size);
    out.i32(0);
    out.i32(0);
    out.u32(0);
    out.u32(0);
    for (const Rgb& colour : image.palette) {
        out.u8(colour.b);
        out.u8(colour.g);
        out.u8(colour.r);
        out.u8(0);
    }
    for (int y = image.size - 1; y >= 0; --y) {
        const std::size_t row = static_cast<std::size_t>(y) * size;
        for (std::uint32_t x = 0; x < colourRow * 2; x += 2) {
            const std::uint8_t high = x < size ? image.indices[row + x] : 0;
            const std::uint8_t low = x + 1 < size ? image.indices[row + x + 1] : 0;
            out.u8(static_cast<std::uint8_t>(high << 4 | (low & 0x0F)));
        }
    }
    // Mask bit 1 lets the screen show through; those pixels' colour index must be 0 (black)
    // so that the screen is not inverted there.
    for (int y = image.size - 1; y >= 0; --y) {
        const std::size_t row = static_cast<std::size_t>(y) * size;
        for (std::uint32_t byte = 0; byte < maskRow; ++byte) {
            std::uint8_t bits = 0;
            for (std::uint32_t bit = 0; bit < 8; ++bit) {
                const std::uint32_t x = byte * 8 + bit;
                if (x < size && image.transparent[row + x]) {
                    bits |= static_cast<std::uint8_t>(0x80 >> bit);
                }
            }
            out.u8(bits);
        }
    }
    return out.bytes();
}

} // namespace

std::vector<std::uint8_t> IconFile::encode(const std::vector<IconImage>& images) {
    std::vector<std::vector<std::uint8_t>> bodies;
    for (const IconImage& image : images) {
        if (image.size <= 0 || image.size > 255 ||
            image.indices.size() != static_cast<std::size_t>(image.size * image.size) ||
            image.transparent.size() != image.indices.size()) {
            throw std::invalid_argument("icon image of size " + std::to_string(image.size) +
                                        " has " + std::to_string(image.indices.size()) + " pixels");
        }
        bodies.push_back(EncodeImage(image));
    }

    ByteWriter out;
    out.u16(0);
    out.u16(1); // icon
    out.u16(static_cast<std::uint16_t>(images.size()));
    std::uint32_t offset = kDirectorySize + kEntrySize * static_cast<std::uint32_t>(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        out.u8(static_cast<std::uint8_t>(images[i].size));
        out.u8(static_cast<std::uint8_t>(images[i].size));
        out.u8(16); // colours
        out.u8(0);
        out.u16(1); // planes
        out.u16(4); // bits per pixel
        out.u32(static_cast<std::uint32_t>(bodies[i].size()));
        out.u32(offset);
        offset += static_cast<std::uint32_t>(bodies[i].size());
    }
    for (const auto& body : bodies) {
        out.append(body);
    }
    return out.bytes();
}

} // namespace tamsivo::skingen
