#pragma once

#include <string>

#include <windows.h>

namespace tamsivo {

// A Tamsivo program's claim on a serial port, honoured by every Tamsivo program of the
// session: a named semaphore of one place per port, taken while the port is open. The
// driver's exclusive open would be enough on Windows itself, but Wine lets a second process
// open a port that another one is using, and a frame written into the middle of an update can
// leave the on-board computer half written. The semaphore dies with the last handle to it, so
// a program that ended without giving its claim up leaves nothing behind.
class PortLock {
public:
    // Claims the port of `deviceOrPortName` ("\\.\COM3" or "COM3", any case) and returns the
    // claim, or nullptr with the system's error code set when it is held already, by this
    // program or another (ERROR_BUSY when that is all the system said).
    static HANDLE Acquire(const std::string& deviceOrPortName);
    // Gives a claim up; harmless for nullptr.
    static void Release(HANDLE claim);

    // Whether the port is claimed right now.
    static bool IsHeld(const std::string& deviceOrPortName);

    // The one spelling of the port among the many that the system resolves to it ("COM5" for
    // "\\.\com05."); anything but a COM port keeps its own, upper-cased.
    static std::string CanonicalName(const std::string& deviceOrPortName);

private:
    static std::wstring ObjectName(const std::string& deviceOrPortName);
};

} // namespace tamsivo
