#include "record/RecordPlatform.h"

#include <cstdlib>

#include <io.h>
#include <windows.h>
// After windows.h: the shell's headers need its types.
#include <shlobj.h>

namespace tamsivo {

std::filesystem::path DefaultRunLogPath() {
    // Wide all the way: a user name may hold characters that the ANSI code page cannot.
    std::filesystem::path folder;
    PWSTR known = nullptr;
    if (SUCCEEDED(
            ::SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &known))) {
        folder = known;
    }
    ::CoTaskMemFree(known); // to be freed even when the call fails
    if (folder.empty()) {
        const wchar_t* variable = ::_wgetenv(L"LOCALAPPDATA");
        if (variable == nullptr || variable[0] == L'\0') {
            return {};
        }
        folder = variable;
    }
    return folder / L"Tamsivo" / L"runs.jsonl";
}

} // namespace tamsivo
