#include "skingen/CursorFile.h"

#include "skingen/ByteWriter.h"

#include <stdexcept>
#include <string>

namespace tamsivo::skingen {

namespace {

constexpr std::uint32_t kDirectorySize = 6;
constexpr std::uint32_t kEntrySize = 16;
constexpr std::uint32_t kInfoHeaderSize = 40;

} // namespace

std::vector<std::uint8_t> CursorFile::encode(const CursorImage& image) {
    using Pixel = CursorImage::Pixel;
    const auto size = static_cast<std::uint32_t>(image.size);
    if (size == 0 || size > 255 || image.pixels.size() != size * size || image.hotSpotX < 0 ||
        image.hotSpotY < 0 || image.hotSpotX >= image.size || image.hotSpotY >= image.size) {
        throw std::invalid_argument("cursor of size " + std::to_string(image.size) + " with " +
                                    std::to_string(image.pixels.size()) + " pixels, hot spot (" +
                                    std::to_string(image.hotSpotX) + ", " +
                                    std::to_string(image.hotSpotY) + ")");
    }
    const std::uint32_t rowBytes = ((size + 31) / 32) * 4;

    // Screen = (screen AND mask) XOR colour: mask 1 with colour 0 leaves the screen alone,
    // mask 0 paints the colour bit (0 black, 1 white).
    auto plane = [&](auto bitOf) {
        ByteWriter rows;
        for (int y = image.size - 1; y >= 0; --y) {
            for (std::uint32_t byte = 0; byte < rowBytes; ++byte) {
                std::uint8_t bits = 0;
                for (std::uint32_t bit = 0; bit < 8; ++bit) {
                    const std::uint32_t x = byte * 8 + bit;
                    if (x < size && bitOf(image.pixels[static_cast<std::size_t>(y) * size + x])) {
                        bits |= static_cast<std::uint8_t>(0x80 >> bit);
                    }
                }
                rows.u8(bits);
            }
        }
        return rows.bytes();
    };
    const std::vector<std::uint8_t> colour = plane([](Pixel p) { return p == Pixel::White; });
    const std::vector<std::uint8_t> mask = plane([](Pixel p) { return p == Pixel::Transparent; });

    ByteWriter body;
    body.u32(kInfoHeaderSize);
    body.i32(image.size);
    body.i32(image.size * 2);
    body.u16(1);
    body.u16(1);
    body.u32(0);
    body.u32(static_cast<std::uint32_t>(colour.size() + mask.size()));
    body.i32(0);
    body.i32(0);
    body.u32(0);
    body.u32(0);
    body.u32(0x00000000); // palette: black
    body.u32(0x00FFFFFF); //          white
    body.append(colour);
    body.append(mask);

    ByteWriter out;
    out.u16(0);
    out.u16(2); // cursor
    out.u16(1);
    out.u8(static_cast<std::uint8_t>(size));
    out.u8(static_cast<std::uint8_t>(size));
    out.u8(2); // colours
    out.u8(0);
    out.u16(static_cast<std::uint16_t>(image.hotSpotX)); // a cursor entry's planes field
    out.u16(static_cast<std::uint16_t>(image.hotSpotY)); // a cursor entry's bit-count field
    out.u32(static_cast<std::uint32_t>(body.size()));
    out.u32(kDirectorySize + kEntrySize);
    out.append(body.bytes());
    return out.bytes();
}

} // namespace tamsivo::skingen
