#include "controls/DibSurface.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace tamsivo {

namespace {

constexpr std::size_t kHeaderSize = sizeof(DibHeader);

int RoundBitCount(int bitCount) {
    if (bitCount <= 1) {
        return 1;
    }
    if (bitCount <= 4) {
        return 4;
    }
    if (bitCount <= 8) {
        return 8;
    }
    return 24;
}

std::uint16_t ColorCountFor(int bitCount) {
    switch (bitCount) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

std::uint8_t BlendChannel(std::uint8_t channel, std::uint8_t target, unsigned percent) {
    return static_cast<std::uint8_t>((channel * (100 - percent) + target * percent) / 100);
}

} // namespace

void DibSurface::Release() {
    block_.reset();
    header_ = DibHeader{};
    lineWidth_ = 0;
    colorCount_ = 0;
}

std::uint8_t* DibSurface::Create(int width, int height, int bitCount) {
    Release();
    if (width < 0 || height < 0) {
        return nullptr;
    }
    const int bits = RoundBitCount(bitCount);
    const std::uint16_t colors = ColorCountFor(bits);
    // 64-bit so that no width or height can wrap the row or image size.
    const std::uint64_t lineWidth = (static_cast<std::uint64_t>(bits) * width + 31) / 32 * 4;
    const std::uint64_t imageSize = lineWidth * static_cast<std::uint64_t>(height);
    if (imageSize > std::numeric_limits<std::uint32_t>::max()) {
        return nullptr;
    }
    const std::size_t blockSize = kHeaderSize + 4u * colors + static_cast<std::size_t>(imageSize);
    std::unique_ptr<std::uint8_t[]> block(new (std::nothrow) std::uint8_t[blockSize]);
    if (!block) {
        return nullptr;
    }

    DibHeader header;
    header.width = width;
    header.height = height; // positive: rows are stored bottom-up
    header.planes = 1;
    header.bitCount = static_cast<std::uint16_t>(bits);
    header.sizeImage = static_cast<std::uint32_t>(imageSize);
    new (block.get()) DibHeader(header);

    block_ = std::move(block);
    header_ = header;
    lineWidth_ = static_cast<std::uint32_t>(lineWidth);
    colorCount_ = colors;
    return block_.get();
}

void DibSurface::Clone(const DibSurface& source) {
    if (&source == this) {
        return;
    }
    if (!source.IsValid()) {
        // Nothing to copy: leave this surface empty so that its user falls back to a plain fill.
        Release();
        return;
    }
    if (Create(source.Width(), source.Height(), source.BitCount()) != nullptr) {
        std::memcpy(block_.get(), source.block_.get(), source.BlockSize());
    }
}

std::size_t DibSurface::BlockSize() const {
    if (!IsValid()) {
        return 0;
    }
    return kHeaderSize + 4u * colorCount_ + header_.sizeImage;
}

const DibHeader* DibSurface::Header() const {
    return IsValid() ? reinterpret_cast<const DibHeader*>(block_.get()) : nullptr;
}

std::uint8_t* DibSurface::Bits() {
    return IsValid() ? block_.get() + kHeaderSize + 4u * colorCount_ : nullptr;
}

const std::uint8_t* DibSurface::Bits() const {
    return IsValid() ? block_.get() + kHeaderSize + 4u * colorCount_ : nullptr;
}

DibPaletteEntry* DibSurface::Palette() {
    return reinterpret_cast<DibPaletteEntry*>(block_.get() + kHeaderSize);
}

const DibPaletteEntry* DibSurface::Palette() const {
    return reinterpret_cast<const DibPaletteEntry*>(block_.get() + kHeaderSize);
}

void DibSurface::SetPaletteEntry(int index, std::uint8_t red, std::uint8_t green,
                                 std::uint8_t blue) {
    const int entry = index & 0xFF;
    if (!IsValid() || entry >= colorCount_) {
        return;
    }
    Palette()[entry] = DibPaletteEntry{blue, green, red, 0};
}

Color DibSurface::PaletteColor(int index) const {
    if (!IsValid() || index < 0 || index >= colorCount_) {
        return 0;
    }
    const DibPaletteEntry& entry = Palette()[index];
    return Rgb(entry.red, entry.green, entry.blue);
}

void DibSurface::BlendPalette(Color color, unsigned percent) {
    if (!IsValid() || colorCount_ == 0) {
        return;
    }
    percent = std::min(percent, 100u);
    DibPaletteEntry* palette = Palette();
    for (int i = 0; i < colorCount_; ++i) {
        DibPaletteEntry& entry = palette[i];
        entry.blue = BlendChannel(entry.blue, BlueOf(color), percent);
        entry.green = BlendChannel(entry.green, GreenOf(color), percent);
        entry.red = BlendChannel(entry.red, RedOf(color), percent);
    }
}

std::size_t DibSurface::RowOffset(int y) const {
    return static_cast<std::size_t>(header_.height - 1 - y) * lineWidth_;
}

void DibSurface::SetPixelIndex(int x, int y, int index) {
    if (!IsValid() || colorCount_ == 0 || x < 0 || x >= Width() || y < 0 || y >= Height()) {
        return;
    }
    std::uint8_t* row = Bits() + RowOffset(y);
    const auto value = static_cast<std::uint8_t>(index);
    switch (header_.bitCount) {
    case 8:
        row[x] = value;
        break;
    case 4: {
        // Two pixels a byte, the left one in the high nibble.
        const int shift = (x % 2 == 0) ? 4 : 0;
        row[x / 2] =
            static_cast<std::uint8_t>((row[x / 2] & ~(0x0F << shift)) | ((value & 0x0F) << shift));
        break;
    }
    default: {
        // Eight pixels a byte, the leftmost in the high bit.
        const int shift = 7 - x % 8;
        row[x / 8] =
            static_cast<std::uint8_t>((row[x / 8] & ~(1 << shift)) | ((value & 1) << shift));
        break;
    }
    }
}

int DibSurface::PixelIndex(int x, int y) const {
    if (!IsValid() || colorCount_ == 0 || x < 0 || x >= Width() || y < 0 || y >= Height()) {
        return -1;
    }
    const std::uint8_t* row = Bits() + RowOffset(y);
    switch (header_.bitCount) {
    case 8:
        return row[x];
    case 4:
        return (row[x / 2] >> ((x % 2 == 0) ? 4 : 0)) & 0x0F;
    default:
        return (row[x / 8] >> (7 - x % 8)) & 1;
    }
}

void DibSurface::Clear(std::uint8_t value) {
    if (IsValid()) {
        std::memset(Bits(), value, header_.sizeImage);
    }
}

} // namespace tamsivo
