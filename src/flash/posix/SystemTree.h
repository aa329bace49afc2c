#pragma once

#include "flash/PortProblem.h"
#include "flash/SerialPorts.h"

#include <string>
#include <vector>

namespace tamsivo {

// What the Linux side learns about ports it reads from the system's own folders: sys/ for the
// ports and what is behind one, dev/ for their nodes, proc/ and the lock files of run/lock
// and var/lock for who holds one. They hang from one root, "/"
// on a running system; the tests build a fake tree in a temporary folder and pass its path.

// `relative` below `root`: PathUnder("/", "proc") is "/proc".
std::string PathUnder(const std::string& root, const std::string& relative);

// The first line of a small system file, without its line end; empty when it cannot be read.
std::string FirstLine(const std::string& path);

// The path with every link resolved; empty when it does not lead anywhere.
std::string RealPath(const std::string& path);

// "pid (comm)" of another process that holds `devicePath`, found as PortHolders finds it,
// without opening the device; empty when nothing shows.
std::string PortHolder(const std::string& devicePath, const std::string& root);

PortProblem ExplainPortError(const std::string& devicePath, int error, const std::string& root);
PortProblem ExplainPortState(const SerialPortInfo& port, const std::string& root);

std::vector<SerialPortInfo> ListSerialPorts(const std::string& root);

} // namespace tamsivo
