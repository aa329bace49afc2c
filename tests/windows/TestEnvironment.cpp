#include "TestEnvironment.h"

#include "text/Cp1251.h"

#include <cwchar>
#include <vector>

#include <windows.h>

namespace tamsivo::test {

std::string EnvironmentText(const wchar_t* name) {
    const DWORD size = ::GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) {
        return {};
    }
    std::vector<wchar_t> value(size);
    const DWORD length = ::GetEnvironmentVariableW(name, value.data(), size);
    if (length == 0 || length >= size) {
        return {};
    }
    return Utf16ToCp1251(std::u16string(value.begin(), value.begin() + length));
}

std::optional<std::uint32_t> EnvironmentNumber(const wchar_t* name) {
    const std::string text = EnvironmentText(name);
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 9) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(std::stoul(text));
}

std::string TestPortName() {
    return EnvironmentText(L"TAMSIVO_TEST_PORT");
}

} // namespace tamsivo::test
