#include "flash/SerialPorts.h"

#include "flash/win32/PortLock.h"

#include <windows.h>

namespace tamsivo {

namespace {

constexpr int kHighestPortNumber = 256;

} // namespace

std::vector<std::string> FreeSerialPorts() {
    std::vector<std::string> ports;
    for (int number = 1; number <= kHighestPortNumber; ++number) {
        const std::string name = "COM" + std::to_string(number);
        // Under Wine the exclusive open below does not see another process's use.
        if (PortLock::IsHeld(name)) {
            continue;
        }
        const std::wstring devicePath = L"\\\\.\\COM" + std::to_wstring(number);
        // The same exclusive open as the run's: a port that another program holds would only
        // fail later, so it is not offered.
        const HANDLE handle = ::CreateFileW(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                            nullptr, OPEN_EXISTING, 0, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            continue; // absent or busy; neither is worth a word
        }
        ::CloseHandle(handle);
        ports.push_back(name);
    }
    return ports;
}

} // namespace tamsivo
