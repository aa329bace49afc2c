#include "flash/PortProblem.h"

#include "flash/Platform.h"
#include "flash/win32/PortLock.h"

#include <windows.h>

namespace tamsivo {

PortProblem ExplainPortError(const std::string&, int error) {
    const std::string system = SystemErrorText(error);
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return {"no such port (" + system + ")",
                "connect the adapter, or choose another port (tamsivo-flash --list-ports)"};
    // The system says "access denied" when another program has the port open; a port is
    // opened by one program at a time.
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return {"another program has the port open (" + system + ")",
                "close the program that uses the port (a terminal, another flasher, a modem "
                "or synchronisation tool), or choose another port"};
    // The claim every Tamsivo program makes on a port (PortLock).
    case ERROR_BUSY:
        return {"another Tamsivo program is flashing through the port (" + system + ")",
                "wait until that update ends, or choose another port"};
    default:
        return {system, {}};
    }
}

// A port is busy for a Tamsivo program's claim, or for another program's open; the system tells
// no port the user may not use from a busy one.
PortProblem ExplainPortState(const SerialPortInfo& port) {
    return ExplainPortError(DevicePathForPort(port.name),
                            PortLock::IsHeld(port.name) ? ERROR_BUSY : ERROR_ACCESS_DENIED);
}

} // namespace tamsivo
