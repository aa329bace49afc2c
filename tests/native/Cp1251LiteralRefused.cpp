// Compiled by a test that expects the compiler to refuse it: "😀" (four bytes of UTF-8) has no
// Windows-1251 byte, and a literal must not quietly lose a character.
#include "text/Cp1251Literal.h"

namespace tamsivo {

constexpr const char* kGreeting = kCp1251<"Привет 😀">;

} // namespace tamsivo
