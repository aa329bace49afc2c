#include "TestFrames.h"

#include <array>
#include <cstdio>

namespace tamsivo::test {

namespace {

constexpr std::array<std::uint8_t, 16> kAwkwardBytes = {
    0x00, 0x0A, 0x0D, 0x11, 0x13, 0xFF, 0x1A, 0x7F, 0x03, 0x04, 0x1C, 0x08, 0x88, 0x22, 0x0A, 0x0D,
};

// Lengths whose own header bytes are awkward too (0x0A 0x0D), one crossing 256 and one
// well beyond a pseudo-terminal's line buffer.
constexpr std::array<std::uint16_t, 7> kPayloadLengths = {1, 0x13, 0x11, 0x0A, 0x0D, 0x100, 0x0A0D};

} // namespace

std::vector<std::uint8_t> AwkwardFrame(std::uint16_t payloadLength, unsigned seed) {
    std::vector<std::uint8_t> frame;
    frame.reserve(payloadLength + 2u);
    frame.push_back(static_cast<std::uint8_t>(payloadLength >> 8));
    frame.push_back(static_cast<std::uint8_t>(payloadLength & 0xFF));
    for (unsigned i = 0; i < payloadLength; ++i) {
        // Every other byte walks through all 256 values so that nothing is left out.
        frame.push_back(i % 2 == 0 ? kAwkwardBytes[(i / 2 + seed) % kAwkwardBytes.size()]
                                   : static_cast<std::uint8_t>(i * 37 + seed));
    }
    return frame;
}

std::vector<std::uint8_t> PackageBytes() {
    std::vector<std::uint8_t> bytes;
    unsigned seed = 0;
    for (std::uint16_t length : kPayloadLengths) {
        const std::vector<std::uint8_t> frame = AwkwardFrame(length, seed++);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return bytes;
}

std::vector<std::uint32_t> FrameEnds() {
    std::vector<std::uint32_t> ends;
    std::uint32_t total = 0;
    for (std::uint16_t length : kPayloadLengths) {
        total += length + 2u;
        ends.push_back(total);
    }
    return ends;
}

std::string PackageText() {
    const std::vector<std::uint8_t> bytes = PackageBytes();
    const std::vector<std::uint32_t> ends = FrameEnds();
    std::string text;
    std::size_t frame = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char pair[4];
        std::snprintf(pair, sizeof(pair), "%02X", bytes[i]);
        text += pair;
        if (i + 1 == ends[frame]) {
            text += "\r\n";
            ++frame;
        } else {
            text += ' ';
        }
    }
    return text;
}

} // namespace tamsivo::test
