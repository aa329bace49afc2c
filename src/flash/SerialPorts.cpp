#include "flash/SerialPorts.h"

namespace tamsivo {

std::string AutomaticPort(const std::vector<SerialPortInfo>& ports) {
    for (const SerialPortInfo& port : ports) {
        if (port.state == PortState::Free && !port.console) {
            return port.name;
        }
    }
    return {};
}

} // namespace tamsivo
