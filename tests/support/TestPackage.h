#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

// Firmware packages for tests, shared by the native suite, the Windows test program and the
// Wine harness, which so knows byte for byte what the simulator must accept.
namespace tamsivo::test {

struct TestPackage {
    std::vector<std::uint8_t> bytes;      // what must reach the computer, lengths included
    std::vector<std::uint32_t> frameEnds; // the running total after each frame
    std::string text;                     // the file: hexadecimal pairs, 16 to a CR LF line
};

// Frames with the given payload sizes, their bytes cycling through `pattern` from `start`.
inline TestPackage MakePackage(const std::vector<std::uint32_t>& payloads,
                               const std::vector<std::uint8_t>& pattern, std::size_t start = 0) {
    TestPackage package;
    for (std::uint32_t length : payloads) {
        package.bytes.push_back(static_cast<std::uint8_t>(length >> 8));
        package.bytes.push_back(static_cast<std::uint8_t>(length));
        for (std::uint32_t i = 0; i < length; ++i) {
            package.bytes.push_back(pattern[start++ % pattern.size()]);
        }
        package.frameEnds.push_back(static_cast<std::uint32_t>(package.bytes.size()));
    }
    for (std::size_t i = 0; i < package.bytes.size(); ++i) {
        char pair[4];
        std::snprintf(pair, sizeof pair, "%02X", package.bytes[i]);
        package.text += pair;
        package.text += i % 16 == 15 ? "\r\n" : " ";
    }
    return package;
}

// Writes the package's text to `path` and returns its bytes.
inline std::vector<std::uint8_t> WritePackage(const std::filesystem::path& path,
                                              const std::vector<std::uint32_t>& payloads,
                                              const std::vector<std::uint8_t>& pattern) {
    TestPackage package = MakePackage(payloads, pattern);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << package.text;
    return package.bytes;
}

// The bytes a text-mode or flow-controlled line would eat or change (NUL, LF, CR, XON, XOFF,
// ^Z, 0xFF, ...), then every value once.
inline std::vector<std::uint8_t> AwkwardBytes() {
    std::vector<std::uint8_t> bytes = {0x00, 0x0A, 0x0D, 0x11, 0x13, 0xFF, 0x1A,
                                       0x7F, 0x03, 0x04, 0x1C, 0x08, 0x88, 0x22};
    for (int value = 0; value < 256; ++value) {
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return bytes;
}

// The package the Windows tests send: lengths whose own bytes are awkward too, one crossing
// 256 and one well beyond a pseudo-terminal's line buffer.
inline TestPackage WindowsPackage() {
    return MakePackage({1, 0x13, 0x11, 0x0A, 0x0D, 0x100, 0x0A0D}, AwkwardBytes());
}

} // namespace tamsivo::test
