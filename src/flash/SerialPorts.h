#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tamsivo {

enum class PortState { Free, Busy, NoPermission };

struct SerialPortInfo {
    // As the port is named to the engine and to --port: "COM3", "ttyUSB0".
    std::string name;
    PortState state = PortState::Free;
    // A USB or ACM adapter.
    bool usb = false;
    // The system console: never chosen automatically, since a frame would land in it.
    bool console = false;
    // For a busy port, "pid (comm)" where the system tells.
    std::string holder;
    // Windows: the name Device Manager shows, "USB Serial Port (COM3)", UTF-8; empty elsewhere.
    std::string friendlyName;
    // USB adapters only. Linux: from sysfs. Windows: the identifiers and the serial number from
    // the device's instance identifier, the manufacturer as its driver names it (UTF-8), no
    // product string.
    std::string vendorId, productId, manufacturer, product, serial;
    // The USB adapter's latency timer in ms, where its driver tells (FTDI); empty elsewhere.
    std::optional<std::uint32_t> latencyTimerMs;
};

// Every serial port and its state, in the order an automatic choice prefers: USB and ACM
// adapters first, then on-board UARTs (ttyS*), each group in natural order. Linux: the ports
// sysfs knows, none of them opened (an open raises DTR and RTS even on a port in use); a port
// is Busy when another process holds it (see PortHolders), NoPermission when access(2) says
// so. Windows: COM1 to COM256, each opened exclusively and closed at once, with what the
// device manager knows of each; a port held by another program is Busy, and no port is ever
// NoPermission there, since the system reports a held port and a forbidden one alike.
std::vector<SerialPortInfo> ListSerialPorts();

// The first free port of `ports` that is not the console; empty when there is none.
std::string AutomaticPort(const std::vector<SerialPortInfo>& ports);

// The serial ports that can be opened right now, in ascending order: on Windows "COM1" to
// "COM256" opened exclusively and closed at once; on POSIX the free ports of the listing
// above as device paths (/dev/ttyUSB0), the system console left out.
std::vector<std::string> FreeSerialPorts();

} // namespace tamsivo
