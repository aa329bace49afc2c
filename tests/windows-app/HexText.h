#pragma once

#include <string>
#include <string_view>

namespace tamsivo::test {

// Byte strings between the application driver and its harness: two lowercase hexadecimal
// digits a byte, "-" for the empty string. Windows-1251 texts then cross command lines and
// reports unchanged, whatever code page the two ends run with.
inline std::string ToHex(std::string_view bytes) {
    if (bytes.empty()) {
        return "-";
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0x0F]);
    }
    return hex;
}

inline bool FromHex(std::string_view hex, std::string* bytes) {
    bytes->clear();
    if (hex == "-") {
        return true;
    }
    if (hex.empty() || hex.size() % 2 != 0) {
        return false;
    }
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') {
            return c - '0';
        }
        if (c >= 'a' && c <= 'f') {
            return c - 'a' + 10;
        }
        if (c >= 'A' && c <= 'F') {
            return c - 'A' + 10;
        }
        return -1;
    };
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int high = digit(hex[i]);
        const int low = digit(hex[i + 1]);
        if (high < 0 || low < 0) {
            bytes->clear();
            return false;
        }
        bytes->push_back(static_cast<char>(high * 16 + low));
    }
    return true;
}

} // namespace tamsivo::test
