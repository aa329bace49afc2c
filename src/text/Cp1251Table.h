#pragma once

#include <array>
#include <cstddef>

namespace tamsivo {

// Upper half of Windows-1251 below the Cyrillic alphabet (0x80..0xBF). 0x98 is unassigned; it
// maps to U+0098 so that every byte survives a round trip, as the system's own converter does.
inline constexpr std::array<char16_t, 64> kCp1251Between80AndBF = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

// The character a Windows-1251 byte stands for.
constexpr char16_t Cp1251CodePoint(unsigned char byte) {
    if (byte < 0x80) {
        return byte;
    }
    if (byte >= 0xC0) {
        return static_cast<char16_t>(0x0410 + (byte - 0xC0)); // А..я in order
    }
    return kCp1251Between80AndBF[byte - 0x80];
}

// The Windows-1251 byte of a character, or -1 when the code page cannot hold it. Constant, so
// that string literals are converted by the same table while the program is compiled.
constexpr int Cp1251Byte(char32_t codePoint) {
    if (codePoint < 0x80) {
        return static_cast<int>(codePoint);
    }
    if (codePoint >= 0x0410 && codePoint <= 0x044F) {
        return static_cast<int>(0xC0 + (codePoint - 0x0410));
    }
    for (std::size_t i = 0; i < kCp1251Between80AndBF.size(); ++i) {
        if (kCp1251Between80AndBF[i] == codePoint) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

} // namespace tamsivo
