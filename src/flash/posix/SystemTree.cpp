#include "flash/posix/SystemTree.h"

#include "flash/posix/PortHolders.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tamsivo {

namespace {

// The name UUCP lock files give a device: the kernel's, which sysfs tells by the device number
// (so a by-id link or a udev alias leads to it too), else that of a node directly in dev/. A
// pseudo-terminal has neither: every program names /dev/pts/N its own way.
std::string LockName(const std::string& devicePath, const struct stat& device,
                     const std::string& root) {
    const std::string entry =
        PathUnder(root, "sys/dev/char/" + std::to_string(::major(device.st_rdev)) + ":" +
                            std::to_string(::minor(device.st_rdev)));
    char target[PATH_MAX];
    const ssize_t length = ::readlink(entry.c_str(), target, sizeof target);
    if (length > 0) {
        const std::string link(target, static_cast<std::size_t>(length));
        return link.substr(link.rfind('/') + 1);
    }
    const std::string node = RealPath(devicePath);
    const std::string dev = RealPath(PathUnder(root, "dev"));
    if (node.empty() || dev.empty() || node.rfind('/') != dev.size() ||
        node.compare(0, dev.size(), dev) != 0) {
        return {};
    }
    return node.substr(dev.size() + 1);
}

// Whether the kernel's table of terminal drivers claims the device's number ("serial /dev/ttyS
// 4 64-111 serial"): only a terminal is a port that another program can hold; any other
// device (/dev/null, which every daemon has open) is left to the open to refuse. An
// unreadable table claims every device.
bool IsTerminalDevice(const struct stat& device, const std::string& root) {
    std::ifstream drivers(PathUnder(root, "proc/tty/drivers"));
    if (!drivers) {
        return true;
    }
    for (std::string line; std::getline(drivers, line);) {
        std::istringstream fields(line);
        std::string name, node, minors;
        unsigned major = 0;
        unsigned first = 0;
        unsigned last = 0;
        if (!(fields >> name >> node >> major >> minors)) {
            continue;
        }
        const int parsed = std::sscanf(minors.c_str(), "%u-%u", &first, &last);
        if (parsed == 1) {
            last = first;
        }
        if (parsed >= 1 && major == ::major(device.st_rdev) && first <= ::minor(device.st_rdev) &&
            ::minor(device.st_rdev) <= last) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string PathUnder(const std::string& root, const std::string& relative) {
    if (root.empty() || root.back() == '/') {
        return (root.empty() ? "/" : root) + relative;
    }
    return root + "/" + relative;
}

std::string RealPath(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) {
        return {};
    }
    std::string result(resolved);
    std::free(resolved);
    return result;
}

std::string FirstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.pop_back();
    }
    return line;
}

std::string PortHolder(const std::string& devicePath, const std::string& root) {
    struct stat device {};
    if (::stat(devicePath.c_str(), &device) != 0 || !S_ISCHR(device.st_mode) ||
        !IsTerminalDevice(device, root)) {
        return {};
    }
    return PortHolders(root).Of(device, LockName(devicePath, device, root));
}

} // namespace tamsivo
