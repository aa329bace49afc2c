#include "flash/SerialPorts.h"

#include "flash/win32/PortLock.h"

#include <algorithm>
#include <optional>

#include <windows.h>

namespace tamsivo {

namespace {

constexpr int kHighestPortNumber = 256;

// "\Device\Serial0" is an on-board UART of the standard driver; USB adapters' drivers name
// their devices otherwise ("\Device\VCP0", "\Device\USBSER000", "\Device\Silabser0").
bool IsOnBoardDevice(const std::wstring& device) {
    const std::wstring prefix = L"\\Device\\Serial";
    return device.size() > prefix.size() && device.compare(0, prefix.size(), prefix) == 0 &&
           device.find_first_not_of(L"0123456789", prefix.size()) == std::wstring::npos;
}

// The ports that the registry's map of serial devices names a USB adapter's, upper case.
std::vector<std::string> UsbPortNames() {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                        &key) != ERROR_SUCCESS) {
        return names;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t device[256] = {};
        DWORD deviceLength = 256;
        wchar_t port[32] = {};
        DWORD portBytes = sizeof port - sizeof(wchar_t); // room for a missing terminator
        DWORD type = 0;
        const LONG result = ::RegEnumValueW(key, index, device, &deviceLength, nullptr, &type,
                                            reinterpret_cast<BYTE*>(port), &portBytes);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        if (result != ERROR_SUCCESS || type != REG_SZ ||
            IsOnBoardDevice(std::wstring(device, deviceLength))) {
            continue;
        }
        std::string name;
        for (const wchar_t* c = port; *c != L'\0'; ++c) {
            const wchar_t upper = (*c >= L'a' && *c <= L'z') ? *c - L'a' + L'A' : *c;
            name += upper < 0x80 ? static_cast<char>(upper) : '?';
        }
        names.push_back(name);
    }
    ::RegCloseKey(key);
    return names;
}

// The state of COMn, or nothing when there is no such port. The same exclusive open as the
// run's: a port that another program holds would only fail later.
std::optional<PortState> Probe(int number) {
    // Under Wine the exclusive open below does not see another process's use.
    if (PortLock::IsHeld("COM" + std::to_string(number))) {
        return PortState::Busy;
    }
    const std::wstring devicePath = L"\\\\.\\COM" + std::to_wstring(number);
    const HANDLE handle = ::CreateFileW(devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        ::CloseHandle(handle);
        return PortState::Free;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_BUSY) {
        return PortState::Busy;
    }
    return std::nullopt;
}

} // namespace

std::vector<SerialPortInfo> ListSerialPorts() {
    const std::vector<std::string> usb = UsbPortNames();
    std::vector<SerialPortInfo> ports;
    for (int number = 1; number <= kHighestPortNumber; ++number) {
        const std::optional<PortState> state = Probe(number);
        if (!state) {
            continue;
        }
        SerialPortInfo port;
        port.name = "COM" + std::to_string(number);
        port.state = *state;
        port.usb = std::find(usb.begin(), usb.end(), port.name) != usb.end();
        ports.push_back(std::move(port));
    }
    std::stable_partition(ports.begin(), ports.end(),
                          [](const SerialPortInfo& port) { return port.usb; });
    return ports;
}

std::vector<std::string> FreeSerialPorts() {
    std::vector<std::string> ports;
    for (int number = 1; number <= kHighestPortNumber; ++number) {
        if (Probe(number) == PortState::Free) {
            ports.push_back("COM" + std::to_string(number));
        }
    }
    return ports;
}

} // namespace tamsivo
