#include "PortSetting.h"

#include "text/Cp1251.h"

#include <windows.h>

namespace tamsivo::test {
namespace {

constexpr const wchar_t* kSection = L"Tamsivo";
constexpr const wchar_t* kValue = L"Port";

std::wstring Wide(const std::string& cp1251) {
    const std::u16string text = Cp1251ToUtf16(cp1251);
    return std::wstring(text.begin(), text.end());
}

std::string Failure(const char* what, LONG status) {
    return std::string(what) + " failed with status " + std::to_string(status);
}

} // namespace

PortSetting::PortSetting(const std::string& programName)
    : programKey_(L"Software\\TORVIK\\" + Wide(programName)) {}

bool PortSetting::Read(std::string* value, bool* present, std::string* error) const {
    *present = false;
    const std::wstring key = programKey_ + L"\\" + kSection;
    DWORD type = 0;
    DWORD size = 0;
    LONG status =
        ::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), kValue, RRF_RT_ANY, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    if (status != ERROR_SUCCESS) {
        *error = Failure("reading the port setting", status);
        return false;
    }
    if (type != REG_SZ) {
        *error = "the port setting is of type " + std::to_string(type) + ", not a string";
        return false;
    }
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    status = ::RegGetValueW(HKEY_CURRENT_USER, key.c_str(), kValue, RRF_RT_REG_SZ, nullptr,
                            text.data(), &size);
    if (status != ERROR_SUCCESS) {
        *error = Failure("reading the port setting", status);
        return false;
    }
    text.resize(::lstrlenW(text.c_str()));
    *value = Utf16ToCp1251(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
    *present = true;
    return true;
}

bool PortSetting::Write(const std::string& value, std::string* error) const {
    const std::wstring key = programKey_ + L"\\" + kSection;
    HKEY handle = nullptr;
    LONG status = ::RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                    nullptr, &handle, nullptr);
    if (status != ERROR_SUCCESS) {
        *error = Failure("creating the settings key", status);
        return false;
    }
    const std::wstring text = Wide(value);
    status =
        ::RegSetValueExW(handle, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(handle);
    if (status != ERROR_SUCCESS) {
        *error = Failure("writing the port setting", status);
        return false;
    }
    return true;
}

bool PortSetting::Forget(std::string* error) const {
    const LONG status = ::RegDeleteTreeW(HKEY_CURRENT_USER, programKey_.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        *error = Failure("removing the settings key", status);
        return false;
    }
    return true;
}

} // namespace tamsivo::test
