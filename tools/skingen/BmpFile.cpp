#include "skingen/BmpFile.h"

#include "skingen/ByteWriter.h"

namespace tamsivo::skingen {

namespace {

constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::int32_t kPixelsPerMetreAt96Dpi = 3780;

} // namespace

std::vector<std::uint8_t> BmpFile::encode(const Canvas& canvas) {
    // Every row is padded to a multiple of four bytes.
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(canvas.width()) * 3 + 3) & ~3u;
    const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(canvas.height());
    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize;

    ByteWriter out;
    out.u8('B');
    out.u8('M');
    out.u32(offset + imageBytes);
    out.u16(0);
    out.u16(0);
    out.u32(offset);

    out.u32(kInfoHeaderSize);
    out.i32(canvas.width());
    out.i32(canvas.height()); // positive: the first row stored is the bottom one
    out.u16(1);               // planes
    out.u16(24);              // bits per pixel
    out.u32(0);               // BI_RGB
    out.u32(imageBytes);
    out.i32(kPixelsPerMetreAt96Dpi);
    out.i32(kPixelsPerMetreAt96Dpi);
    out.u32(0); // colours used
    out.u32(0); // important colours

    for (int y = canvas.height() - 1; y >= 0; --y) {
        for (int x = 0; x < canvas.width(); ++x) {
            const Rgb pixel = canvas.at(x, y);
            out.u8(pixel.b);
            out.u8(pixel.g);
            out.u8(pixel.r);
        }
        for (std::uint32_t pad = static_cast<std::uint32_t>(canvas.width()) * 3; pad < rowBytes;
             ++pad) {
            out.u8(0);
        }
    }
    return out.bytes();
}

} // namespace tamsivo::skingen
