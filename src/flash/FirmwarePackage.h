#pragma once

#include "flash/PackageError.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace tamsivo {

// The folder that holds the packages, beside the dialog program and under the command-line
// flasher's working folder; the system's file names ignore its case.
inline constexpr const char* kUpdatesFolder = "updates";

// How reading a package file went.
struct PackageRead {
    enum class Status {
        Read,       // a well-formed package is in the image
        NotOpened,  // no such file, or no plain file (a FIFO or a device could block the run)
        Unreadable, // it opened but could not be read through (a folder, an I/O error)
        Refused,    // it is no well-formed package: `error` says why
    };
    Status status = Status::NotOpened;
    PackageError error = PackageError::None;
};

// The byte image of a firmware package: the text of hexadecimal byte pairs decoded into the
// exact sequence of frames that goes on the line. The image keeps its capacity between reads;
// only the first ByteCount() bytes belong to the package last read.
class FirmwarePackage {
public:
    static constexpr std::uint32_t kCapacity = 2097152;

    FirmwarePackage();

    // Reads and decodes the stream piece by piece, so that no file, however large, is held in
    // memory: reading stops at the first character outside the format or as soon as the image
    // would overflow. A package that is not well formed (see PackageError) is refused; its
    // bytes must not be sent. A failing read shows in std::ferror(stream).
    PackageError ReadFrom(std::FILE* stream);
    PackageError Decode(std::string_view text);
    // Opens `path` (see OpenForReading) and reads it; whatever goes wrong leaves the image empty.
    PackageRead ReadFile(const std::filesystem::path& path);
    // Empties the image.
    void Clear();

    std::uint32_t ByteCount() const { return count_; }
    const std::uint8_t* Bytes() const { return image_.get(); }
    // Payload length of the frame that starts at `offset`: two bytes, big-endian.
    std::uint32_t FrameLength(std::uint32_t offset) const;
    std::uint32_t FrameCount() const { return frames_; }
    // Where the text or the frame walk went wrong: a character offset in the text for
    // InvalidCharacter and TruncatedByte, the offset of the overrunning frame for FrameOverrun.
    std::size_t ErrorOffset() const { return errorOffset_; }
    // The SHA-256 (lower-case hex) and the size of the text the image was decoded from, so that
    // a record of the run names exactly the bytes that were sent; empty and 0 unless the last
    // read gave a well-formed package.
    const std::string& TextSha256() const { return textSha256_; }
    std::uint64_t TextBytes() const { return textBytes_; }

private:
    // The text is decoded as it arrives; a digit may wait for its partner across pieces.
    void BeginText();
    PackageError DecodePiece(std::string_view piece);
    PackageError EndText();
    PackageError Finish(PackageError error, std::string sha256);
    PackageError CheckFrames();

    std::unique_ptr<std::uint8_t[]> image_;
    std::uint32_t count_ = 0;
    std::uint32_t frames_ = 0;
    std::size_t errorOffset_ = 0;
    std::string textSha256_;
    std::uint64_t textBytes_ = 0;
    static constexpr std::size_t kNoOffset = static_cast<std::size_t>(-1);
    std::size_t textOffset_ = 0;         // characters decoded so far
    int pendingHigh_ = -1;               // a first digit whose second may follow, or -1
    std::size_t pendingAt_ = 0;          // where that digit stands
    std::size_t lastLoneAt_ = kNoOffset; // where the last token stands if it was a lone digit
};

} // namespace tamsivo
