#include "flash/Platform.h"
#include "flash/PortProblem.h"

namespace tamsivo {

PortProblem ExplainLineError(int error) {
    const std::string system = SystemErrorText(error);
    if (IsVanishedDeviceError(error)) {
        return {"the adapter was disconnected (" + system + ")",
                "plug it in, check the cable, and start the update again"};
    }
    return {system, "check the adapter and its cable, and start the update again"};
}

std::optional<PortProblem> ExplainRunEnd(const std::string& portName, const RunEnd& end) {
    const std::string device = DevicePathForPort(portName);
    if (end.portError != 0) {
        return ExplainPortError(device, end.portError);
    }
    if (end.lineError != 0) {
        return ExplainLineError(end.lineError);
    }
    if (device.empty() && end.outcome == Outcome::PortError) {
        return PortProblem{"not a port name",
                           "give a port as --list-ports shows it, or the whole path of the device"};
    }
    return std::nullopt;
}

} // namespace tamsivo
