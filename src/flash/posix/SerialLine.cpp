#include "flash/SerialLine.h"

#include "flash/posix/SerialStructIoctl.h"
#include "flash/posix/SystemTree.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace tamsivo {

namespace {

using Clock = std::chrono::steady_clock;

bool BaudConstant(std::uint32_t baudRate, speed_t* speed) {
    struct Rate {
        std::uint32_t baud;
        speed_t constant;
    };
    static constexpr Rate kRates[] = {
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
    };
    for (const Rate& rate : kRates) {
        if (rate.baud == baudRate) {
            *speed = rate.constant;
            return true;
        }
    }
    return false;
}

// Raw 8N1 without any flow control: the adapter's bytes include 0x11 and 0x13, which a
// software flow control would swallow, and it drives no handshake lines.
bool ConfigureTerminal(int fd, speed_t speed) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        return false;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | IGNPAR);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0) {
        return false;
    }
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        return false;
    }
    // tcsetattr succeeds when any one of the changes took, so read back what matters.
    termios applied{};
    if (::tcgetattr(fd, &applied) != 0) {
        return false;
    }
    const tcflag_t cflagMask = CSIZE | PARENB | CSTOPB | CRTSCTS;
    const tcflag_t iflagMask = IXON | IXOFF | IXANY | ISTRIP | ICRNL | INLCR | IGNCR;
    const tcflag_t lflagMask = ICANON | ECHO | ISIG | IEXTEN;
    if ((applied.c_cflag & cflagMask) == CS8 && (applied.c_iflag & iflagMask) == 0 &&
        (applied.c_lflag & lflagMask) == 0 && (applied.c_oflag & OPOST) == 0 &&
        applied.c_cc[VMIN] == 0 && applied.c_cc[VTIME] == 0) {
        return true;
    }
    errno = EINVAL; // the driver would not take the settings
    return false;
}

// The adapter is powered or reset through DTR/RTS on some cables; both stay low. A
// pseudo-terminal has no modem lines and refuses the request, which is fine.
bool DropModemLines(int fd) {
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (::ioctl(fd, TIOCMBIC, &lines) == 0) {
        return true;
    }
    return errno == ENOTTY || errno == EINVAL;
}

// USB serial adapters hold received bytes until their latency timer runs out, 16 ms on the
// common chips, and every frame waits for one such hold, its echo's tail and its answer riding
// in one packet: two thirds of what a 256-byte frame takes on the line at 115200 baud. A
// driver that knows the low-latency mode then passes bytes on at once or shortens the timer to
// 1 ms. The mode only saves time, so no refusal fails the open: pseudo-terminals and many
// drivers have no such mode (ENOTTY, EINVAL), and cdc-acm refuses even the struct it gave, to
// a user without CAP_SYS_ADMIN, on many kernels (EPERM, or EOPNOTSUPP). Returns whether it
// switched the mode on, and so must switch it off again.
bool EnableLowLatency(int fd) {
    serial_struct info{};
    if (serialStructIoctl(fd, TIOCGSERIAL, &info) != 0 || (info.flags & ASYNC_LOW_LATENCY) != 0) {
        return false; // no such mode, or somebody wanted it before us and keeps it after us
    }
    info.flags |= ASYNC_LOW_LATENCY;
    return serialStructIoctl(fd, TIOCSSERIAL, &info) == 0;
}

// Only our bit goes back: the rest of the flags is the driver's and the administrator's.
void DisableLowLatency(int fd) {
    serial_struct info{};
    if (serialStructIoctl(fd, TIOCGSERIAL, &info) == 0) {
        info.flags &= ~ASYNC_LOW_LATENCY;
        serialStructIoctl(fd, TIOCSSERIAL, &info);
    }
}

// Milliseconds for poll() until `deadline`, rounded up so that a wake-up never comes before
// it (a zero would spin on the last fraction of a millisecond).
int PollTimeout(Clock::time_point now, Clock::time_point deadline) {
    const auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    constexpr long long kMaxPoll = 60 * 60 * 1000;
    return static_cast<int>(remaining > kMaxPoll ? kMaxPoll : remaining);
}

// Waits until `fd` is ready for one of `events` or `deadline` passes: 0, ETIMEDOUT, or why it
// failed; `ready` gets the events that came. A hang-up or an error fails at once: nothing more
// will come, so waiting out the timeout would only delay the verdict.
int WaitFor(int fd, short events, Clock::time_point deadline, short* ready = nullptr) {
    for (;;) {
        const auto now = Clock::now();
        if (now >= deadline) {
            return ETIMEDOUT;
        }
        pollfd pfd{fd, events, 0};
        const int count = ::poll(&pfd, 1, PollTimeout(now, deadline));
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (count == 0) {
            continue;
        }
        if (ready != nullptr) {
            *ready = static_cast<short>(pfd.revents & events);
        }
        // Data that came before a hang-up is still delivered.
        return (pfd.revents & events) != 0 ? 0 : EIO;
    }
}

// A long read at the line's pace would wake for every byte or two: at 115200 baud some ten
// thousand wake-ups a second for each port, a real share of a core for a few ports at once.
// When the `received` bytes just taken came no faster than the line carries them (in
// `sinceLast`, the time since the bytes before them or since the read began), they are coming
// as they cross the line, and the `left` still to come cannot come sooner than the line needs
// for them: the read sleeps for all but the last of them (so that the last is still taken at
// once) and takes them in one go. Bytes that came faster than that were waiting already and
// are taken without a pause. A hang-up ends the sleep at once: poll() reports it even when
// asked for no event. The sleep ends by `deadline`, which the caller keeps within the total
// timeout and a quarter of the inter-byte one, so a far end that falls silent meanwhile is
// given up on no later than without the sleep.
void AwaitTheRest(int fd, std::uint32_t baudRate, std::uint32_t received, std::uint32_t left,
                  Clock::duration sinceLast, Clock::time_point deadline) {
    if (baudRate == 0 || left < 3) {
        return;
    }
    const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / baudRate);
    if (received * byteTime > sinceLast + byteTime) {
        return;
    }
    // The terminal holds 4 KiB of input at most; with more on its way the sender stalls (a
    // pseudo-terminal) or bytes are lost (a driver that cannot hold them back) until it is read.
    constexpr std::uint32_t kSafelyHeld = 2048;
    const auto now = Clock::now();
    const auto wake = std::min(now + (std::min(left, kSafelyHeld) - 1) * byteTime, deadline);
    if (wake <= now) {
        return;
    }
    const auto sleep = std::chrono::duration_cast<std::chrono::nanoseconds>(wake - now);
    const timespec timeout{static_cast<time_t>(sleep.count() / 1'000'000'000),
                           static_cast<long>(sleep.count() % 1'000'000'000)};
    pollfd pfd{fd, 0, 0};
    ::ppoll(&pfd, 1, &timeout, nullptr);
}

void CloseDescriptor(int fd, bool exclusive) {
    if (exclusive) {
        // The exclusive flag belongs to the terminal, not to this descriptor: left set, it
        // would keep everyone else out after we are gone.
        ::ioctl(fd, TIOCNXCL);
    }
    ::close(fd);
}

} // namespace

SerialLine::~SerialLine() {
    SerialLine::Close();
}

bool SerialLine::Open(const char* devicePath, std::uint32_t baudRate, std::uint32_t timeoutMs) {
    if (IsOpen()) {
        return Fail(EBUSY);
    }
    speed_t speed = 0;
    if (devicePath == nullptr || devicePath[0] == '\0' || !BaudConstant(baudRate, &speed)) {
        return Fail(EINVAL);
    }
    // Every open raises DTR and RTS, and a terminal program that takes neither a lock nor the
    // exclusive flag would then read our frames: a port another process holds is not opened.
    if (!PortHolder(devicePath, "/").empty()) {
        return Fail(EBUSY);
    }
    const int fd = ::open(devicePath, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return Fail(errno);
    }
    // The lock comes before TIOCEXCL: when someone else holds the port, the terminal's
    // exclusive flag is theirs and must not be touched on our way out. TIOCEXCL alone does
    // not stop root; the lock does, across processes and between descriptors of one process.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        return Fail(error);
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        const int error = errno;
        ::close(fd);
        return Fail(error);
    }
    // A device that is no terminal fails here with ENOTTY.
    if (::tcflush(fd, TCIOFLUSH) != 0 || !ConfigureTerminal(fd, speed) || !DropModemLines(fd)) {
        const int error = errno;
        CloseDescriptor(fd, true);
        return Fail(error);
    }
    lowLatencySet_ = EnableLowLatency(fd);
    handle_ = fd;
    baudRate_ = baudRate;
    SetTimeouts(timeoutMs);
    return Succeed();
}

bool SerialLine::SetTimeouts(std::uint32_t timeoutMs) {
    if (!IsOpen()) {
        return Fail(EBADF);
    }
    timeoutMs_ = timeoutMs;
    return Succeed();
}

bool SerialLine::Purge() {
    if (!IsOpen()) {
        return Fail(EBADF);
    }
    return ::tcflush(static_cast<int>(handle_), TCIOFLUSH) == 0 ? Succeed() : Fail(errno);
}

bool SerialLine::Close() {
    if (IsOpen()) {
        if (lowLatencySet_) {
            DisableLowLatency(static_cast<int>(handle_));
            lowLatencySet_ = false;
        }
        CloseDescriptor(static_cast<int>(handle_), true);
        handle_ = kInvalidHandle;
    }
    return Succeed();
}

bool SerialLine::Write(const std::uint8_t* data, std::uint32_t count) {
    std::uint32_t& done = BeginTransfer().written;
    if (!IsOpen()) {
        return Fail(EBADF);
    }
    const int fd = static_cast<int>(handle_);
    // t ms a byte, but never more than t + 1 ms a byte: a port that stopped taking bytes
    // would otherwise hold a large frame for days, beyond the reach of the stop command.
    const std::uint64_t limitMs =
        std::min(std::uint64_t{timeoutMs_} * count, std::uint64_t{timeoutMs_} + count) + 10;
    const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
    while (done < count) {
        const ssize_t written = ::write(fd, data + done, count - done);
        if (written > 0) {
            Tap(LineDirection::Sent, data + done, static_cast<std::uint32_t>(written));
            done += static_cast<std::uint32_t>(written);
            continue;
        }
        if (written == 0) {
            return Fail(EIO); // a terminal never accepts nothing without saying why
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return Fail(errno); // EIO after a hang-up among others
        }
        if (const int error = WaitFor(fd, POLLOUT, deadline); error != 0) {
            return Fail(error);
        }
    }
    return Succeed();
}

bool SerialLine::Read(std::uint8_t* buffer, std::uint32_t count) {
    std::uint32_t& got = BeginTransfer().received;
    if (!IsOpen()) {
        return Fail(EBADF);
    }
    const int fd = static_cast<int>(handle_);
    const auto start = Clock::now();
    const auto interByte = std::chrono::milliseconds(timeoutMs_);
    const auto total = start + std::chrono::milliseconds(std::uint64_t{10} * count + timeoutMs_);
    Clock::time_point lastByte{};
    while (got < count) {
        auto deadline = total;
        if (got > 0 && lastByte + interByte < deadline) {
            deadline = lastByte + interByte;
        }
        // With VMIN and VTIME at 0 an empty terminal reads as 0 bytes, just like a hung-up
        // one, so read() is only asked after poll() has reported input.
        if (const int error = WaitFor(fd, POLLIN, deadline); error != 0) {
            return Fail(error);
        }
        const ssize_t received = ::read(fd, buffer + got, count - got);
        if (received > 0) {
            Tap(LineDirection::Received, buffer + got, static_cast<std::uint32_t>(received));
            const Clock::time_point before = got == 0 ? start : lastByte;
            got += static_cast<std::uint32_t>(received);
            lastByte = Clock::now();
            AwaitTheRest(fd, baudRate_, static_cast<std::uint32_t>(received), count - got,
                         lastByte - before, std::min(total, lastByte + interByte / 4));
            continue;
        }
        if (received < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            continue;
        }
        return Fail(received < 0 ? errno : EIO); // 0 after POLLIN is a hang-up, and so is EIO
    }
    return Succeed();
}

// One loop serves both directions: whatever the driver takes goes out, whatever came back is
// compared at once. Waiting for the whole frame to go out first would stall as soon as the
// frame outgrows the buffers that hold its echo meanwhile (the adapter's, the driver's, a
// pseudo-terminal's): the adapter stops taking bytes, or drops them, while nobody reads.
EchoCheck SerialLine::WriteEchoed(const std::uint8_t* data, std::uint32_t count,
                                  std::uint8_t* echo) {
    Transferred& moved = BeginTransfer();
    if (!IsOpen()) {
        Fail(EBADF);
        return EchoCheck::Failed;
    }
    const int fd = static_cast<int>(handle_);
    const auto start = Clock::now();
    const auto stall = std::chrono::milliseconds(timeoutMs_);
    const auto total = start + std::chrono::milliseconds(std::uint64_t{10} * count + timeoutMs_);
    Clock::time_point progress = start;
    Clock::time_point lastEcho = start;
    std::uint32_t& written = moved.written;
    std::uint32_t& echoed = moved.received;
    while (echoed < count) {
        if (written < count) {
            const ssize_t sent = ::write(fd, data + written, count - written);
            if (sent > 0) {
                Tap(LineDirection::Sent, data + written, static_cast<std::uint32_t>(sent));
                written += static_cast<std::uint32_t>(sent);
                progress = Clock::now();
            } else if (sent == 0) {
                Fail(EIO); // a terminal never accepts nothing without saying why
                return EchoCheck::Failed;
            } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                Fail(errno); // EIO after a hang-up among others
                return EchoCheck::Failed;
            }
        }
        short ready = 0;
        const short events = static_cast<short>(POLLIN | (written < count ? POLLOUT : 0));
        if (const int error = WaitFor(fd, events, std::min(total, progress + stall), &ready);
            error != 0) {
            Fail(error);
            return EchoCheck::Failed;
        }
        if ((ready & POLLIN) == 0) {
            continue; // room to write
        }
        const ssize_t received = ::read(fd, echo + echoed, count - echoed);
        if (received > 0) {
            const auto got = static_cast<std::uint32_t>(received);
            Tap(LineDirection::Received, echo + echoed, got);
            if (std::memcmp(echo + echoed, data + echoed, got) != 0) {
                echoed += got;
                Succeed();
                return EchoCheck::Differs;
            }
            const Clock::time_point before = lastEcho;
            echoed += got;
            progress = lastEcho = Clock::now();
            // While bytes are still to be written only half of what is owed is slept through,
            // so that the driver is fed again before it runs dry.
            const std::uint32_t owed = written - echoed;
            AwaitTheRest(fd, baudRate_, got, written < count ? owed / 2 : owed, lastEcho - before,
                         std::min(total, lastEcho + stall / 4));
            continue;
        }
        if (received < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) {
            continue;
        }
        Fail(received < 0 ? errno : EIO); // 0 after POLLIN is a hang-up, and so is EIO
        return EchoCheck::Failed;
    }
    Succeed();
    return EchoCheck::Same;
}

bool SerialLine::BytesWaiting(std::uint32_t* count) {
    int waiting = 0;
    if (!IsOpen()) {
        return Fail(EBADF);
    }
    if (::ioctl(static_cast<int>(handle_), FIONREAD, &waiting) != 0) {
        return Fail(errno);
    }
    *count = static_cast<std::uint32_t>(waiting < 0 ? 0 : waiting);
    return Succeed();
}

} // namespace tamsivo
