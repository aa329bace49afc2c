#pragma once

#include "text/Cp1251Table.h"

#include <array>
#include <cstddef>

// The program keeps its texts as Windows-1251 bytes. A text written kCp1251<"ВЫПОЛНЕНО"> is
// converted from the source's UTF-8 while the program is compiled, by the same table as the
// run-time conversions: the result is a pointer to static Windows-1251 bytes, usable in constant
// tables, whatever the compiler's execution character set options are (Clang has none but UTF-8).
// A character Windows-1251 cannot hold stops the build.
//
// It is a variable template rather than a literal operator template ("…"_cp1251): Clang 14, the
// Clang of Debian 12, crashes whenever it prints a call of a literal operator whose template
// argument is a class, which it does for the notes of any constant evaluation that fails, even
// one it only tried (a std::vector built from a list of such texts is enough).

// Both compilers read the sources as UTF-8 and store narrow literals as UTF-8; the conversion
// below decodes exactly that.
static_assert(sizeof("Ж") == 3 && "Ж"[0] == '\xD0' && "Ж"[1] == '\x96',
              "narrow string literals must be compiled as UTF-8 (no -fexec-charset)");

namespace tamsivo {

// A string literal's UTF-8 code units, carried as a template argument.
template <std::size_t N> struct Utf8Literal {
    char units[N];

    constexpr Utf8Literal(const char (&text)[N]) {
        for (std::size_t i = 0; i < N; ++i) {
            units[i] = text[i];
        }
    }
};

namespace cp1251_literal {

// Not constant: a conversion that reaches one of these stops the build, and the compiler's
// message names it.
inline void CharacterOutsideWindows1251() {}
inline void LiteralIsNotUtf8() {}

struct Decoded {
    char32_t codePoint;
    std::size_t length;
};

// The UTF-8 sequence at `at`, `end` being the index of the terminating zero.
constexpr Decoded DecodeUtf8(const char* units, std::size_t at, std::size_t end) {
    const auto lead = static_cast<unsigned char>(units[at]);
    const std::size_t length = lead < 0x80           ? 1
                               : (lead >> 5) == 0x6  ? 2
                               : (lead >> 4) == 0xE  ? 3
                               : (lead >> 3) == 0x1E ? 4
                                                     : 0;
    if (length == 0 || at + length > end) {
        LiteralIsNotUtf8();
    }
    char32_t codePoint = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(units[at + k]);
        if ((next & 0xC0) != 0x80) {
            LiteralIsNotUtf8();
        }
        codePoint = (codePoint << 6) | (next & 0x3F);
    }
    return {codePoint, length};
}

template <Utf8Literal Text> constexpr std::size_t CharacterCount() {
    constexpr std::size_t end = sizeof Text.units - 1;
    std::size_t count = 0;
    for (std::size_t at = 0; at < end; at += DecodeUtf8(Text.units, at, end).length) {
        ++count;
    }
    return count;
}

template <Utf8Literal Text> constexpr std::array<char, CharacterCount<Text>() + 1> Encode() {
    constexpr std::size_t end = sizeof Text.units - 1;
    std::array<char, CharacterCount<Text>() + 1> bytes{};
    std::size_t out = 0;
    for (std::size_t at = 0; at < end;) {
        const Decoded character = DecodeUtf8(Text.units, at, end);
        const int byte = Cp1251Byte(character.codePoint);
        if (byte < 0) {
            CharacterOutsideWindows1251();
        }
        bytes[out++] = static_cast<char>(byte);
        at += character.length;
    }
    return bytes;
}

// One static copy per distinct text, shared by every translation unit.
template <Utf8Literal Text> inline constexpr auto kBytes = Encode<Text>();

} // namespace cp1251_literal

template <Utf8Literal Text>
inline constexpr const char* kCp1251 = cp1251_literal::kBytes<Text>.data();

} // namespace tamsivo
