#pragma once

#include "flash/FlashObserver.h"
#include "flash/SerialPorts.h"

#include <optional>
#include <string>

namespace tamsivo {

// Why a serial port did not open, in words a service technician can act on. Both texts are
// UTF-8 and English and do not repeat the port's name; `remedy` is empty when there is
// nothing better to suggest than the reason itself.
struct PortProblem {
    std::string reason;
    std::string remedy;
};

// Explains `error`, the operating system's reason a port did not open (SerialLine::LastError():
// errno on POSIX, a Win32 error code on Windows), looking at the device and, on Linux, at who
// holds it.
PortProblem ExplainPortError(const std::string& devicePath, int error);

// Explains why `port`, listed as busy or as not the user's to use, cannot be taken, as a run
// through it would be told when it did not open; nothing is opened to find out.
PortProblem ExplainPortState(const SerialPortInfo& port);

// Explains `error`, the system's reason a transfer on the open line failed: above all an adapter
// that was unplugged or lost its power mid-run.
PortProblem ExplainLineError(int error);

// Why a run through `portName` that ended as `end` failed, where the system had a word on it:
// the port that did not open, the line that failed, or a port name that names no device.
// Nothing for any other end.
std::optional<PortProblem> ExplainRunEnd(const std::string& portName, const RunEnd& end);

} // namespace tamsivo
