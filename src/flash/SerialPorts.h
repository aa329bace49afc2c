#pragma once

#include <string>
#include <vector>

namespace tamsivo {

// The serial ports that can be opened right now, in ascending order: on Windows "COM1" to
// "COM256" opened exclusively and closed at once; on POSIX the serial devices under /dev
// (ttyUSB*, ttyACM*, ttyS*, ...) that open and answer as terminals.
std::vector<std::string> FreeSerialPorts();

} // namespace tamsivo
