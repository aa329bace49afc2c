// Compiled by a test that expects the compiler to refuse it: 0xFF begins no UTF-8 sequence (it
// is "я" already in Windows-1251, as from a source file saved in the wrong encoding).
#include "text/Cp1251Literal.h"

namespace tamsivo {

constexpr const char* kGreeting = kCp1251<"\xFF">;

} // namespace tamsivo
