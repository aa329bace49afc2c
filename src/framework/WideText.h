#pragma once

#include <string>
#include <string_view>

namespace tamsivo {

// The program's strings are Windows-1251 bytes; the operating system is always called through
// its UTF-16 ("W") interface with these explicit conversions, so nothing depends on the ANSI
// code page the user happens to run. Characters Windows-1251 cannot hold become '?'.
std::wstring Widen(std::string_view cp1251);
std::string Narrow(std::wstring_view utf16);

} // namespace tamsivo
