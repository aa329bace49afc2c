#include "flash/FirmwarePackage.h"

#include "flash/FlashProtocol.h"

#include <array>
#include <string>

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
    // One pass over the whole text in memory: a formatted read per byte is far too slow for
    // a 2 MiB package.
    std::string text;
    constexpr std::size_t kChunk = 1 << 20;
    for (;;) {
        const std::size_t used = text.size();
        text.resize(used + kChunk);
        const std::size_t got = std::fread(text.data() + used, 1, kChunk, stream);
        text.resize(used + got);
        if (got < kChunk) {
            break;
        }
    }
    return Decode(text);
}

PackageError FirmwarePackage::Decode(std::string_view text) {
    errorOffset_ = 0;
    frames_ = 0;
    PackageError error = DecodeText(text);
    if (error == PackageError::None) {
        error = CheckFrames();
    }
    if (error != PackageError::None) {
        count_ = 0;
        frames_ = 0;
    }
    return error;
}

// Tokens are one or two hexadecimal digits after optional whitespace; a run of digits is cut
// into pairs from its start. The count follows the classic scanf("%2X") loop that package
// authors have always relied on: it stops once a conversion meets the end of the text, so a
// single digit standing right at the end is stored but not counted.
PackageError FirmwarePackage::DecodeText(std::string_view text) {
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const begin = p;
    const auto* const end = p + text.size();
    std::uint8_t* const image = image_.get();
    std::uint32_t count = 0;
    for (;;) {
        while (p != end && kClasses[*p] == kSpace) {
            ++p;
        }
        if (p == end) {
            break;
        }
        const int high = kClasses[*p];
        if (high < 0) {
            errorOffset_ = static_cast<std::size_t>(p - begin);
            return PackageError::InvalidCharacter;
        }
        if (count == kCapacity) {
            return PackageError::TooLarge;
        }
        ++p;
        if (p == end) {
            image[count] = static_cast<std::uint8_t>(high);
            break;
        }
        const int low = kClasses[*p];
        if (low >= 0) {
            image[count] = static_cast<std::uint8_t>(high * 16 + low);
            ++p;
        } else {
            image[count] = static_cast<std::uint8_t>(high);
        }
        ++count;
    }
    count_ = count;
    return PackageError::None;
}

PackageError FirmwarePackage::CheckFrames() {
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
