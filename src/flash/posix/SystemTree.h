#pragma once

#include "flash/PortProblem.h"
#include "flash/SerialPorts.h"

#include <string>
#include <vector>

namespace tamsivo {

// What the Linux side learns about ports it reads from the system's own folders: dev/ for the
// devices, proc/ for who holds one, sys/ for what is behind one. They hang from one root, "/"
// on a running system; the tests build a fake tree in a temporary folder and pass its path.

// `relative` below `root`: PathUnder("/", "proc") is "/proc".
std::string PathUnder(const std::string& root, const std::string& relative);

// The first line of a small system file, without its line end; empty when it cannot be read.
std::string FirstLine(const std::string& path);

// "pid (comm)" of a process that holds `devicePath`: the flock holder /proc/locks names, else
// the first process with the device among its open files; empty when the system does not tell.
std::string PortHolder(const std::string& devicePath, const std::string& root);

PortProblem ExplainPortError(const std::string& devicePath, int error, const std::string& root);

std::vector<SerialPortInfo> ListSerialPorts(const std::string& root);

} // namespace tamsivo
