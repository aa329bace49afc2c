#include "flash/FirmwarePackage.h"

#include "flash/FlashProtocol.h"
#include "flash/Platform.h"
#include "flash/Sha256.h"

#include <array>

namespace tamsivo {
namespace {

constexpr signed char kSpace = -1;
constexpr signed char kOther = -2;

// Character classes of the package text: a hexadecimal digit's value, whitespace, or anything
// else. The whitespace set is that of the C locale's isspace.
constexpr std::array<signed char, 256> MakeClasses() {
    std::array<signed char, 256> classes{};
    for (auto& c : classes) {
        c = kOther;
    }
    for (int d = 0; d < 10; ++d) {
        classes['0' + d] = static_cast<signed char>(d);
    }
    for (int d = 0; d < 6; ++d) {
        classes['A' + d] = static_cast<signed char>(10 + d);
        classes['a' + d] = static_cast<signed char>(10 + d);
    }
    for (unsigned char ws : {' ', '\t', '\n', '\v', '\f', '\r'}) {
        classes[ws] = kSpace;
    }
    return classes;
}

constexpr std::array<signed char, 256> kClasses = MakeClasses();

} // namespace

FirmwarePackage::FirmwarePackage() : image_(new std::uint8_t[kCapacity]()) {}

PackageError FirmwarePackage::ReadFrom(std::FILE* stream) {
    // A formatted read per byte is far too slow for a 2 MiB package, and reading the whole
    // file first would let a huge or endless one exhaust the memory: pieces it is.
    constexpr std::size_t kPiece = 64 * 1024;
    const std::unique_ptr<char[]> piece(new char[kPiece]);
    BeginText();
    // Hashed as it is decoded: the digest is of the very bytes that became the image, even
    // should the file change while, or after, it is read.
    Sha256 sha256;
    for (;;) {
        const std::size_t got = std::fread(piece.get(), 1, kPiece, stream);
        sha256.Update(piece.get(), got);
        const PackageError error = DecodePiece(std::string_view(piece.get(), got));
        if (error != PackageError::None) {
            return Finish(error, {});
        }
        if (got < kPiece) {
            break;
        }
    }
    return Finish(EndText(), sha256.HexDigest());
}

PackageError FirmwarePackage::Decode(std::string_view text) {
    BeginText();
    PackageError error = DecodePiece(text);
    if (error == PackageError::None) {
        error = EndText();
    }
    Sha256 sha256;
    sha256.Update(text.data(), text.size());
    return Finish(error, sha256.HexDigest());
}

PackageRead FirmwarePackage::ReadFile(const std::filesystem::path& path) {
    const FilePtr file = OpenForReading(path);
    if (!file) {
        Clear();
        return {PackageRead::Status::NotOpened};
    }
    const PackageError error = ReadFrom(file.get());
    // A read that fails (a dying disk says EIO) is no empty package.
    if (std::ferror(file.get()) != 0) {
        Clear();
        return {PackageRead::Status::Unreadable};
    }
    if (error != PackageError::None) {
        return {PackageRead::Status::Refused, error};
    }
    return {PackageRead::Status::Read};
}

void FirmwarePackage::Clear() {
    BeginText();
}

PackageError FirmwarePackage::Finish(PackageError error, std::string sha256) {
    if (error == PackageError::None) {
        error = CheckFrames();
    }
    if (error != PackageError::None) {
        count_ = 0;
        frames_ = 0;
        return error;
    }
    textSha256_ = std::move(sha256);
    textBytes_ = textOffset_;
    return error;
}

void FirmwarePackage::BeginText() {
    count_ = 0;
    frames_ = 0;
    textSha256_.clear();
    textBytes_ = 0;
    errorOffset_ = 0;
    textOffset_ = 0;
    pendingHigh_ = -1;
    pendingAt_ = 0;
    lastLoneAt_ = kNoOffset;
}

// Tokens are one or two hexadecimal digits after optional whitespace; a run of digits is cut
// into pairs from its start, and a digit followed by whitespace is a byte of its own.
PackageError FirmwarePackage::DecodePiece(std::string_view piece) {
    const auto* const begin = reinterpret_cast<const unsigned char*>(piece.data());
    const auto* const end = begin + piece.size();
    std::uint8_t* const image = image_.get();
    std::uint32_t count = count_;
    int high = pendingHigh_;
    for (const auto* p = begin; p != end; ++p) {
        const int value = kClasses[*p];
        if (high >= 0) {
            // The byte is complete: with this digit, or alone before whitespace.
            image[count++] = static_cast<std::uint8_t>(value >= 0 ? high * 16 + value : high);
            high = -1;
            lastLoneAt_ = value >= 0 ? kNoOffset : pendingAt_;
            if (value >= 0) {
                continue;
            }
        }
        if (value == kSpace) {
            continue;
        }
        if (value == kOther) {
            count_ = count;
            errorOffset_ = textOffset_ + static_cast<std::size_t>(p - begin);
            return PackageError::InvalidCharacter;
        }
        if (count == kCapacity) {
            count_ = count;
            return PackageError::TooLarge;
        }
        high = value;
        pendingAt_ = textOffset_ + static_cast<std::size_t>(p - begin);
    }
    count_ = count;
    pendingHigh_ = high;
    textOffset_ += piece.size();
    return PackageError::None;
}

// A text that ends in a lone digit, right at its end or before nothing but whitespace (which
// an editor adds when it saves a cut file), ends in half a byte: the file was cut off, perhaps
// inside a frame's length, and what is left must not pass as a shorter package. Lone digits
// inside the text are bytes of their own.
PackageError FirmwarePackage::EndText() {
    if (pendingHigh_ >= 0 || lastLoneAt_ != kNoOffset) {
        errorOffset_ = pendingHigh_ >= 0 ? pendingAt_ : lastLoneAt_;
        return PackageError::TruncatedByte;
    }
    return PackageError::None;
}

PackageError FirmwarePackage::CheckFrames() {
    frames_ = 0;
    if (count_ == 0) {
        return PackageError::Empty;
    }
    std::uint64_t offset = 0;
    while (offset < count_) {
        if (count_ - offset < kFrameHeaderBytes) {
            errorOffset_ = static_cast<std::size_t>(offset);
            return PackageError::FrameOverrun;
        }
        const std::uint64_t next =
            offset + kFrameHeaderBytes + FrameLength(static_cast<std::uint32_t>(offset));
        if (next > count_) {
            errorOffset_ = static_cast<std::size_t>(offset);
            return PackageError::FrameOverrun;
        }
        offset = next;
        ++frames_;
    }
    return PackageError::None;
}

std::uint32_t FirmwarePackage::FrameLength(std::uint32_t offset) const {
    return static_cast<std::uint32_t>(image_[offset]) * 256u + image_[offset + 1];
}

} // namespace tamsivo
