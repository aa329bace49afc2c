#include "LatencyWarning.h"

#include "PlatformText.h"
#include "flash/FirmwarePackage.h"
#include "flash/Platform.h"

#include <algorithm>
#include <cstring>

namespace tamsivo::cli {

// A program that opens the port as a COM port cannot change the FTDI driver's timer, so the run
// gets the timer the port list shows. The package is read only when a port is slow: a package that
// does not read is the run's to report.
std::string LatencyWarnings(const std::vector<std::string>& ports,
                            const std::filesystem::path& package) {
    std::vector<SerialPortInfo> slow;
    for (SerialPortInfo& port : ListSerialPorts()) {
        port.name = PlatformText::NameFromEngine(port.name);
        const bool chosen = std::any_of(ports.begin(), ports.end(), [&](const std::string& name) {
            return ::_stricmp(name.c_str(), port.name.c_str()) == 0;
        });
        if (chosen && port.latencyTimerMs && *port.latencyTimerMs > kHarmlessLatencyTimerMs) {
            slow.push_back(std::move(port));
        }
    }
    if (slow.empty()) {
        return {};
    }
    FirmwarePackage image;
    const FilePtr file = OpenForReading(PlatformText::EnginePath(package));
    if (!file || image.ReadFrom(file.get()) != PackageError::None) {
        return {};
    }
    std::string text;
    for (const SerialPortInfo& port : slow) {
        text += LatencyWarning(port, image.FrameCount());
    }
    return text;
}

} // namespace tamsivo::cli
