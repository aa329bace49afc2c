#pragma once

#include "flash/PackageError.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

namespace tamsivo {

// The byte image of a firmware package: the text of hexadecimal byte pairs decoded into the
// exact sequence of frames that goes on the line. The image keeps its capacity between reads;
// only the first ByteCount() bytes belong to the package last read.
class FirmwarePackage {
public:
    static constexpr std::uint32_t kCapacity = 2097152;

    FirmwarePackage();

    // Reads the whole stream and decodes it. A package that is not well formed (see
    // PackageError) is refused; its bytes must not be sent.
    PackageError ReadFrom(std::FILE* stream);
    PackageError Decode(std::string_view text);

    std::uint32_t ByteCount() const { return count_; }
    const std::uint8_t* Bytes() const { return image_.get(); }
    // Payload length of the frame that starts at `offset`: two bytes, big-endian.
    std::uint32_t FrameLength(std::uint32_t offset) const;
    std::uint32_t FrameCount() const { return frames_; }
    // Where the text or the frame walk went wrong: a character offset in the text for
    // InvalidCharacter, the offset of the overrunning frame for FrameOverrun.
    std::size_t ErrorOffset() const { return errorOffset_; }

private:
    PackageError DecodeText(std::string_view text);
    PackageError CheckFrames();

    std::unique_ptr<std::uint8_t[]> image_;
    std::uint32_t count_ = 0;
    std::uint32_t frames_ = 0;
    std::size_t errorOffset_ = 0;
};

} // namespace tamsivo
