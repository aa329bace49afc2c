#pragma once

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

} // namespace tamsivo
