#include "LatencyWarning.h"

#include "PlatformText.h"
#include "flash/win32/DeviceTable.h"

namespace tamsivo::cli {

// A program that opens the port as a COM port cannot change the FTDI driver's timer, so the run
// gets the timer the device manager tells. Only the chosen ports are looked up, none opened.
std::string LatencyWarnings(const std::vector<std::string>& ports, std::uint32_t frames) {
    std::string text;
    for (const std::string& name : ports) {
        SerialPortInfo port = DescribeSerialPort(PlatformText::EngineName(name));
        port.name = name;
        text += LatencyWarning(port, frames);
    }
    return text;
}

} // namespace tamsivo::cli
