#pragma once

#include "JsonLine.h"
#include "flash/SerialPorts.h"

#include <string>
#include <vector>

namespace tamsivo::cli {

// --list-ports for people: one line a port, its name and state first, then what else is known
// of it, names aligned.
std::string PortTable(const std::vector<SerialPortInfo>& ports);

// One port of --list-ports --json: what is known of it, nothing for what is not.
Json PortObject(const SerialPortInfo& port);

// Why a run that was to choose its port took none of `ports`: each that is there but in use or
// not the user's, since such an adapter needs no connecting, or else that there is none. The
// console is no candidate.
std::string NoFreePort(const std::vector<SerialPortInfo>& ports);

} // namespace tamsivo::cli
