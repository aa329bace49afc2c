#include "flash/Platform.h"

#include "text/Cp1251.h"

#include <cstddef>
#include <cstdio>

#include <windows.h>

namespace tamsivo {

namespace {

// "\\.\" and at most eight characters: the twelve-character device paths that port names of
// the form COMn (n up to 256) always fit, with room to spare.
constexpr std::size_t kMaxPortNameLength = 8;

} // namespace

char PathSeparator() {
    return '\\';
}

FilePtr OpenForReading(const std::string& path) {
    // A NUL inside the name would silently cut it short at the system boundary.
    if (path.find('\0') != std::string::npos) {
        return FilePtr();
    }
    // The ANSI fopen would read the name through the system's code page, which need not be
    // Windows-1251; the table conversion does not depend on it.
    const std::u16string utf16 = Cp1251ToUtf16(path);
    const std::wstring wide(utf16.begin(), utf16.end());
    return FilePtr(::_wfopen(wide.c_str(), L"rb"));
}

std::string DevicePathForPort(const std::string& portName) {
    if (portName.empty() || portName.size() > kMaxPortNameLength ||
        portName.find('\0') != std::string::npos) {
        return {};
    }
    return "\\\\.\\" + portName;
}

} // namespace tamsivo
