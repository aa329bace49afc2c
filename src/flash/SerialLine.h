#pragma once

#include "flash/Platform.h"

#include <cstdint>
#include <functional>
#include <string>
#include <utility>

namespace tamsivo {

// What came back of a frame written through an adapter that echoes every byte it passes.
enum class EchoCheck {
    Same,    // the whole echo came back and equals what was written
    Differs, // a byte came back other than the one written; nothing after it was written
    Failed,  // the write or the echo failed; LastError() says why
};

// Which way a chunk of bytes went through the line.
enum class LineDirection { Sent, Received };

// Shown every chunk of bytes the line moves, as the system moved it and when: each write() or
// read() (WriteFile, ReadFile on Windows) that moved any, with its bytes. Called on the thread
// of the transfer, before the transfer goes on.
using LineTap = std::function<void(LineDirection, const std::uint8_t*, std::uint32_t)>;

// One open serial device, 8N1 at a given baud rate, with whole-buffer blocking transfers.
// Every operation returns false on failure and never retries; the caller chooses the message,
// and LastError() keeps the operating system's reason for it. The operations are virtual so
// that tests can stand a scripted line in for the device.
//
// Timeouts for a timeout t (ms): a read of n bytes gives up after 10 * n + t ms in all, or
// when more than t ms pass between two received bytes; a write of n bytes may take
// min(t * n, t + n) + 10 ms; a write with its echo fails once neither a byte goes out nor one
// comes back for t ms.
class SerialLine {
public:
    SerialLine() = default;
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;
    virtual ~SerialLine();

    // Opens the device exclusively and configures it; fails without effect when already open.
    virtual bool Open(const char* devicePath, std::uint32_t baudRate, std::uint32_t timeoutMs);
    virtual bool SetTimeouts(std::uint32_t timeoutMs);
    // Discards what the driver holds in both directions.
    virtual bool Purge();
    // Always succeeds; closing a closed line is harmless.
    virtual bool Close();
    // Succeed only when exactly `count` bytes were transferred.
    virtual bool Write(const std::uint8_t* data, std::uint32_t count);
    virtual bool Read(std::uint8_t* buffer, std::uint32_t count);
    // Writes `count` bytes and reads their echo into `echo` while they go out, comparing it as it
    // comes. An adapter echoes each byte as it passes and every buffer between it and us is
    // bounded: a frame larger than those buffers never goes out whole while nobody reads its
    // echo. Reads no byte beyond the echo, so what follows it stays for the next Read.
    virtual EchoCheck WriteEchoed(const std::uint8_t* data, std::uint32_t count,
                                  std::uint8_t* echo);
    // How many received bytes the driver holds that nobody has read yet; does not wait.
    virtual bool BytesWaiting(std::uint32_t* count);

    bool IsOpen() const { return handle_ != kInvalidHandle; }

    // Shows every chunk from now on to `tap`; an empty one to nobody. The pieces a transfer
    // arrives in, and when, are what tells a slow adapter from a silent one.
    void SetTap(LineTap tap) { tap_ = std::move(tap); }

    // What the last Write, Read or WriteEchoed moved, also when it failed or the echo differed:
    // the bytes written, and the bytes received, which lie at the start of the caller's buffer.
    // A byte read is the line's evidence even when the transfer as a whole failed.
    struct Transferred {
        std::uint32_t written = 0;
        std::uint32_t received = 0;
    };
    const Transferred& LastTransfer() const { return transferred_; }

    // Why the last operation failed, as the operating system said it (errno on POSIX,
    // GetLastError() on Windows; a timeout is ETIMEDOUT or ERROR_TIMEOUT, a claimed port EBUSY
    // or ERROR_BUSY); 0 when it succeeded.
    int LastError() const { return lastError_; }
    // The same in the system's words, UTF-8; empty when it succeeded.
    std::string LastErrorMessage() const {
        return lastError_ == 0 ? std::string() : SystemErrorText(lastError_);
    }

protected:
    // Records `code` as the reason of a failure and returns false, for `return Fail(...)`.
    bool Fail(int code) {
        lastError_ = code;
        return false;
    }
    bool Succeed() {
        lastError_ = 0;
        return true;
    }
    // Starts counting a transfer's bytes afresh; the counts are the transfer's own to update.
    Transferred& BeginTransfer() {
        transferred_ = {};
        return transferred_;
    }

    void Tap(LineDirection direction, const std::uint8_t* bytes, std::uint32_t count) const {
        if (tap_ && count > 0) {
            tap_(direction, bytes, count);
        }
    }

    // A Win32 HANDLE or a POSIX file descriptor; -1 is the closed value of both.
    static constexpr std::intptr_t kInvalidHandle = -1;
    std::intptr_t handle_ = kInvalidHandle;
    // Windows: the named object that marks the port as ours for every Tamsivo program, held
    // while the line is open. POSIX needs none: the lock lives on the descriptor itself.
    std::intptr_t portLock_ = 0;
    // Linux: Open switched the driver's low-latency mode on, and Close switches it off again.
    bool lowLatencySet_ = false;
    std::uint32_t timeoutMs_ = 0;
    std::uint32_t baudRate_ = 0; // as opened
    int lastError_ = 0;
    Transferred transferred_;
    LineTap tap_;
};

} // namespace tamsivo
