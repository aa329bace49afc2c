#include "flash/SerialPorts.h"

#include "flash/posix/PortHolders.h"
#include "flash/posix/SystemTree.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <sstream>
#include <string_view>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tamsivo {

namespace {

// Device name stems of serial drivers; a port is a stem followed by its number only. Those of
// USB drivers mark a USB adapter even where sysfs does not say so.
struct Stem {
    std::string_view name;
    bool usb;
};
constexpr Stem kStems[] = {
    {"ttyUSB", true},  {"ttyACM", true},   {"ttyS", false},       {"ttyAMA", false},
    {"rfcomm", false}, {"ttyXRUSB", true}, {"ttyCH343USB", true}, {"ttyO", false},
    {"ttySAC", false}, {"ttyHS", false},   {"ttyTHS", false},     {"ttymxc", false},
    {"ttyMSM", false}, {"ttyPS", false},
};

const Stem* StemOf(std::string_view name) {
    for (const Stem& stem : kStems) {
        if (name.size() > stem.name.size() && name.substr(0, stem.name.size()) == stem.name &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(stem.name.size()), name.end(),
                        [](char c) { return c >= '0' && c <= '9'; })) {
            return &stem;
        }
    }
    return nullptr;
}

// A tty's device in sysfs is the USB interface (ACM) or a port below it (usb-serial drivers);
// the USB device, whose folder holds the descriptor's strings, is the first ancestor with an
// idVendor. The walk stays inside sys/.
void ReadUsbFacts(const std::string& root, const std::string& name, SerialPortInfo* port) {
    const std::string sys = RealPath(PathUnder(root, "sys"));
    std::string folder = RealPath(PathUnder(root, "sys/class/tty/" + name + "/device"));
    if (sys.empty()) {
        return;
    }
    while (folder.size() > sys.size() + 1 && folder.compare(0, sys.size() + 1, sys + "/") == 0) {
        if (::access((folder + "/idVendor").c_str(), F_OK) == 0) {
            port->usb = true;
            port->vendorId = FirstLine(folder + "/idVendor");
            port->productId = FirstLine(folder + "/idProduct");
            port->manufacturer = FirstLine(folder + "/manufacturer");
            port->product = FirstLine(folder + "/product");
            port->serial = FirstLine(folder + "/serial");
            return;
        }
        folder.erase(folder.rfind('/'));
    }
}

// ftdi_sio shows its adapter's latency timer beside the port (also as
// /sys/bus/usb-serial/devices/NAME/latency_timer); other drivers have none.
std::optional<std::uint32_t> LatencyTimer(const std::string& root, const std::string& name) {
    const std::string text =
        FirstLine(PathUnder(root, "sys/class/tty/" + name + "/device/latency_timer"));
    if (text.empty() || text.size() > 3 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(std::stoul(text));
}

// The consoles the kernel writes to, e.g. "tty0 ttyS0": tty0 is the virtual terminal, a serial
// console is named by its port.
bool IsConsole(const std::string& root, const std::string& name) {
    std::istringstream active(FirstLine(PathUnder(root, "sys/class/tty/console/active")));
    for (std::string console; active >> console;) {
        if (console == name) {
            return true;
        }
    }
    return false;
}

// Digit runs compare by value, so that ttyS2 comes before ttyS10.
bool NaturalLess(const std::string& a, const std::string& b) {
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t iEnd = i;
            std::size_t jEnd = j;
            while (iEnd < a.size() && isDigit(a[iEnd])) {
                ++iEnd;
            }
            while (jEnd < b.size() && isDigit(b[jEnd])) {
                ++jEnd;
            }
            std::size_t iSig = i;
            std::size_t jSig = j;
            while (iSig + 1 < iEnd && a[iSig] == '0') {
                ++iSig;
            }
            while (jSig + 1 < jEnd && b[jSig] == '0') {
                ++jSig;
            }
            const std::string_view x(a.data() + iSig, iEnd - iSig);
            const std::string_view y(b.data() + jSig, jEnd - jSig);
            if (x.size() != y.size()) {
                return x.size() < y.size();
            }
            if (x != y) {
                return x < y;
            }
            i = iEnd;
            j = jEnd;
            continue;
        }
        if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        }
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j)) {
        return (a.size() - i) < (b.size() - j);
    }
    return a < b; // equal by value ("ttyS01" and "ttyS1"): any fixed order will do
}

} // namespace

std::vector<SerialPortInfo> ListSerialPorts() {
    return ListSerialPorts("/");
}

std::vector<SerialPortInfo> ListSerialPorts(const std::string& root) {
    std::vector<SerialPortInfo> ports;
    const std::string ttys = PathUnder(root, "sys/class/tty");
    DIR* dir = ::opendir(ttys.c_str());
    if (dir == nullptr) {
        return ports;
    }
    PortHolders holders(root);
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name(entry->d_name);
        const Stem* stem = StemOf(name);
        if (stem == nullptr) {
            continue;
        }
        // The 8250 driver registers a fixed number of ttyS ports whether or not a UART is
        // behind them; those without one say type 0 (PORT_UNKNOWN) and would only fail later.
        if (stem->name == "ttyS" && FirstLine(ttys + "/" + name + "/type") == "0") {
            continue;
        }
        const std::string path = PathUnder(root, "dev/" + name);
        struct stat node {};
        if (::stat(path.c_str(), &node) != 0 || !S_ISCHR(node.st_mode)) {
            continue;
        }
        SerialPortInfo port;
        port.name = name;
        if (::access(path.c_str(), R_OK | W_OK) != 0) {
            if (errno != EACCES && errno != EPERM) {
                continue;
            }
            port.state = PortState::NoPermission;
        } else {
            port.holder = holders.Of(node, name);
            port.state = port.holder.empty() ? PortState::Free : PortState::Busy;
        }
        port.console = IsConsole(root, name);
        ReadUsbFacts(root, name, &port);
        port.usb = port.usb || stem->usb;
        port.latencyTimerMs = LatencyTimer(root, name);
        ports.push_back(std::move(port));
    }
    ::closedir(dir);
    std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
        return a.usb != b.usb ? a.usb : NaturalLess(a.name, b.name);
    });
    return ports;
}

std::vector<std::string> FreeSerialPorts() {
    std::vector<std::string> ports;
    for (const SerialPortInfo& port : ListSerialPorts()) {
        if (port.state == PortState::Free && !port.console) {
            ports.push_back("/dev/" + port.name);
        }
    }
    std::sort(ports.begin(), ports.end(), NaturalLess);
    return ports;
}

} // namespace tamsivo
