#include "record/AppendFile.h"

#include "flash/Platform.h"

#include <windows.h>

namespace tamsivo {
namespace {

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

} // namespace

bool AppendFile::Open(const std::filesystem::path& path, std::string* reason) {
    Close();
    // Append-only access: the system puts every write at the end in one piece, other processes
    // appending or not. Shared all ways, so that they can. Written through, so that a record
    // outlives the power being cut right after the run: FlushFileBuffers would need write
    // access, which would give up the atomic append.
    const HANDLE handle =
        ::CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *reason = SystemErrorText(static_cast<int>(::GetLastError()));
        return false;
    }
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        *reason = "not a plain file";
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(handle);
    return true;
}

bool AppendFile::Write(std::string_view data, std::string* reason) {
    if (data.size() > MAXDWORD) {
        *reason = SystemErrorText(ERROR_INVALID_PARAMETER);
        return false;
    }
    DWORD written = 0;
    if (!::WriteFile(AsHandle(handle_), data.data(), static_cast<DWORD>(data.size()), &written,
                     nullptr)) {
        *reason = SystemErrorText(static_cast<int>(::GetLastError()));
        return false;
    }
    if (written != data.size()) {
        *reason = SystemErrorText(ERROR_DISK_FULL);
        return false;
    }
    return true;
}

void AppendFile::Close() {
    if (handle_ != kClosed) {
        ::CloseHandle(AsHandle(handle_));
        handle_ = kClosed;
    }
}

} // namespace tamsivo
