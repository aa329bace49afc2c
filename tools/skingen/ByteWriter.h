#pragma once

#include <cstdint>
#include <vector>

namespace tamsivo::skingen {

// Appends little-endian integers, the byte order of every Windows file header.
class ByteWriter {
public:
    void u8(std::uint8_t value) { bytes_.push_back(value); }
    void u16(std::uint16_t value);
    void u32(std::uint32_t value);
    void i32(std::int32_t value) { u32(static_cast<std::uint32_t>(value)); }
    void append(const std::vector<std::uint8_t>& bytes);

    std::size_t size() const { return bytes_.size(); }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

} // namespace tamsivo::skingen
