// The POSIX serial line against a real pseudo-terminal: the test plays the adapter on the
// master side while the line under test owns the slave.
#include "flash/Platform.h"
#include "flash/SerialLine.h"
#include "flash/SerialPorts.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace tamsivo {
namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kBaud = 115200;
// poll() rounds its timeout up, so a deadline is never met early; the tolerance only absorbs
// the two clocks being read at slightly different moments.
constexpr long long kEarlyMs = 5;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

bool WriteAll(int fd, const Bytes& bytes) {
    std::size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (done < bytes.size() && Clock::now() < deadline) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else {
            pollfd pfd{fd, POLLOUT, 0};
            ::poll(&pfd, 1, 100);
        }
    }
    return done == bytes.size();
}

Bytes ReadAll(int fd, std::size_t count) {
    Bytes bytes(count);
    std::size_t done = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (done < count && Clock::now() < deadline) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 100) > 0 && (pfd.revents & POLLIN) != 0) {
            const ssize_t n = ::read(fd, bytes.data() + done, count - done);
            done += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
    }
    bytes.resize(done);
    return bytes;
}

class SerialLinePosix : public ::testing::Test {
protected:
    void SetUp() override {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(master_, 0);
        ASSERT_EQ(::grantpt(master_), 0);
        ASSERT_EQ(::unlockpt(master_), 0);
        char name[PATH_MAX] = {};
        ASSERT_EQ(::ptsname_r(master_, name, sizeof name), 0);
        path_ = name;
        ASSERT_EQ(::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK), 0);
        // The test's own view of the slave: termios and the input queue are shared with the
        // line under test, and holding it keeps the slave alive across the line's closes.
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(slave_, 0);
    }
    void TearDown() override {
        HangUp();
        ::close(slave_);
    }
    void HangUp() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }
    bool Open(SerialLine& line, std::uint32_t timeoutMs = 300) {
        return line.Open(path_.c_str(), kBaud, timeoutMs);
    }

    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// Each refusal keeps the system's reason for the caller, and leaves the port as it was.
TEST_F(SerialLinePosix, OpenAndCloseFollowTheirRulesAndSayWhyTheyFail) {
    SerialLine line;
    std::uint8_t byte = 0x55;
    EXPECT_FALSE(line.Write(&byte, 1));
    EXPECT_EQ(line.LastError(), EBADF);
    EXPECT_FALSE(line.Read(&byte, 1));
    EXPECT_FALSE(line.Purge());
    EXPECT_FALSE(line.SetTimeouts(100));
    std::uint32_t waiting = 0;
    EXPECT_FALSE(line.BytesWaiting(&waiting));
    EXPECT_TRUE(line.Close());

    EXPECT_FALSE(line.Open("/dev/this-port-does-not-exist", kBaud, 300));
    EXPECT_EQ(line.LastError(), ENOENT);
    EXPECT_EQ(line.LastErrorMessage(), "No such file or directory");
    EXPECT_FALSE(line.Open("", kBaud, 300));
    EXPECT_EQ(line.LastError(), EINVAL);
    EXPECT_FALSE(line.Open("/dev/null", kBaud, 300));
    EXPECT_EQ(line.LastError(), ENOTTY);
    EXPECT_FALSE(line.Open(path_.c_str(), 12345, 300));
    EXPECT_EQ(line.LastError(), EINVAL) << "a rate the driver has no constant for";
    EXPECT_FALSE(line.IsOpen());

    ASSERT_TRUE(Open(line));
    EXPECT_EQ(line.LastError(), 0);
    EXPECT_EQ(line.LastErrorMessage(), "");
    EXPECT_FALSE(Open(line)) << "a second Open of an open line";
    EXPECT_EQ(line.LastError(), EBUSY);
    EXPECT_TRUE(line.IsOpen());
    EXPECT_TRUE(line.Write(&byte, 1));
    EXPECT_EQ(ReadAll(master_, 1), Bytes{0x55});
    const auto start = Clock::now();
    EXPECT_TRUE(line.Read(&byte, 0));
    EXPECT_LT(MsSince(start), 100) << "reading nothing must not wait";

    // Held: every other opener is refused, another process and root included (TIOCEXCL alone
    // would let root in), and the terminal's exclusive flag goes with the holder.
    SerialLine other;
    EXPECT_FALSE(Open(other));
    EXPECT_EQ(other.LastError(), EBUSY);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SerialLine intruder;
        ::_exit(intruder.Open(path_.c_str(), kBaud, 300) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a second process got in";
    int exclusive = -1;
    ASSERT_EQ(::ioctl(slave_, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
    EXPECT_TRUE(line.Close());
    EXPECT_TRUE(line.Close());
    ASSERT_EQ(::ioctl(slave_, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0) << "left set, it would keep every other user out";
    EXPECT_TRUE(Open(other));
}

TEST_F(SerialLinePosix, OpenMakesACookedTerminalRawSoEveryBytePassesUnchanged) {
    termios cooked{};
    ASSERT_EQ(::tcgetattr(slave_, &cooked), 0);
    cooked.c_iflag |= IXON | IXOFF | IXANY | ICRNL | INLCR | ISTRIP;
    cooked.c_oflag |= OPOST | ONLCR;
    cooked.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    cooked.c_cflag = (cooked.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB | CRTSCTS;
    cooked.c_cc[VMIN] = 1;
    cooked.c_cc[VTIME] = 5;
    ASSERT_EQ(::tcsetattr(slave_, TCSANOW, &cooked), 0);

    SerialLine line;
    ASSERT_TRUE(Open(line));
    termios raw{};
    ASSERT_EQ(::tcgetattr(slave_, &raw), 0);
    EXPECT_EQ(raw.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
    EXPECT_EQ(raw.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(raw.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(raw.c_oflag & OPOST, 0u);
    EXPECT_EQ(raw.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(raw.c_cc[VMIN], 0);
    EXPECT_EQ(raw.c_cc[VTIME], 0);
    EXPECT_EQ(::cfgetospeed(&raw), static_cast<speed_t>(B115200));
    // Every standard rate the driver has a constant for.
    line.Close();
    for (const auto& [rate, constant] : std::vector<std::pair<std::uint32_t, speed_t>>{
             {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
             {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
             {230400, B230400},   {460800, B460800},   {500000, B500000},   {576000, B576000},
             {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
             {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000},
             {4000000, B4000000}, {115200, B115200}}) {
        ASSERT_TRUE(line.Open(path_.c_str(), rate, 300)) << rate;
        ASSERT_EQ(::tcgetattr(slave_, &raw), 0);
        EXPECT_EQ(::cfgetospeed(&raw), constant) << rate;
        line.Close();
    }
    ASSERT_TRUE(Open(line));

    // Flow-control, line-editing, signal and newline bytes, in both directions.
    const Bytes bytes = {0x00, 0x0A, 0x0D, 0x11, 0x13, 0xFF, 0x03, 0x04, 0x08, 0x0F,
                         0x12, 0x15, 0x16, 0x17, 0x1A, 0x1C, 0x7F, 0x0D, 0x0A, 0x80};
    ASSERT_TRUE(line.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    EXPECT_EQ(ReadAll(master_, bytes.size()), bytes);
    ASSERT_TRUE(WriteAll(master_, bytes));
    Bytes received(bytes.size());
    EXPECT_TRUE(line.Read(received.data(), static_cast<std::uint32_t>(received.size())));
    EXPECT_EQ(received, bytes);
}

// For a timeout t a read of n bytes gives up after 10 n + t ms in all, or t ms after the last
// byte; a write of n bytes after t n + 10 ms.
TEST_F(SerialLinePosix, TransfersGiveUpAtTheirTimeouts) {
    constexpr std::uint32_t t = 300;
    SerialLine line;
    ASSERT_TRUE(Open(line, t));

    // Silence: the total deadline.
    Bytes received(20);
    auto start = Clock::now();
    EXPECT_FALSE(line.Read(received.data(), 20));
    EXPECT_EQ(line.LastError(), ETIMEDOUT);
    EXPECT_GE(MsSince(start), 10 * 20 + t - kEarlyMs);
    EXPECT_LT(MsSince(start), 10 * 20 + t + 1000);

    // Bytes in pieces within t of each other complete the count; then they stop, and the
    // inter-byte timer ends the read long before the total deadline (10 * 200 + t).
    std::atomic<long long> lastSentMs{0};
    std::thread farEnd([&] {
        WriteAll(master_, {1, 2, 3});
        std::this_thread::sleep_for(std::chrono::milliseconds(t / 2)); // a gap under t
        WriteAll(master_, {4, 5});
        std::this_thread::sleep_for(std::chrono::milliseconds(t / 2));
        lastSentMs = MsSince(Clock::time_point{});
        WriteAll(master_, {6});
    });
    received.assign(5, 0);
    EXPECT_TRUE(line.Read(received.data(), 5));
    EXPECT_EQ(received, (Bytes{1, 2, 3, 4, 5}));
    received.assign(200, 0);
    EXPECT_FALSE(line.Read(received.data(), 200));
    const long long endMs = MsSince(Clock::time_point{});
    farEnd.join();
    EXPECT_GE(endMs - lastSentMs, t - kEarlyMs) << "the inter-byte timer fired early";
    EXPECT_LT(endMs - lastSentMs, 1000) << "the total deadline ended the read instead";
    EXPECT_EQ(received[0], 6) << "what came is left in the buffer";

    // A far end that takes nothing more: a write gives up after t ms a byte, but never after
    // more than t + 1 ms a byte (here 1.3 s, not 2 minutes).
    ASSERT_EQ(::tcflow(slave_, TCOOFF), 0); // output suspended, as by a stuck adapter
    const Bytes frame(1200, 0x5A);
    ASSERT_TRUE(line.SetTimeouts(100));
    start = Clock::now();
    EXPECT_FALSE(line.Write(frame.data(), static_cast<std::uint32_t>(frame.size())));
    EXPECT_EQ(line.LastError(), ETIMEDOUT);
    EXPECT_GE(MsSince(start), 100 + 1200 - kEarlyMs);
    EXPECT_LT(MsSince(start), 5000);
    ::tcflow(slave_, TCOON);
}

// A signal (Ctrl+C, a terminal closed) interrupts the wait for bytes; the wait goes on.
TEST_F(SerialLinePosix, ASignalDuringAWaitIsNoFailure) {
    static std::atomic<int> delivered{0};
    struct sigaction action {};
    struct sigaction saved {};
    action.sa_handler = [](int) { ++delivered; };
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &saved), 0);
    SerialLine line;
    ASSERT_TRUE(Open(line, 5000));
    std::atomic<pid_t> reader{0};
    std::uint8_t byte = 0;
    bool read = false;
    std::thread thread([&] {
        reader = ::gettid();
        read = line.Read(&byte, 1);
    });
    // The signal must come while the reader sleeps in poll(), which /proc tells.
    const auto inPoll = [&] {
        std::ifstream call("/proc/self/task/" + std::to_string(reader) + "/syscall");
        long number = -1;
        return call >> number && (number == SYS_poll || number == SYS_ppoll);
    };
    while (reader == 0 || !inPoll()) {
        std::this_thread::yield();
    }
    ASSERT_EQ(::tgkill(::getpid(), reader, SIGUSR1), 0);
    while (delivered == 0) {
        std::this_thread::yield();
    }
    WriteAll(master_, {0x42});
    thread.join();
    ::sigaction(SIGUSR1, &saved, nullptr);
    EXPECT_TRUE(read) << line.LastErrorMessage();
    EXPECT_EQ(byte, 0x42);
}

TEST_F(SerialLinePosix, AHangUpFailsEveryTransferAtOnce) {
    SerialLine line;
    ASSERT_TRUE(Open(line, 5000));
    HangUp(); // the adapter vanishes
    std::uint8_t buffer[4] = {};
    const auto start = Clock::now();
    EXPECT_FALSE(line.Read(buffer, sizeof buffer));
    const Bytes big(1 << 20, 0x5A);
    EXPECT_FALSE(line.Write(big.data(), static_cast<std::uint32_t>(big.size())));
    EXPECT_NE(line.LastError(), ETIMEDOUT);
    EXPECT_LT(MsSince(start), 2000) << "a hang-up must not wait out a 5 s timeout";
}

TEST_F(SerialLinePosix, PurgeDiscardsWhatWaitsAndBytesWaitingCountsIt) {
    SerialLine line;
    ASSERT_TRUE(Open(line));
    ASSERT_TRUE(WriteAll(master_, {0x01, 0x02, 0x03}));
    std::uint32_t waiting = 0;
    for (pollfd pfd{slave_, POLLIN, 0}; line.BytesWaiting(&waiting) && waiting < 3;) {
        ASSERT_GT(::poll(&pfd, 1, 5000), 0);
    }
    EXPECT_EQ(waiting, 3u);
    EXPECT_TRUE(line.Purge());
    ASSERT_TRUE(WriteAll(master_, {0x7E}));
    std::uint8_t byte = 0;
    EXPECT_TRUE(line.Read(&byte, 1));
    EXPECT_EQ(byte, 0x7E) << "a byte from before the purge survived it";
}

TEST(SerialPortsPosix, PortNamesStayInsideDevAndTheListIsInNaturalOrder) {
    EXPECT_EQ(DevicePathForPort("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(DevicePathForPort("/dev/pts/7"), "/dev/pts/7");
    for (const std::string& refused :
         {std::string(), std::string("../etc/passwd"), std::string("pts/7"), std::string(".."),
          std::string("tty\0S0", 6), "/dev/" + std::string(PATH_MAX, 'x')}) {
        EXPECT_EQ(DevicePathForPort(refused), "") << refused;
    }
    const std::vector<std::string> ports = FreeSerialPorts();
    for (std::size_t i = 1; i < ports.size(); ++i) {
        EXPECT_NE(ports[i - 1], ports[i]);
    }
}

} // namespace
} // namespace tamsivo
