#include "flash/Platform.h"

#include "flash/win32/PortLock.h"

#include <cstddef>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace tamsivo {

namespace {

// "\\.\" and at most eight characters: the twelve-character device paths that port names of
// the form COMn (n up to 256) always fit, with room to spare.
constexpr std::size_t kMaxPortNameLength = 8;

} // namespace

std::string SystemErrorText(int code) {
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text(buffer != nullptr ? buffer : L"", length);
    ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ' ||
                             text.back() == L'.')) {
        text.pop_back();
    }
    if (text.empty()) {
        return "error " + std::to_string(code);
    }
    // The system's language, whatever the ANSI code page: UTF-8 by the system's own table.
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                            nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(),
                          bytes, nullptr, nullptr);
    return utf8;
}

FilePtr OpenForReading(const std::filesystem::path& path) {
    // A NUL inside the name would silently cut it short at the system boundary.
    if (path.native().find(L'\0') != std::wstring::npos) {
        return FilePtr();
    }
    // Shared like fopen's files; a folder does not open this way at all.
    const HANDLE handle =
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return FilePtr();
    }
    // A package is a file on a disk; a pipe or a device (CON, a COM port) could keep the run
    // waiting for ever.
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        return FilePtr();
    }
    const int fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(handle);
        return FilePtr();
    }
    std::FILE* file = ::_fdopen(fd, "rb");
    if (file == nullptr) {
        ::_close(fd); // closes the handle too
    }
    return FilePtr(file);
}

int TimeoutError() {
    return ERROR_TIMEOUT;
}

// A removed USB adapter fails pending and later transfers with any of these, by driver; access
// is denied only once the device is gone, since the port was open and ours. Wine says "not
// ready" of a terminal that hung up.
bool IsVanishedDeviceError(int code) {
    switch (static_cast<DWORD>(code)) {
    case ERROR_NOT_READY:
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_GEN_FAILURE:
    case ERROR_OPERATION_ABORTED:
    case ERROR_ACCESS_DENIED:
    case ERROR_FILE_NOT_FOUND:
        return true;
    default:
        return false;
    }
}

std::string DevicePathForPort(const std::string& portName) {
    if (portName.empty() || portName.size() > kMaxPortNameLength ||
        portName.find('\0') != std::string::npos) {
        return {};
    }
    return "\\\\.\\" + portName;
}

std::string CanonicalPortName(const std::string& portName) {
    return PortLock::CanonicalName(portName);
}

} // namespace tamsivo
