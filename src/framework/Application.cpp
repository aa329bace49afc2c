#include "framework/Application.h"

#include "framework/WideText.h"

#include <stdexcept>

#include <windows.h>

namespace tamsivo {
namespace {

Application* currentApplication = nullptr;

std::wstring FileStem(const std::wstring& path) {
    const size_t separator = path.find_last_of(L"\\/");
    std::wstring name = separator == std::wstring::npos ? path : path.substr(separator + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos) {
        name.resize(dot);
    }
    return name;
}

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey() {
        if (key_ != nullptr) {
            ::RegCloseKey(key_);
        }
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY* Out() { return &key_; }
    HKEY Get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

} // namespace

Application::Application() : wideName_(FileStem(ExecutablePath())), name_(Narrow(wideName_)) {
    if (currentApplication != nullptr) {
        throw std::logic_error("a second application object was constructed");
    }
    currentApplication = this;
}

Application::~Application() {
    if (currentApplication == this) {
        currentApplication = nullptr;
    }
}

std::wstring Application::ExecutablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        // The call fills the whole buffer when it cuts the name short: long paths exceed
        // MAX_PATH on long-path aware systems.
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

Application* Application::Current() noexcept {
    return currentApplication;
}

void Application::SetRegistryKey(std::string_view key) {
    registryKey_ = Widen(key);
}

std::wstring Application::SectionPath(std::string_view section) const {
    return L"Software\\" + registryKey_ + L"\\" + wideName_ + L"\\" + Widen(section);
}

std::string Application::GetProfileText(std::string_view section, std::string_view entry,
                                        std::string_view defaultValue) const {
    if (registryKey_.empty()) {
        return std::string(defaultValue);
    }
    const std::wstring path = SectionPath(section);
    const std::wstring name = Widen(entry);
    std::wstring value;
    for (;;) {
        DWORD bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        const LSTATUS status =
            ::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr,
                           value.empty() ? nullptr : value.data(), &bytes);
        if (status == ERROR_SUCCESS && !value.empty()) {
            // The count includes the terminator that RegGetValueW guarantees.
            value.resize(bytes / sizeof(wchar_t) > 0 ? bytes / sizeof(wchar_t) - 1 : 0);
            return Narrow(value);
        }
        if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) {
            return std::string(defaultValue);
        }
        // First call (size query) or the value grew meanwhile: make room and ask again.
        value.assign(bytes / sizeof(wchar_t) + 1, L'\0');
    }
}

bool Application::WriteProfileText(std::string_view section, std::string_view entry,
                                   std::string_view value) const {
    if (registryKey_.empty()) {
        return false;
    }
    RegistryKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, SectionPath(section).c_str(), 0, nullptr,
                          REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, key.Out(),
                          nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const std::wstring data = Widen(value);
    const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    return ::RegSetValueExW(key.Get(), Widen(entry).c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(data.c_str()), bytes) == ERROR_SUCCESS;
}

int Application::Run() {
    Application* application = Current();
    if (application == nullptr) {
        ::MessageBoxW(nullptr, L"The program has no application object.", L"Error",
                      MB_OK | MB_ICONERROR);
        return 1;
    }
    try {
        application->InitInstance();
        return 0;
    } catch (const std::exception& error) {
        ::MessageBoxW(nullptr, Widen(error.what()).c_str(), application->wideName_.c_str(),
                      MB_OK | MB_ICONERROR);
        return 1;
    }
}

} // namespace tamsivo
