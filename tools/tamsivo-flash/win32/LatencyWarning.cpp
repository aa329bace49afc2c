#include "LatencyWarning.h"

#include "PlatformText.h"

#include <algorithm>
#include <cstring>

namespace tamsivo::cli {

// A program that opens the port as a COM port cannot change the FTDI driver's timer, so the run
// gets the timer the port list shows.
std::string LatencyWarnings(const std::vector<std::string>& ports, std::uint32_t frames) {
    std::string text;
    for (SerialPortInfo& port : ListSerialPorts()) {
        port.name = PlatformText::NameFromEngine(port.name);
        const bool chosen = std::any_of(ports.begin(), ports.end(), [&](const std::string& name) {
            return ::_stricmp(name.c_str(), port.name.c_str()) == 0;
        });
        if (chosen) {
            text += LatencyWarning(port, frames);
        }
    }
    return text;
}

} // namespace tamsivo::cli
