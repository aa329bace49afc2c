#include "flash/Platform.h"

#include <climits>

namespace tamsivo {

char PathSeparator() {
    return '/';
}

FilePtr OpenForReading(const std::string& path) {
    return FilePtr(std::fopen(path.c_str(), "rb"));
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

} // namespace tamsivo
