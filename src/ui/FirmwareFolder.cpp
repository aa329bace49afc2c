#include "ui/FirmwareFolder.h"

#include "framework/WideText.h"

#include <windows.h>

namespace tamsivo {

namespace {

// The directory the search runs in, absolute and ending with a backslash, so that every entry
// gets a full path even when `folder` was relative.
std::wstring SearchDirectory(const std::wstring& pattern) {
    const DWORD needed = ::GetFullPathNameW(pattern.c_str(), 0, nullptr, nullptr);
    std::wstring full;
    if (needed > 0) {
        full.resize(needed);
        const DWORD written = ::GetFullPathNameW(pattern.c_str(), needed, full.data(), nullptr);
        full.resize(written < needed ? written : 0);
    }
    if (full.empty()) {
        full = pattern; // the search itself reports whether this names anything
    }
    return full.substr(0, full.rfind(L'\\') + 1);
}

} // namespace

std::int32_t ScanFirmwareFolder(const std::filesystem::path& folder, PathList& list) {
    // The system's wildcard ignores letter case, so "*.enc" also finds "*.ENC". Nothing is
    // filtered by attribute: hidden entries and folders with a matching name count too.
    const std::wstring pattern = (folder / L"*.enc").native();
    WIN32_FIND_DATAW entry{};
    const HANDLE search = ::FindFirstFileW(pattern.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return 0; // no folder, or nothing in it matches
    }
    // Long names only: a name outside Windows-1251 opens as it is, without the short alias
    // that not every volume keeps.
    const std::filesystem::path directory = SearchDirectory(pattern);
    std::int32_t count = 0;
    do {
        list.push_back(directory / entry.cFileName);
        ++count;
    } while (::FindNextFileW(search, &entry));
    ::FindClose(search);
    return count;
}

std::string ShownName(const std::filesystem::path& name) {
    return Narrow(name.native());
}

} // namespace tamsivo
