#pragma once

#include "controls/Color.h"
#include "controls/DibHeader.h"
#include "controls/DibPaletteEntry.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace tamsivo {

// A device-independent bitmap in one heap block: the header, the colour table (2, 16 or 256
// entries, none for 24 bits per pixel) and the pixel rows, bottom row first, each row padded to a
// multiple of 4 bytes. Header() is the block's start and can be passed to GDI as a BITMAPINFO.
// Operations on an empty surface, and out-of-range indices or coordinates, do nothing.
class DibSurface {
public:
    DibSurface() = default;
    DibSurface(const DibSurface&) = delete;
    DibSurface& operator=(const DibSurface&) = delete;
    DibSurface(DibSurface&&) = delete;
    DibSurface& operator=(DibSurface&&) = delete;
    ~DibSurface() = default;

    // Replaces any earlier picture. The bit count is rounded up to 1, 4, 8 or 24. The colour
    // table and the pixels are left uninitialised. Returns the block, or null (the surface is
    // then empty) when the allocation fails, a size is negative or the image is too large for
    // the header's 32-bit size field.
    std::uint8_t* Create(int width, int height, int bitCount);
    // Copies the whole block of `source`; a copy of an empty surface is empty.
    void Clone(const DibSurface& source);

    bool IsValid() const { return block_ != nullptr; }
    int Width() const { return header_.width; }
    int Height() const { return header_.height; }
    int BitCount() const { return header_.bitCount; }
    std::uint32_t LineWidth() const { return lineWidth_; }
    int ColorCount() const { return colorCount_; }
    std::uint32_t ImageSize() const { return header_.sizeImage; }
    std::size_t BlockSize() const;

    // The block's header, followed by the colour table; null when empty.
    const DibHeader* Header() const;
    // The first pixel row in memory, which is the bottom row of the picture; null when empty.
    std::uint8_t* Bits();
    const std::uint8_t* Bits() const;

    // Only the low 8 bits of the index count.
    void SetPaletteEntry(int index, std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    // The entry as a colour; 0 when there is no such entry.
    Color PaletteColor(int index) const;
    // Moves every colour-table entry `percent` (at most 100) of the way towards `color`.
    void BlendPalette(Color color, unsigned percent);

    // y counts from the top of the picture. Palettised surfaces only; on 1- and 4-bit surfaces
    // the index is packed into the pixel's bits, so a write never strays into the next pixel.
    void SetPixelIndex(int x, int y, int index);
    // The colour-table index at (x, y), y from the top; -1 when there is no such pixel.
    int PixelIndex(int x, int y) const;
    // Sets every byte of the pixel rows.
    void Clear(std::uint8_t value);

private:
    void Release();
    DibPaletteEntry* Palette();
    const DibPaletteEntry* Palette() const;
    // Byte offset of screen row y from the start of the pixel rows.
    std::size_t RowOffset(int y) const;

    std::unique_ptr<std::uint8_t[]> block_;
    DibHeader header_;
    std::uint32_t lineWidth_ = 0;
    std::uint16_t colorCount_ = 0;
};

} // namespace tamsivo
