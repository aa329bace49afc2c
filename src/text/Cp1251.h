#pragma once

#include <string>
#include <string_view>

namespace tamsivo {

// Conversions of Windows-1251 text, done by table so that they never depend on the system's
// code page or locale. Characters that Windows-1251 cannot hold become '?'.
std::string Cp1251ToUtf8(std::string_view text);
std::string Utf8ToCp1251(std::string_view text);
std::u16string Cp1251ToUtf16(std::string_view text);
std::string Utf16ToCp1251(std::u16string_view text);

} // namespace tamsivo
