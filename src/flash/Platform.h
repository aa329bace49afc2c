#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace tamsivo {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens a plain file for binary reading; nothing else (a FIFO or a device could block).
FilePtr OpenForReading(const std::filesystem::path& path);

// The operating system's words for an error code (errno on POSIX, a Win32 error code on
// Windows), UTF-8, without a trailing line end.
std::string SystemErrorText(int code);

// The error a transfer of the serial line reports when it timed out: ETIMEDOUT on POSIX,
// ERROR_TIMEOUT on Windows. Every other failure of the line is the system's own word on it.
int TimeoutError();

// Whether a transfer failed because the device went away: unplugged, powered off, its driver
// gone (a hang-up, EIO, ENXIO, ENODEV; on Windows the errors a removed USB adapter gives).
bool IsVanishedDeviceError(int code);

// The device path of a serial port name ("COM3" -> "\\.\COM3" on Windows; "/dev/ttyUSB0" or
// "ttyUSB0" -> "/dev/ttyUSB0" on POSIX). Empty when the name cannot name a device.
std::string DevicePathForPort(const std::string& portName);

// One spelling for all the names of one port, so that two names of the same device compare
// equal: on POSIX the device path with links and dot names resolved ("ttyUSB0", "/dev/ttyUSB0"
// and a link to it alike), on Windows the name the system resolves, in any letter case ("COM5",
// "com5", "\\.\COM05"). A name that can name no device is its own.
std::string CanonicalPortName(const std::string& portName);

} // namespace tamsivo
