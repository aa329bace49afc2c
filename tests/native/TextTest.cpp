#include "text/Cp1251.h"
#include "text/Cp1251Literal.h"

#include <gtest/gtest.h>

#include <string>

namespace tamsivo {
namespace {

// The upper half of Windows-1251 as the code page's chart gives it: 0x80 to 0xFF in byte order,
// without the unassigned 0x98.
// clang-format off
#define UPPER_HALF "ЂЃ‚ѓ„…†‡€‰Љ‹ЊЌЋЏђ‘’“”•–—™љ›њќћџ\u00A0ЎўЈ¤Ґ¦§Ё©Є«¬\u00AD®Ї°±Ііґµ¶·ё№є»јЅѕї" \
    "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯабвгдежзийклмнопрстуфхцчшщъыьэюя"
// clang-format on

static_assert(kCp1251<"Ёж">[0] == '\xA8' && kCp1251<"Ёж">[1] == '\xE6' && kCp1251<"Ёж">[2] == 0,
              "a literal is converted while compiling");

TEST(Cp1251, LiteralsAndRunTimeConversionsFollowTheChart) {
    std::string chart;
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
        if (byte != 0x98) {
            chart += static_cast<char>(byte);
        }
    }
    EXPECT_EQ(kCp1251<UPPER_HALF>, chart);
    EXPECT_EQ(Utf8ToCp1251(UPPER_HALF), chart);
    EXPECT_EQ(Cp1251ToUtf8(chart), UPPER_HALF);
    EXPECT_EQ(Cp1251ToUtf16(chart), u"" UPPER_HALF);
    EXPECT_EQ(Utf16ToCp1251(u"" UPPER_HALF), chart);
    EXPECT_EQ(Utf8ToCp1251("Grüße \xD0 \xF0\x9F\x98\x80!\u0080"), "Gr??e ? ?!?")
        << "no Windows-1251 byte (U+0080 is a C1 control, not Ђ), or not UTF-8";
    // A stray continuation byte, NUL, and a sequence the text ends inside.
    EXPECT_EQ(Utf8ToCp1251(std::string("\x80z\0\xD0", 4)), std::string("?z\0?", 4));
    // A surrogate pair is one character, outside the code page; a lone surrogate is one too.
    EXPECT_EQ(Utf16ToCp1251(u"a\xD800\xDC00\x0431\xDBFF\xDFFF\xDC00\xD83D\xDE00\xFF01"),
              "a?\xE1????");
}

} // namespace
} // namespace tamsivo
