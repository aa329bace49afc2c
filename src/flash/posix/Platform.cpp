#include "flash/Platform.h"

#include <cerrno>
#include <climits>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tamsivo {

std::string SystemErrorText(int code) {
    return std::generic_category().message(code);
}

FilePtr OpenForReading(const std::filesystem::path& path) {
    // Without O_NONBLOCK a FIFO with no writer would block the open for ever; a package is a
    // plain file, and a FIFO, a device or a folder is none.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return FilePtr();
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return FilePtr();
    }
    std::FILE* file = ::fdopen(fd, "rb");
    if (file == nullptr) {
        ::close(fd);
    }
    return FilePtr(file);
}

int TimeoutError() {
    return ETIMEDOUT;
}

bool IsVanishedDeviceError(int code) {
    return code == EIO || code == ENXIO || code == ENODEV;
}

std::string DevicePathForPort(const std::string& portName) {
    if (portName.empty() || portName.find('\0') != std::string::npos) {
        return {};
    }
    std::string path;
    if (portName.front() == '/') {
        path = portName;
    } else {
        // A bare name is a device directly under /dev; anything with a directory part or a
        // dot name would point somewhere else and is refused rather than guessed at.
        if (portName.find('/') != std::string::npos || portName == "." || portName == "..") {
            return {};
        }
        path = "/dev/" + portName;
    }
    if (path.size() >= PATH_MAX) {
        return {};
    }
    return path;
}

std::string CanonicalPortName(const std::string& portName) {
    const std::string device = DevicePathForPort(portName);
    if (device.empty()) {
        return portName;
    }
    // weakly_canonical, as equivalent() refuses to compare devices.
    std::error_code error;
    const std::filesystem::path path = std::filesystem::weakly_canonical(device, error);
    return error ? device : path.string();
}

} // namespace tamsivo
