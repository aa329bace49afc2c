// The POSIX serial line against a real pseudo-terminal: the test plays the adapter on the
// master side while the line under test owns the slave.

#include "flash/Platform.h"
#include "flash/SerialLine.h"
#include "flash/SerialPorts.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
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
constexpr long long kEarlyToleranceMs = 5;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Writes everything to a descriptor, waiting for room with a deadline.
bool WriteFully(int fd, const Bytes& bytes) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        }
        pollfd pfd{fd, POLLOUT, 0};
        if (Clock::now() >= deadline || ::poll(&pfd, 1, 100) < 0) {
            return false;
        }
    }
    return true;
}

// Reads exactly `count` bytes from a descriptor or gives up after a generous deadline.
Bytes ReadFully(int fd, std::size_t count) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    Bytes bytes(count);
    std::size_t done = 0;
    while (done < count && Clock::now() < deadline) {
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, 100) <= 0 || (pfd.revents & POLLIN) == 0) {
            continue;
        }
        const ssize_t n = ::read(fd, bytes.data() + done, count - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        }
    }
    bytes.resize(done);
    return bytes;
}

// Sends one byte every `interval` from a thread until `count` bytes went out or Stop().
class Trickle {
public:
    Trickle(int fd, std::chrono::milliseconds interval, int count)
        : thread_([this, fd, interval, count] {
              std::unique_lock lock(mutex_);
              for (int i = 0; i < count; ++i) {
                  if (wake_.wait_for(lock, interval, [this] { return stop_; })) {
                      return;
                  }
                  const std::uint8_t byte = static_cast<std::uint8_t>(0x40 + i);
                  if (::write(fd, &byte, 1) != 1) {
                      return;
                  }
                  sent_.fetch_add(1);
              }
          }) {}
    ~Trickle() { Stop(); }
    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    int Sent() const { return sent_.load(); }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    std::atomic<int> sent_{0};
    std::thread thread_;
};

class SerialLinePosix : public ::testing::Test {
protected:
    void SetUp() override {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(master_, 0) << "posix_openpt: errno " << errno;
        ASSERT_EQ(::grantpt(master_), 0);
        ASSERT_EQ(::unlockpt(master_), 0);
        char name[PATH_MAX] = {};
        ASSERT_EQ(::ptsname_r(master_, name, sizeof name), 0);
        slavePath_ = name;
        ASSERT_EQ(::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK), 0);
        // The test's own view of the slave: termios and the input queue are shared with the
        // line under test, and holding it keeps the slave alive across the line's closes.
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(slave_, 0) << "open " << name << ": errno " << errno;
    }

    void TearDown() override {
        CloseMaster();
        if (slave_ >= 0) {
            ::close(slave_);
        }
    }

    void CloseMaster() {
        if (master_ >= 0) {
            ::close(master_);
            master_ = -1;
        }
    }

    // Waits until the slave's input queue holds `count` bytes.
    bool WaitForQueuedInput(int count) {
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < deadline) {
            int queued = 0;
            if (::ioctl(slave_, FIONREAD, &queued) != 0) {
                return false;
            }
            if (queued >= count) {
                return true;
            }
            pollfd pfd{slave_, POLLIN, 0};
            ::poll(&pfd, 1, 10);
        }
        return false;
    }

    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

TEST_F(SerialLinePosix, StateRulesOfOpenAndClose) {
    SerialLine line;
    std::uint8_t byte = 0x55;
    EXPECT_FALSE(line.IsOpen());
    EXPECT_FALSE(line.Write(&byte, 1));
    EXPECT_FALSE(line.Read(&byte, 1));
    EXPECT_FALSE(line.Purge());
    EXPECT_FALSE(line.SetTimeouts(100));
    EXPECT_TRUE(line.Close());

    ASSERT_TRUE(line.Open(slavePath_.c_str(), kBaud, 300));
    EXPECT_TRUE(line.IsOpen());
    // A second Open, even of the same device, is refused and leaves the open line working.
    EXPECT_FALSE(line.Open(slavePath_.c_str(), kBaud, 300));
    EXPECT_TRUE(line.IsOpen());
    EXPECT_TRUE(line.Write(&byte, 1));
    EXPECT_EQ(ReadFully(master_, 1), Bytes{0x55});
    EXPECT_TRUE(line.SetTimeouts(200));
    EXPECT_TRUE(line.Purge());

    const auto start = Clock::now();
    EXPECT_TRUE(line.Read(&byte, 0));
    EXPECT_LT(MsSince(start), 100) << "reading nothing must not wait";

    EXPECT_TRUE(line.Close());
    EXPECT_FALSE(line.IsOpen());
    EXPECT_TRUE(line.Close());
    EXPECT_FALSE(line.Write(&byte, 1));
    EXPECT_FALSE(line.Read(&byte, 1));
    EXPECT_FALSE(line.Purge());
}

TEST_F(SerialLinePosix, HeldPortRefusesEveryOtherOpenUntilClosed) {
    SerialLine first;
    SerialLine second;
    ASSERT_TRUE(first.Open(slavePath_.c_str(), kBaud, 300));
    EXPECT_FALSE(second.Open(slavePath_.c_str(), kBaud, 300));
    EXPECT_FALSE(second.IsOpen());

    // Another process is kept out too, root included (TIOCEXCL alone would let root in).
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        SerialLine intruder;
        ::_exit(intruder.Open(slavePath_.c_str(), kBaud, 300) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "a second process opened a held port";

    // The refused opens did not disturb the holder.
    const std::uint8_t byte = 0xA5;
    EXPECT_TRUE(first.Write(&byte, 1));
    EXPECT_EQ(ReadFully(master_, 1), Bytes{0xA5});

    // The terminal's exclusive flag is set while held and cleared on Close, or it would
    // keep every non-root user out after we are gone.
    int exclusive = -1;
    ASSERT_EQ(::ioctl(slave_, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
    EXPECT_TRUE(first.Close());
    ASSERT_EQ(::ioctl(slave_, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 0);
    EXPECT_TRUE(second.Open(slavePath_.c_str(), kBaud, 300));
}

// Each refusal keeps the system's reason for the caller.
TEST_F(SerialLinePosix, OpenRefusesWhatIsNotAUsableTerminalAndSaysWhy) {
    SerialLine line;
    EXPECT_FALSE(line.Open("/dev/this-port-does-not-exist", kBaud, 300));
    EXPECT_EQ(line.LastError(), ENOENT);
    EXPECT_EQ(line.LastErrorMessage(), "No such file or directory");
    EXPECT_FALSE(line.Open("", kBaud, 300));
    EXPECT_EQ(line.LastError(), EINVAL);
    EXPECT_FALSE(line.Open(nullptr, kBaud, 300));

    char regular[] = "/tmp/tamsivo-not-a-tty-XXXXXX";
    const int fd = ::mkstemp(regular);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_FALSE(line.Open(regular, kBaud, 300));
    EXPECT_EQ(line.LastError(), ENOTTY);
    EXPECT_FALSE(line.IsOpen());
    ::unlink(regular);

    // An unsupported rate fails and leaves the port free for the next Open.
    EXPECT_FALSE(line.Open(slavePath_.c_str(), 12345, 300));
    EXPECT_EQ(line.LastError(), EINVAL);
    EXPECT_FALSE(line.IsOpen());
    SerialLine other;
    EXPECT_TRUE(other.Open(slavePath_.c_str(), kBaud, 300));
    EXPECT_EQ(other.LastError(), 0);
    EXPECT_EQ(other.LastErrorMessage(), "");
    EXPECT_FALSE(line.Open(slavePath_.c_str(), kBaud, 300));
    EXPECT_EQ(line.LastError(), EBUSY) << "held by `other`";

    std::uint8_t byte = 0;
    const auto start = Clock::now();
    EXPECT_FALSE(other.Read(&byte, 1));
    EXPECT_EQ(other.LastError(), ETIMEDOUT) << MsSince(start);
    EXPECT_TRUE(other.Close());
    EXPECT_FALSE(other.Read(&byte, 1));
    EXPECT_EQ(other.LastError(), EBADF);
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
    termios before{};
    ASSERT_EQ(::tcgetattr(slave_, &before), 0);
    ASSERT_TRUE((before.c_iflag & IXON) && (before.c_cflag & CRTSCTS) && (before.c_lflag & ICANON))
        << "the pseudo-terminal did not take the cooked settings";

    SerialLine line;
    ASSERT_TRUE(line.Open(slavePath_.c_str(), kBaud, 300));

    termios after{};
    ASSERT_EQ(::tcgetattr(slave_, &after), 0);
    EXPECT_EQ(after.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(after.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(after.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(after.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(after.c_oflag & OPOST, 0u);
    EXPECT_EQ(after.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(after.c_cc[VMIN], 0);
    EXPECT_EQ(after.c_cc[VTIME], 0);
    EXPECT_EQ(::cfgetospeed(&after), static_cast<speed_t>(B115200));
    EXPECT_EQ(::cfgetispeed(&after), static_cast<speed_t>(B115200));

    // Flow-control, line-editing, signal and newline bytes, in both directions.
    const Bytes bytes = {0x00, 0x0A, 0x0D, 0x11, 0x13, 0xFF, 0x03, 0x04, 0x08, 0x0F,
                         0x12, 0x15, 0x16, 0x17, 0x1A, 0x1C, 0x7F, 0x0D, 0x0A, 0x80};
    ASSERT_TRUE(line.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    EXPECT_EQ(ReadFully(master_, bytes.size()), bytes);

    ASSERT_TRUE(WriteFully(master_, bytes));
    Bytes received(bytes.size());
    EXPECT_TRUE(line.Read(received.data(), static_cast<std::uint32_t>(received.size())));
    EXPECT_EQ(received, bytes);
}

TEST_F(SerialLinePosix, ReadCollectsAFullCountArrivingInPieces) {
    SerialLine line;
    ASSERT_TRUE(line.Open(slavePath_.c_str(), kBaud, 300));
    const Bytes first = {1, 2, 3};
    const Bytes second = {4, 5, 6, 7, 8};
    std::thread farEnd([&] {
        WriteFully(master_, first);
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the gap, under t
        WriteFully(master_, second);
    });
    Bytes received(8);
    EXPECT_TRUE(line.Read(received.data(), 8));
    farEnd.join();
    EXPECT_EQ(received, (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST_F(SerialLinePosix, ReadGivesUpWhenBytesStopComingCountedFromTheLastByte) {
    constexpr std::uint32_t t = 300;
    constexpr std::uint32_t n = 100; // total 10 * n + t = 1300 ms, far beyond the gap
    SerialLine line;
    ASSERT_TRUE(line.Open(slavePath_.c_str(), kBaud, t));
    std::atomic<Clock::rep> lastSent{0};
    std::thread farEnd([&] {
        WriteFully(master_, {0x11, 0x22});
        std::this_thread::sleep_for(std::chrono::milliseconds(t / 2));
        lastSent.store(Clock::now().time_since_epoch().count());
        WriteFully(master_, {0x33});
    });
    const auto start = Clock::now();
    Bytes received(n, 0);
    const bool ok = line.Read(received.data(), n);
    const auto end = Clock::now();
    farEnd.join();

    EXPECT_FALSE(ok);
    const auto sinceLast = std::chrono::duration_cast<std::chrono::milliseconds>(
                               end - Clock::time_point(Clock::duration(lastSent.load())))
                               .count();
    EXPECT_GE(sinceLast, t - kEarlyToleranceMs) << "the inter-byte timer fired early";
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(end - start).count(), 1100)
        << "the inter-byte timer did not fire; the total deadline did";
    // What arrived before the failure is kept.
    EXPECT_EQ(Bytes(received.begin(), received.begin() + 3), (Bytes{0x11, 0x22, 0x33}));
}

TEST_F(SerialLinePosix, ReadOfSilenceWaitsTheWholeTotalTimeout) {
    constexpr std::uint32_t t = 300;
    constexpr std::uint32_t n = 20; // 10 * n + t = 500 ms; the inter-byte timer never starts
    SerialLine line;
    ASSERT_TRUE(line.Open(slavePath_.c_str(), kBaud, t));
    Bytes received(n);
    const auto start = Clock::now();
    EXPECT_FALSE(line.Read(received.data(), n));
    const long long elapsed = MsSince(start);
    EXPECT_GE(elapsed, 10 * n + t - kEarlyToleranceMs);
    EXPECT_LT(elapsed, 10 * n + t + 1000);
}

TEST_F(SerialLinePosix, ReadTotalTimeoutCapsASlowTrickle) {
    constexpr std::uint32_t t = 300;
    constexpr std::uint32_t n = 20; // 10 * n + t = 500 ms
    SerialLine line;
    ASSERT_TRUE(line.Open(slavePath_.c_str(), kBaud, t));
    // Gaps of t / 2 never trip the inter-byte timer, and the trickle (19 bytes, ~2.9 s)
    // never completes the count: only the total deadline can end the read in time.
    Trickle trickle(master_, std::chrono::milliseconds(t / 2), static_cast<int>(n) - 1);
    Bytes received(n);
    const auto start = Clock::now();
    EXPECT_FALSE(line.Read(received.data(), n));
    const long long elapsed = MsSince(start);
    trickle.Stop();
    EXPECT_GE(elapsed, 10 * n + t - kEarlyToleranceMs);
    EXPECT_LT(elapsed, 1500);
    EXPECT_GE(trickle.Sent(), 2) << "the trickle did not run while the read waited";
}

TEST_F(SerialLinePosix, HangUpFailsReadAndWriteAtOnce) {
    constexpr std::uint32_t t = 5000;
    SerialLine line;
    ASSERT_TRUE(line.Open(slavePath_.c_str(), kBaud, t));
    const int master = master_;
    master_ = -1;
    std::thread farEnd([master] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100)); // the adapter vanishes
        ::close(master);
    });
    std::uint8_t buffer[4] = {};
    const auto start = Clock::now();
    EXPECT_FALSE(line.Read(buffer, sizeof buffer));
    EXPECT_LT(MsSince(start), 2000) << "a hang-up must not wait out the " << 10 * 4 + t << " ms";
    farEnd.join();

    const auto writeStart = Clock::now();
    EXPECT_FALSE(line.Write(buffer, sizeof buffer));
    EXPECT_FALSE(line.Read(buffer, 1));
    EXPECT_LT(MsSince(writeStart), 1000);
    EXPECT_TRUE(line.Close());
}

TEST_F(SerialLinePosix, WriteWaitingForRoomFailsAtOnceOnHangUp) {
    SerialLine line;
    ASSERT_TRUE(line.Open(slavePath_.c_str(), kBaud, 100));
    // Far more than the pseudo-terminal buffers, so Write waits for room that never comes
    // (its deadline is 100 ms per byte).
    const Bytes big(1 << 20, 0x5A);
    const int master = master_;
    master_ = -1;
    std::thread farEnd([master] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        ::close(master);
    });
    const auto start = Clock::now();
    EXPECT_FALSE(line.Write(big.data(), static_cast<std::uint32_t>(big.size())));
    EXPECT_LT(MsSince(start), 2000);
    farEnd.join();
}

TEST_F(SerialLinePosix, WriteGivesUpWhenTheFarEndStopsTakingBytes) {
    SerialLine line;
    // Timeout 0: the whole write may take 10 ms, whatever its size.
    ASSERT_TRUE(line.Open(slavePath_.c_str(), kBaud, 0));
    const Bytes big(1 << 20, 0x5A);
    const auto start = Clock::now();
    EXPECT_FALSE(line.Write(big.data(), static_cast<std::uint32_t>(big.size())));
    const long long elapsed = MsSince(start);
    EXPECT_GE(elapsed, 10 - kEarlyToleranceMs);
    EXPECT_LT(elapsed, 1000);
}

TEST_F(SerialLinePosix, PurgeDiscardsWaitingInput) {
    SerialLine line;
    ASSERT_TRUE(line.Open(slavePath_.c_str(), kBaud, 300));
    ASSERT_TRUE(WriteFully(master_, {0x01, 0x02, 0x03}));
    ASSERT_TRUE(WaitForQueuedInput(3));
    EXPECT_TRUE(line.Purge());
    ASSERT_TRUE(WriteFully(master_, {0x7E}));
    std::uint8_t byte = 0;
    EXPECT_TRUE(line.Read(&byte, 1));
    EXPECT_EQ(byte, 0x7E) << "a byte from before the purge survived it";
}

TEST(SerialLinePosixPorts, FreeSerialPortsAreUniqueDevicePathsInNaturalOrder) {
    const std::vector<std::string> ports = FreeSerialPorts();
    for (std::size_t i = 0; i < ports.size(); ++i) {
        EXPECT_EQ(ports[i].rfind("/dev/", 0), 0u) << ports[i];
        if (i == 0) {
            continue;
        }
        EXPECT_NE(ports[i - 1], ports[i]);
        // Same stem: the device numbers ascend by value (ttyS2 before ttyS10).
        const auto stem = [](const std::string& p) {
            return p.substr(0, p.find_first_of("0123456789"));
        };
        if (stem(ports[i - 1]) == stem(ports[i])) {
            EXPECT_LT(std::stoul(ports[i - 1].substr(stem(ports[i - 1]).size())),
                      std::stoul(ports[i].substr(stem(ports[i]).size())));
        }
    }
}

TEST(SerialLinePosixPorts, DevicePathForPortKeepsNamesInsideDev) {
    EXPECT_EQ(DevicePathForPort("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(DevicePathForPort("/dev/pts/7"), "/dev/pts/7");
    EXPECT_EQ(DevicePathForPort(""), "");
    EXPECT_EQ(DevicePathForPort("../etc/passwd"), "");
    EXPECT_EQ(DevicePathForPort("pts/7"), "");
    EXPECT_EQ(DevicePathForPort(".."), "");
    EXPECT_EQ(DevicePathForPort(std::string("tty\0S0", 6)), "");
    EXPECT_EQ(DevicePathForPort(std::string(PATH_MAX, 'x')), "");
    EXPECT_EQ(PathSeparator(), '/');
}

} // namespace
} // namespace tamsivo
