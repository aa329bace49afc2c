#include "TraceFile.h"

#include "flash/Platform.h"

#include <windows.h>

namespace tamsivo::cli {
namespace {

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

bool TraceFile::Create(const std::filesystem::path& path, std::string* reason) {
    Close();
    // Readable by others while it grows, so that support can look at a run still going on.
    // OPEN_ALWAYS, then emptied once known to be a plain file: CREATE_ALWAYS would first
    // empty whatever the name stands for.
    const HANDLE handle =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *reason = SystemErrorText(static_cast<int>(::GetLastError()));
        return false;
    }
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        *reason = "not a plain file";
        return false;
    }
    if (!::SetEndOfFile(handle)) {
        *reason = SystemErrorText(static_cast<int>(::GetLastError()));
        ::CloseHandle(handle);
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(handle);
    return true;
}

bool TraceFile::Write(std::string_view data, std::string* reason) {
    while (!data.empty()) {
        const DWORD piece = data.size() > MAXDWORD ? MAXDWORD : static_cast<DWORD>(data.size());
        DWORD written = 0;
        if (!::WriteFile(AsHandle(handle_), data.data(), piece, &written, nullptr)) {
            *reason = SystemErrorText(static_cast<int>(::GetLastError()));
            return false;
        }
        if (written == 0) {
            *reason = SystemErrorText(ERROR_DISK_FULL);
            return false;
        }
        data.remove_prefix(written);
    }
    return true;
}

void TraceFile::Close() {
    if (handle_ != kClosed) {
        ::CloseHandle(AsHandle(handle_));
        handle_ = kClosed;
    }
}

} // namespace tamsivo::cli
