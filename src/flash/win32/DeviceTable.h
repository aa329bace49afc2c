#pragma once

#include "flash/SerialPorts.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tamsivo {

// What Windows' device manager knows of the devices behind serial ports, in the terms the port
// list asks for it: the system's own (SystemDeviceTable) or a test's table. Identifiers are
// device instance identifiers ("USB\VID_0403&PID_6001\A50285BI"); texts are UTF-8.
class DeviceTable {
public:
    // A present device that provides a serial port.
    struct Port {
        std::string name;         // its PortName: "COM3"
        std::string instanceId;   // "FTDIBUS\VID_0403+PID_6001+A50285BIA\0000"
        std::string friendlyName; // "USB Serial Port (COM3)"
        std::string manufacturer; // as its driver names it: "FTDI"
    };

    virtual ~DeviceTable() = default;

    virtual std::vector<Port> Ports() const = 0;
    // The device one level up the device tree; empty at the top or for an unknown device.
    virtual std::string ParentOf(const std::string& instanceId) const = 0;
    // A number among the device's driver parameters (the "Device Parameters" key of its
    // instance in the registry); nothing when the driver keeps no such value.
    virtual std::optional<std::uint32_t> Parameter(const std::string& instanceId,
                                                   const std::string& name) const = 0;
};

// ListSerialPorts() with the facts of `devices` instead of the system's.
std::vector<SerialPortInfo> ListSerialPorts(const DeviceTable& devices);

// What the device manager knows of the port `name` ("COM3"), without opening it or any other
// port: a program that only asks about its own port must not open every other (an open can
// change a port's modem lines). Its state is not known this way.
SerialPortInfo DescribeSerialPort(const DeviceTable& devices, const std::string& name);
SerialPortInfo DescribeSerialPort(const std::string& name);

} // namespace tamsivo
