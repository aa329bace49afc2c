#include "flash/SerialPorts.h"

#include "flash/win32/DeviceTable.h"
#include "flash/win32/PortLock.h"
#include "flash/win32/SystemDeviceTable.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include <windows.h>

namespace tamsivo {

namespace {

constexpr int kHighestPortNumber = 256;

std::string Lower(std::string text) {
    for (char& c : text) {
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return text;
}

// What a USB device's instance identifier tells: "USB\VID_0403&PID_6001\A50285BI". A
// composite device's interface ("USB\VID_2341&PID_8036&MI_00\7&1D6D9A8&0&0000") is part of
// the device above it, which holds the serial number.
struct UsbIdentity {
    std::string vendorId;
    std::string productId;
    std::string serial;
    bool compositePart = false; // one interface of a composite device
};

std::optional<UsbIdentity> UsbIdentityOf(const std::string& instanceId) {
    // "USB\" then "VID_vvvv&PID_pppp", perhaps "&MI_nn" or "&REV_rrrr", then "\" and the instance.
    constexpr std::size_t kIdStart = 4;
    const std::size_t idEnd = instanceId.find('\\', kIdStart);
    if (idEnd == std::string::npos || idEnd < kIdStart + 17 ||
        ::_strnicmp(instanceId.c_str(), "USB\\VID_", 8) != 0 ||
        ::_strnicmp(instanceId.c_str() + 12, "&PID_", 5) != 0) {
        return std::nullopt;
    }
    const std::string id = Lower(instanceId.substr(kIdStart, idEnd - kIdStart));
    UsbIdentity identity;
    identity.vendorId = id.substr(4, 4);
    identity.productId = id.substr(13, 4);
    identity.compositePart = id.find("&mi_") != std::string::npos;
    // A device without a serial number gets an instance that Windows makes up, which always
    // holds an ampersand ("5&2B9C3E5&0&1"); a serial number never does.
    const std::string instance = instanceId.substr(idEnd + 1);
    if (!identity.compositePart && instance.find('&') == std::string::npos) {
        identity.serial = instance;
    }
    return identity;
}

// Adds what the device manager knows of the port's device. The USB device is the port's own
// device (usbser, CP210x, CH340), or its parent when a bus driver of the adapter's maker made
// the port (FTDI's FTDIBUS), and above a composite device's interface, its parent again. No
// walk goes further: a Bluetooth port's radio, say, may sit on USB, but the port is no adapter.
void Describe(const DeviceTable& devices, const DeviceTable::Port& device, SerialPortInfo* port) {
    port->friendlyName = device.friendlyName;
    port->latencyTimerMs = devices.Parameter(device.instanceId, "LatencyTimer");
    std::string id = device.instanceId;
    if (!UsbIdentityOf(id)) {
        id = devices.ParentOf(id);
    }
    // Bounded, whatever the table says: an interface's parent is its device.
    for (int level = 0; level < 3; ++level) {
        const std::optional<UsbIdentity> identity = UsbIdentityOf(id);
        if (!identity) {
            return;
        }
        port->usb = true;
        port->vendorId = identity->vendorId;
        port->productId = identity->productId;
        port->manufacturer = device.manufacturer;
        if (!identity->compositePart) {
            port->serial = identity->serial;
            return;
        }
        id = devices.ParentOf(id);
    }
}

// The port `name` as the device manager's `known` ports describe it; only its name where they do
// not know it.
SerialPortInfo Described(const DeviceTable& devices, const std::vector<DeviceTable::Port>& known,
                         const std::string& name) {
    SerialPortInfo port;
    port.name = name;
    const auto device = std::find_if(known.begin(), known.end(), [&](const auto& candidate) {
        return ::_stricmp(candidate.name.c_str(), name.c_str()) == 0;
    });
    if (device != known.end()) {
        Describe(devices, *device, &port);
    }
    return port;
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

std::vector<SerialPortInfo> ListSerialPorts(const DeviceTable& devices) {
    const std::vector<DeviceTable::Port> known = devices.Ports();
    std::vector<SerialPortInfo> ports;
    for (int number = 1; number <= kHighestPortNumber; ++number) {
        const std::optional<PortState> state = Probe(number);
        if (!state) {
            continue;
        }
        SerialPortInfo port = Described(devices, known, "COM" + std::to_string(number));
        port.state = *state;
        ports.push_back(std::move(port));
    }
    std::stable_partition(ports.begin(), ports.end(),
                          [](const SerialPortInfo& port) { return port.usb; });
    return ports;
}

std::vector<SerialPortInfo> ListSerialPorts() {
    return ListSerialPorts(SystemDeviceTable());
}

SerialPortInfo DescribeSerialPort(const DeviceTable& devices, const std::string& name) {
    return Described(devices, devices.Ports(), name);
}

SerialPortInfo DescribeSerialPort(const std::string& name) {
    return DescribeSerialPort(SystemDeviceTable(), name);
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
