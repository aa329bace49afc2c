#include "framework/WideText.h"

#include "text/Cp1251.h"

namespace tamsivo {

// wchar_t and char16_t are both UTF-16 code units on Windows; only the types differ.
static_assert(sizeof(wchar_t) == sizeof(char16_t));

std::wstring Widen(std::string_view cp1251) {
    const std::u16string utf16 = Cp1251ToUtf16(cp1251);
    return std::wstring(utf16.begin(), utf16.end());
}

std::string Narrow(std::wstring_view utf16) {
    const std::u16string units(utf16.begin(), utf16.end());
    return Utf16ToCp1251(units);
}

} // namespace tamsivo
