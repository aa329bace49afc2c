#include "flash/SerialPorts.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#if defined(__linux__)
#include <linux/serial.h>
#endif

namespace tamsivo {

namespace {

constexpr const char* kDeviceDirectory = "/dev";

// Device name stems of serial drivers; a port is a stem followed by its number only.
constexpr std::string_view kStems[] = {
    "ttyUSB", "ttyACM", "ttyS",  "ttyAMA", "rfcomm", "ttyXRUSB", "ttyCH343USB",
    "ttyO",   "ttySAC", "ttyHS", "ttyTHS", "ttymxc", "ttyMSM",   "ttyPS",
};

bool IsSerialName(std::string_view name) {
    for (std::string_view stem : kStems) {
        if (name.size() > stem.size() && name.substr(0, stem.size()) == stem &&
            std::all_of(name.begin() + static_cast<std::ptrdiff_t>(stem.size()), name.end(),
                        [](char c) { return c >= '0' && c <= '9'; })) {
            return true;
        }
    }
    return false;
}

#if defined(__linux__)
// The 8250 driver creates a fixed number of ttyS nodes whether or not a UART is behind
// them; those without one report PORT_UNKNOWN and would only fail later.
bool HasRealUart(int fd) {
    serial_struct info{};
    return ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
}
#else
bool HasRealUart(int) {
    return true;
}
#endif

bool IsFreeTerminal(const std::string& path, bool needsUart) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    termios tio{};
    const bool usable = ::tcgetattr(fd, &tio) == 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                        (!needsUart || HasRealUart(fd));
    ::close(fd); // drops the lock as well
    return usable;
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

std::vector<std::string> FreeSerialPorts() {
    std::vector<std::string> ports;
    DIR* dir = ::opendir(kDeviceDirectory);
    if (dir == nullptr) {
        return ports;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (!IsSerialName(name)) {
            continue;
        }
        std::string path = std::string(kDeviceDirectory) + "/" + std::string(name);
        const bool needsUart =
            name.substr(0, 4) == "ttyS" && name.size() > 4 && name[4] >= '0' && name[4] <= '9';
        if (IsFreeTerminal(path, needsUart)) {
            ports.push_back(std::move(path));
        }
    }
    ::closedir(dir);
    std::sort(ports.begin(), ports.end(), NaturalLess);
    ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
    return ports;
}

} // namespace tamsivo
