#include "flash/win32/PortLock.h"

namespace tamsivo {

std::string PortLock::CanonicalName(const std::string& deviceOrPortName) {
    // One port has many spellings that the system resolves to the same device: "\\.\COM5",
    // "COM5", "com5", "COM5:", "COM5 ", "COM5." and "COM05".
    std::string port = deviceOrPortName;
    for (bool stripped = true; stripped;) {
        stripped = false;
        for (const char* prefix : {"\\\\.\\", "\\\\?\\"}) {
            if (port.rfind(prefix, 0) == 0) {
                port.erase(0, 4);
                stripped = true;
            }
        }
    }
    while (!port.empty() && (port.back() == ' ' || port.back() == '.' || port.back() == ':')) {
        port.pop_back();
    }
    for (char& c : port) {
        c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    const std::size_t digits = port.find_first_not_of('0', 3);
    if (port.size() > 3 && port.size() < 12 && port.compare(0, 3, "COM") == 0 &&
        port.find_first_not_of("0123456789", 3) == std::string::npos) {
        port = "COM" + (digits == std::string::npos ? std::string("0") : port.substr(digits));
    }
    return port;
}

std::wstring PortLock::ObjectName(const std::string& deviceOrPortName) {
    // The claim is made in the port's one spelling; anything else is spelt byte by byte, as a
    // backslash is a namespace separator in names.
    std::wstring name = L"Global\\Tamsivo.Port.";
    for (const char c : CanonicalName(deviceOrPortName)) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z')) {
            name += static_cast<wchar_t>(byte);
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
