#include "flash/SerialLine.h"

#include "flash/FlashProtocol.h"
#include "flash/win32/PortLock.h"
#include "text/Cp1251.h"

#include <algorithm>
#include <cstring>
#include <string>

#include <windows.h>

namespace tamsivo {

namespace {

HANDLE AsHandle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// Device paths are Windows-1251 text. Converting them by table, not through the ANSI entry
// points, keeps the open independent of the system's code page.
std::wstring WidePath(const char* path) {
    const std::u16string utf16 = Cp1251ToUtf16(path);
    return std::wstring(utf16.begin(), utf16.end());
}

// 8N1, binary, modem lines held off. Flow control and character replacement are switched off
// whatever the previous user of the port left behind: frames are binary, and an XOFF (0x13)
// or XON (0x11) inside a payload or an answer must pass like any other byte.
bool ConfigureLine(HANDLE handle, std::uint32_t baudRate) {
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!::GetCommState(handle, &dcb)) {
        return false;
    }
    dcb.BaudRate = baudRate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    return ::SetCommState(handle, &dcb) != FALSE;
}

// The driver's queues hold a whole frame each way: many keep a few KiB unless asked, and a
// received byte that finds the queue full is lost.
constexpr DWORD kQueueBytes = (kLargestFrameBytes + 4095) / 4096 * 4096;

// A frame goes out in pieces this large (see WriteEchoed).
constexpr std::uint32_t kEchoPieceBytes = 1024;

// Why a transfer came back short: its timeout, unless the device has gone meanwhile. Some
// drivers (Wine's on a hung-up terminal among them) end a read of a vanished device like a
// timeout, with fewer bytes and no error; asking the device for its state then fails.
int ShortTransferError(HANDLE handle) {
    DWORD errors = 0;
    COMSTAT status{};
    return ::ClearCommError(handle, &errors, &status) ? ERROR_TIMEOUT
                                                      : static_cast<int>(::GetLastError());
}

} // namespace

SerialLine::~SerialLine() {
    SerialLine::Close();
}

bool SerialLine::Open(const char* devicePath, std::uint32_t baudRate, std::uint32_t timeoutMs) {
    if (IsOpen()) {
        return Fail(ERROR_BUSY);
    }
    if (devicePath == nullptr || devicePath[0] == '\0') {
        return Fail(ERROR_INVALID_NAME);
    }
    const HANDLE claim = PortLock::Acquire(devicePath);
    if (claim == nullptr) {
        return Fail(static_cast<int>(::GetLastError()));
    }
    // Share mode 0: the serial driver serves one opener at a time, and nobody else may
    // write into the line while a package goes out.
    const HANDLE handle = ::CreateFileW(WidePath(devicePath).c_str(), GENERIC_READ | GENERIC_WRITE,
                                        0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        PortLock::Release(claim);
        return Fail(static_cast<int>(error));
    }
    handle_ = reinterpret_cast<std::intptr_t>(handle);
    portLock_ = reinterpret_cast<std::intptr_t>(claim);
    // Whatever the driver still holds from an earlier user is not ours; a failure here
    // changes nothing, since the run purges again before every frame.
    ::PurgeComm(handle, PURGE_TXCLEAR | PURGE_RXCLEAR);
    // A driver may round the sizes or keep its own; the pieces of WriteEchoed work either way.
    ::SetupComm(handle, kQueueBytes, kQueueBytes);
    if (!ConfigureLine(handle, baudRate) || !SetTimeouts(timeoutMs) ||
        !::SetCommMask(handle, EV_RXCHAR | EV_TXEMPTY)) {
        const DWORD error = ::GetLastError();
        Close();
        return Fail(static_cast<int>(error));
    }
    return Succeed();
}

bool SerialLine::SetTimeouts(std::uint32_t timeoutMs) {
    if (!IsOpen()) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    COMMTIMEOUTS timeouts{};
    if (!::GetCommTimeouts(AsHandle(handle_), &timeouts)) {
        return Fail(static_cast<int>(::GetLastError()));
    }
    timeouts.ReadIntervalTimeout = timeoutMs;
    timeouts.ReadTotalTimeoutMultiplier = 10;
    timeouts.ReadTotalTimeoutConstant = timeoutMs;
    // A write may take t ms a byte, but never more than t + 1 ms a byte (at 115200 baud a
    // byte takes 0.087 ms): a port that stopped taking bytes would otherwise hold a frame of
    // 64 KiB for days, beyond the reach of the stop command.
    timeouts.WriteTotalTimeoutMultiplier = timeoutMs < 1 ? timeoutMs : 1;
    timeouts.WriteTotalTimeoutConstant = timeoutMs <= 1 ? 10 : timeoutMs + 10;
    if (!::SetCommTimeouts(AsHandle(handle_), &timeouts)) {
        return Fail(static_cast<int>(::GetLastError()));
    }
    timeoutMs_ = timeoutMs;
    return Succeed();
}

bool SerialLine::Purge() {
    if (!IsOpen()) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    return ::PurgeComm(AsHandle(handle_), PURGE_TXCLEAR | PURGE_RXCLEAR)
               ? Succeed()
               : Fail(static_cast<int>(::GetLastError()));
}

bool SerialLine::Close() {
    if (IsOpen()) {
        ::CloseHandle(AsHandle(handle_));
        handle_ = kInvalidHandle;
        // Only once the device is closed may another program take the port.
        PortLock::Release(reinterpret_cast<HANDLE>(portLock_));
        portLock_ = 0;
    }
    return Succeed();
}

// A timeout ends ReadFile and WriteFile successfully with fewer bytes; only the count tells.
bool SerialLine::Write(const std::uint8_t* data, std::uint32_t count) {
    Transferred& moved = BeginTransfer();
    if (!IsOpen()) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    DWORD written = 0;
    const BOOL done = ::WriteFile(AsHandle(handle_), data, count, &written, nullptr);
    moved.written = written;
    Tap(LineDirection::Sent, data, written);
    if (!done) {
        return Fail(static_cast<int>(::GetLastError()));
    }
    return written == count ? Succeed() : Fail(ShortTransferError(AsHandle(handle_)));
}

bool SerialLine::Read(std::uint8_t* buffer, std::uint32_t count) {
    Transferred& moved = BeginTransfer();
    if (!IsOpen()) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    DWORD received = 0;
    const BOOL done = ::ReadFile(AsHandle(handle_), buffer, count, &received, nullptr);
    moved.received = received;
    Tap(LineDirection::Received, buffer, received);
    if (!done) {
        return Fail(static_cast<int>(::GetLastError()));
    }
    return received == count ? Succeed() : Fail(ShortTransferError(AsHandle(handle_)));
}

// The frame goes out in pieces, and what came back is taken between them: the echo of a piece
// is all that waits in the driver meanwhile, whatever its queues hold.
EchoCheck SerialLine::WriteEchoed(const std::uint8_t* data, std::uint32_t count,
                                  std::uint8_t* echo) {
    // Each Write and Read counts its own bytes; the exchange's are their sum.
    Transferred moved;
    const auto ends = [this, &moved](EchoCheck check) {
        transferred_ = moved;
        return check;
    };
    // Takes `wanted` echo bytes, comparing what came even when fewer did.
    const auto take = [&](std::uint32_t wanted) {
        const bool read = Read(echo + moved.received, wanted);
        const std::uint32_t got = LastTransfer().received;
        const bool same = std::memcmp(echo + moved.received, data + moved.received, got) == 0;
        moved.received += got;
        return !same ? EchoCheck::Differs : read ? EchoCheck::Same : EchoCheck::Failed;
    };
    while (moved.written < count) {
        const std::uint32_t piece = std::min(kEchoPieceBytes, count - moved.written);
        const bool wrote = Write(data + moved.written, piece);
        moved.written += LastTransfer().written;
        std::uint32_t waiting = 0;
        if (!wrote || !BytesWaiting(&waiting)) {
            return ends(EchoCheck::Failed);
        }
        // The bytes are there already: the read returns at once.
        if (const std::uint32_t ready = std::min(waiting, count - moved.received); ready > 0) {
            if (const EchoCheck check = take(ready); check != EchoCheck::Same) {
                return ends(check);
            }
        }
    }
    return ends(moved.received < count ? take(count - moved.received) : EchoCheck::Same);
}

bool SerialLine::BytesWaiting(std::uint32_t* count) {
    if (!IsOpen()) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(AsHandle(handle_), &errors, &status)) {
        return Fail(static_cast<int>(::GetLastError()));
    }
    *count = status.cbInQue;
    return Succeed();
}

} // namespace tamsivo
