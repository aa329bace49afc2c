// Compiled by tests that expect the compiler to refuse it, once for each way a literal can fail
// to be UTF-8 (as from a source file saved in the wrong encoding).
#include "text/Cp1251Literal.h"

namespace tamsivo {

#if BROKEN_LITERAL == 1
constexpr const char* kGreeting = kCp1251<"\xFF">; // begins no sequence ("я" in Windows-1251)
#else
constexpr const char* kGreeting = kCp1251<"\xD0"
                                          "A">; // a sequence's first byte, then no other
#endif

} // namespace tamsivo
