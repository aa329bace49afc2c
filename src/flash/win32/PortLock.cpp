#include "flash/win32/PortLock.h"

namespace tamsivo {

std::wstring PortLock::ObjectName(const std::string& deviceOrPortName) {
    std::string port = deviceOrPortName;
    const std::string devicePrefix = "\\\\.\\";
    if (port.compare(0, devicePrefix.size(), devicePrefix) == 0) {
        port.erase(0, devicePrefix.size());
    }
    // COM3 and com3 are one device. Port names are ASCII; anything else, a backslash above
    // all (a namespace separator in object names), is spelt as its byte value.
    std::wstring name = L"Global\\Tamsivo.Port.";
    for (const char c : port) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z')) {
            name += static_cast<wchar_t>(byte);
        } else if (byte >= 'a' && byte <= 'z') {
            name += static_cast<wchar_t>(byte - 'a' + 'A');
        } else {
            name += L'%' + std::to_wstring(byte) + L'%';
        }
    }
    return name;
}

HANDLE PortLock::Acquire(const std::string& deviceOrPortName) {
    const HANDLE semaphore =
        ::CreateSemaphoreW(nullptr, 1, 1, ObjectName(deviceOrPortName).c_str());
    if (semaphore == nullptr) {
        return nullptr; // e.g. ERROR_ACCESS_DENIED: another user's program made it
    }
    // The place, not the object, is the claim: a program that only looks keeps the object
    // alive for a moment, which must not make the port look taken to the one that opens it.
    if (::WaitForSingleObject(semaphore, 0) != WAIT_OBJECT_0) {
        ::CloseHandle(semaphore);
        ::SetLastError(ERROR_BUSY);
        return nullptr;
    }
    return semaphore;
}

void PortLock::Release(HANDLE claim) {
    if (claim != nullptr) {
        ::ReleaseSemaphore(claim, 1, nullptr);
        ::CloseHandle(claim);
    }
}

bool PortLock::IsHeld(const std::string& deviceOrPortName) {
    const HANDLE semaphore = ::OpenSemaphoreW(SYNCHRONIZE | SEMAPHORE_MODIFY_STATE, FALSE,
                                              ObjectName(deviceOrPortName).c_str());
    if (semaphore == nullptr) {
        // Nobody made it (free), or it belongs to somebody we may not even look at (held).
        return ::GetLastError() == ERROR_ACCESS_DENIED;
    }
    const bool free = ::WaitForSingleObject(semaphore, 0) == WAIT_OBJECT_0;
    if (free) {
        ::ReleaseSemaphore(semaphore, 1, nullptr);
    }
    ::CloseHandle(semaphore);
    return !free;
}

} // namespace tamsivo
