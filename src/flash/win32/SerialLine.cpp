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

// A frame goes out in pieces this large, and what came back is taken after each: the echo of a
// piece is all that can wait in the driver meanwhile.
constexpr DWORD kEchoPieceBytes = 1024;

// Why a transfer came back short: its timeout, unless the device has gone meanwhile. Some
// drivers (Wine's on a hung-up terminal among them) end a read of a vanished device like a
// timeout, with fewer bytes and no error; asking the device for its state then fails.
int ShortTransferError(HANDLE handle) {
    DWORD errors = 0;
    COMSTAT status{};
    return ::ClearCommError(handle, &errors, &status) ? ERROR_TIMEOUT
                                                      : static_cast<int>(::GetLastError());
}

// Whether the echo bytes from `from` to `to` are those that were written.
bool EchoMatches(const std::uint8_t* data, const std::uint8_t* echo, std::uint32_t from,
                 std::uint32_t to) {
    return std::memcmp(echo + from, data + from, to - from) == 0;
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
    if (!done) {
        return Fail(static_cast<int>(::GetLastError()));
    }
    return received == count ? Succeed() : Fail(ShortTransferError(AsHandle(handle_)));
}

EchoCheck SerialLine::WriteEchoed(const std::uint8_t* data, std::uint32_t count,
                                  std::uint8_t* echo) {
    Transferred& moved = BeginTransfer();
    if (!IsOpen()) {
        Fail(ERROR_INVALID_HANDLE);
        return EchoCheck::Failed;
    }
    const HANDLE handle = AsHandle(handle_);
    std::uint32_t& written = moved.written;
    std::uint32_t& echoed = moved.received;
    while (written < count) {
        const DWORD piece = std::min<DWORD>(kEchoPieceBytes, count - written);
        DWORD sent = 0;
        if (!::WriteFile(handle, data + written, piece, &sent, nullptr)) {
            Fail(static_cast<int>(::GetLastError()));
            return EchoCheck::Failed;
        }
        written += sent;
        if (sent != piece) {
            // The write timeouts ran out: the port stopped taking bytes.
            Fail(ShortTransferError(handle));
            return EchoCheck::Failed;
        }
        DWORD errors = 0;
        COMSTAT status{};
        if (!::ClearCommError(handle, &errors, &status)) {
            Fail(static_cast<int>(::GetLastError()));
            return EchoCheck::Failed;
        }
        // The bytes are there already: the read returns at once.
        const DWORD waiting = std::min<DWORD>(status.cbInQue, count - echoed);
        DWORD received = 0;
        if (waiting > 0 && !::ReadFile(handle, echo + echoed, waiting, &received, nullptr)) {
            Fail(static_cast<int>(::GetLastError()));
            return EchoCheck::Failed;
        }
        const std::uint32_t before = echoed;
        echoed += received;
        if (!EchoMatches(data, echo, before, echoed)) {
            Succeed();
            return EchoCheck::Differs;
        }
    }
    const std::uint32_t before = echoed;
    DWORD received = 0;
    const BOOL read = ::ReadFile(handle, echo + echoed, count - echoed, &received, nullptr);
    const DWORD error = read ? ERROR_SUCCESS : ::GetLastError();
    echoed += received;
    if (!EchoMatches(data, echo, before, echoed)) {
        Succeed();
        return EchoCheck::Differs;
    }
    if (!read) {
        Fail(static_cast<int>(error));
        return EchoCheck::Failed;
    }
    if (echoed != count) {
        Fail(ShortTransferError(handle));
        return EchoCheck::Failed;
    }
    Succeed();
    return EchoCheck::Same;
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
