// The POSIX serial line against a real pseudo-terminal: the test plays the adapter on the
// master side while the line under test owns the slave. The port listing and the reasons a
// port refuses are read from a fake system tree whose devices are pseudo-terminals.
#include "PosixHelpers.h"
#include "ScratchDir.h"
#include "flash/Platform.h"
#include "flash/PortProblem.h"
#include "flash/SerialLine.h"
#include "flash/SerialPorts.h"
#include "flash/posix/SerialStructIoctl.h"
#include "flash/posix/SystemTree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace tamsivo {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kBaud = 115200;
// poll() rounds its timeout up, so a deadline is never met early; the tolerance only absorbs
// the two clocks being read at slightly different moments.
constexpr long long kEarlyMs = 5;

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The adapter's few bytes at a time, for which the slave's input queue always has room.
bool WriteAll(int master, const Bytes& bytes) {
    return ::write(master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

// A new pseudo-terminal's master (non-blocking), its slave's path in `slavePath`; -1 on failure.
int OpenPseudoTerminal(std::string* slavePath) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    char name[PATH_MAX] = {};
    EXPECT_TRUE(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0 &&
                ::ptsname_r(master, name, sizeof name) == 0)
        << "no pseudo-terminal";
    *slavePath = name;
    return master;
}

// A driver with a serial struct in place of the pseudo-terminals' missing one: every port is a
// 16550A UART, and the flags of all of them live in `flags`; `refusal`, unless 0, is the error
// that refuses every change.
struct FakeSerialDriver {
    explicit FakeSerialDriver(int flagsBefore, int refusalOfChanges = 0) {
        flags = flagsBefore;
        refusal = refusalOfChanges;
        serialStructIoctl = Request;
    }
    ~FakeSerialDriver() { serialStructIoctl = saved; }
    static int Request(int, unsigned long request, serial_struct* info) {
        if (request == TIOCGSERIAL) {
            *info = serial_struct{};
            info->type = PORT_16550A;
            info->flags = flags;
        } else if (refusal != 0) {
            errno = refusal;
            return -1;
        } else {
            flags = info->flags;
        }
        return 0;
    }
    static inline int flags = 0, refusal = 0;
    SerialStructRequest saved = serialStructIoctl;
};

class SerialLinePosix : public ::testing::Test {
protected:
    void SetUp() override {
        master_ = OpenPseudoTerminal(&path_);
        ASSERT_GE(master_, 0);
        // The test's own view of the slave: termios and the input queue are shared with the
        // line under test, and holding it keeps the slave alive across the line's closes.
        slave_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(slave_, 0);
    }
    void TearDown() override {
        HangUp();
        ::close(slave_);
    }
    void HangUp() { ::close(std::exchange(master_, -1)); }
    // The terminal's exclusive flag (TIOCEXCL); -1 when it cannot be told.
    int Exclusive() const {
        int flag = -1;
        return ::ioctl(slave_, TIOCGEXCL, &flag) == 0 ? flag : -1;
    }
    bool Open(SerialLine& line, std::uint32_t timeoutMs = 300) {
        return line.Open(path_.c_str(), kBaud, timeoutMs);
    }

    int master_ = -1, slave_ = -1;
    std::string path_;
    SerialLine line_;
};

// Each refusal keeps the system's reason for the caller, and leaves the port as it was.
TEST_F(SerialLinePosix, OpenAndCloseFollowTheirRulesAndSayWhyTheyFail) {
    std::uint8_t byte = 0x55;
    EXPECT_FALSE(line_.Write(&byte, 1));
    EXPECT_EQ(line_.LastError(), EBADF);

    EXPECT_FALSE(line_.Open("/dev/this-port-does-not-exist", kBaud, 300));
    EXPECT_EQ(line_.LastError(), ENOENT);
    EXPECT_EQ(line_.LastErrorMessage(), "No such file or directory");
    EXPECT_FALSE(line_.Open("", kBaud, 300));
    EXPECT_EQ(line_.LastError(), EINVAL);
    EXPECT_FALSE(line_.Open("/dev/null", kBaud, 300));
    EXPECT_EQ(line_.LastError(), ENOTTY);
    EXPECT_FALSE(line_.Open(path_.c_str(), 12345, 300));
    EXPECT_EQ(line_.LastError(), EINVAL) << "a rate the driver has no constant for";

    ASSERT_TRUE(Open(line_));
    EXPECT_EQ(line_.LastError(), 0);
    EXPECT_EQ(line_.LastErrorMessage(), "");
    EXPECT_FALSE(Open(line_)) << "a second Open of an open line";
    EXPECT_EQ(line_.LastError(), EBUSY);
    EXPECT_TRUE(line_.Write(&byte, 1)) << "still open";
    EXPECT_EQ(test::ReadAll(master_, 1), Bytes{0x55});

    // Held: every other opener is refused, root included (TIOCEXCL alone would let root in), and
    // the terminal's exclusive flag goes with the holder.
    const auto refusedAsBusy = [&] {
        SerialLine other;
        return !other.Open(path_.c_str(), kBaud, 300) && other.LastError() == EBUSY;
    };
    EXPECT_TRUE(refusedAsBusy()) << "a second line got in";
    // And one in another container, where the lock shows no pid and the holder is no process:
    // the lock itself refuses it.
    const auto outsider = [&] {
        return ::mount("proc", "/proc", "proc", 0, nullptr) == 0 && refusedAsBusy();
    };
    EXPECT_TRUE(::geteuid() != 0 ||
                test::InChild([&] { return test::InChild(outsider); }, CLONE_NEWNS | CLONE_NEWPID));
    EXPECT_EQ(Exclusive(), 1);
    EXPECT_TRUE(line_.Close());
    EXPECT_EQ(Exclusive(), 0) << "left set, it would keep every other user out";
    SerialLine other;
    EXPECT_TRUE(Open(other));
    EXPECT_EQ(line_.WriteEchoed(&byte, 1, &byte), EchoCheck::Failed) << "a closed line";
    EXPECT_EQ(line_.LastError(), EBADF);
}

TEST_F(SerialLinePosix, OpenMakesACookedTerminalRawSoEveryBytePassesUnchanged) {
    termios cooked{};
    ASSERT_EQ(::tcgetattr(slave_, &cooked), 0);
    cooked.c_iflag |= IXON | IXOFF | IXANY | ICRNL | INLCR | ISTRIP;
    cooked.c_oflag |= OPOST | ONLCR;
    cooked.c_lflag |= ICANON | ECHO | ISIG | IEXTEN;
    cooked.c_cflag = (cooked.c_cflag & ~CSIZE) | CS7 | PARENB | CSTOPB | CRTSCTS;
    ASSERT_EQ(::tcsetattr(slave_, TCSANOW, &cooked), 0);
    // A driver that keeps its settings (as root can lock them) fails the open, which leaves
    // the port free.
    if (::geteuid() == 0) {
        ASSERT_EQ(::ioctl(slave_, TIOCSLCKTRMIOS, &cooked), 0);
        EXPECT_FALSE(Open(line_));
        EXPECT_EQ(line_.LastError(), EINVAL);
        EXPECT_EQ(Exclusive(), 0);
        ASSERT_EQ(::ioctl(slave_, TIOCSLCKTRMIOS, &(cooked = {})), 0); // none locked
    }

    ASSERT_TRUE(Open(line_));
    termios raw{};
    ASSERT_EQ(::tcgetattr(slave_, &raw), 0);
    EXPECT_EQ(raw.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS | CLOCAL | CREAD),
              static_cast<tcflag_t>(CS8 | CLOCAL | CREAD));
    EXPECT_EQ(raw.c_iflag & (IXON | IXOFF | IXANY | ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(raw.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(::cfgetospeed(&raw), static_cast<speed_t>(B115200));

    // Flow-control, line-editing, signal and newline bytes, in both directions.
    const Bytes bytes = {0x00, 0x0A, 0x0D, 0x11, 0x13, 0xFF, 0x03, 0x04, 0x08, 0x0F,
                         0x12, 0x15, 0x16, 0x17, 0x1A, 0x1C, 0x7F, 0x0D, 0x0A, 0x80};
    ASSERT_TRUE(line_.Write(bytes.data(), static_cast<std::uint32_t>(bytes.size())));
    EXPECT_EQ(test::ReadAll(master_, bytes.size()), bytes);
    ASSERT_TRUE(WriteAll(master_, bytes));
    Bytes received(bytes.size());
    EXPECT_TRUE(line_.Read(received.data(), static_cast<std::uint32_t>(received.size())));
    EXPECT_EQ(received, bytes);
}

// For a timeout t a read of n bytes gives up after 10 n + t ms in all, or t ms after the last
// byte; a write of n bytes after t n + 10 ms.
TEST_F(SerialLinePosix, TransfersGiveUpAtTheirTimeouts) {
    constexpr std::uint32_t t = 200;
    ASSERT_TRUE(Open(line_, t));

    // Silence: the total deadline.
    Bytes received(20);
    auto start = Clock::now();
    EXPECT_FALSE(line_.Read(received.data(), 20));
    EXPECT_EQ(line_.LastError(), ETIMEDOUT);
    EXPECT_GE(MsSince(start), 10 * 20 + t - kEarlyMs);
    EXPECT_LT(MsSince(start), 10 * 20 + t + 1000);

    // Bytes in pieces within t of each other complete the count; then they stop, and the
    // inter-byte timer ends the read long before the total deadline (10 * 200 + t).
    std::atomic<long long> lastSentMs{0};
    std::thread farEnd([&] {
        WriteAll(master_, {1, 2, 3});
        std::this_thread::sleep_for(std::chrono::milliseconds(t / 4)); // a gap well under t
        WriteAll(master_, {4, 5});
        std::this_thread::sleep_for(std::chrono::milliseconds(t / 4));
        lastSentMs = MsSince(Clock::time_point{});
        WriteAll(master_, {6});
    });
    received.assign(5, 0);
    EXPECT_TRUE(line_.Read(received.data(), 5));
    EXPECT_EQ(received, (Bytes{1, 2, 3, 4, 5}));
    received.assign(200, 0);
    EXPECT_FALSE(line_.Read(received.data(), 200));
    const long long endMs = MsSince(Clock::time_point{});
    farEnd.join();
    EXPECT_GE(endMs - lastSentMs, t - kEarlyMs) << "the inter-byte timer fired early";
    EXPECT_LT(endMs - lastSentMs, 1000) << "the total deadline ended the read instead";
    EXPECT_EQ(received[0], 6) << "what came is left in the buffer";
    EXPECT_EQ(line_.LastTransfer().received, 1u) << "and counted";

    // A far end that takes nothing more: a write gives up after t ms a byte, but never after
    // more than t + 1 ms a byte (here 0.5 s, not 40 s).
    ASSERT_EQ(::tcflow(slave_, TCOOFF), 0); // output suspended, as by a stuck adapter
    const Bytes frame(400, 0x5A);
    ASSERT_TRUE(line_.SetTimeouts(100));
    start = Clock::now();
    EXPECT_FALSE(line_.Write(frame.data(), static_cast<std::uint32_t>(frame.size())));
    EXPECT_EQ(line_.LastError(), ETIMEDOUT);
    EXPECT_GE(MsSince(start), 100 + 400 - kEarlyMs);
    EXPECT_LT(MsSince(start), 5000);
    ::tcflow(slave_, TCOON);

    // Taking bytes again: a write larger than the terminal holds waits for room and goes whole.
    EXPECT_EQ(test::ReadAll(master_, line_.LastTransfer().written).size(),
              line_.LastTransfer().written);
    const Bytes big(64 * 1024, 0xA5);
    Bytes arrived;
    std::thread reader([&] { arrived = test::ReadAll(master_, big.size()); });
    EXPECT_TRUE(line_.Write(big.data(), static_cast<std::uint32_t>(big.size())));
    reader.join();
    EXPECT_EQ(arrived, big);
}

// A signal (Ctrl+C, a terminal closed) interrupts the wait for bytes; the wait goes on.
TEST_F(SerialLinePosix, ASignalDuringAWaitIsNoFailure) {
    static std::atomic<int> delivered{0};
    struct sigaction action {};
    struct sigaction saved {};
    action.sa_handler = [](int) { ++delivered; };
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &saved), 0);
    ASSERT_TRUE(Open(line_, 5000));
    std::atomic<pid_t> reader{0};
    std::uint8_t byte = 0;
    bool read = false;
    std::thread thread([&] {
        reader = ::gettid();
        read = line_.Read(&byte, 1);
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
    EXPECT_TRUE(read) << line_.LastErrorMessage();
    EXPECT_EQ(byte, 0x42);
}

TEST_F(SerialLinePosix, AHangUpFailsEveryTransferAtOnce) {
    ASSERT_TRUE(Open(line_, 5000));
    HangUp(); // the adapter vanishes
    std::uint8_t buffer[4] = {};
    const auto start = Clock::now();
    const Bytes big(1 << 20, 0x5A);
    // The system's reason, by which the caller tells a vanished adapter.
    EXPECT_EQ(line_.WriteEchoed(big.data(), sizeof buffer, buffer), EchoCheck::Failed);
    EXPECT_EQ(line_.LastError(), EIO);
    EXPECT_FALSE(line_.Read(buffer, sizeof buffer));
    EXPECT_FALSE(line_.Write(big.data(), static_cast<std::uint32_t>(big.size())));
    EXPECT_EQ(line_.LastError(), EIO);
    EXPECT_LT(MsSince(start), 2000) << "a hang-up must not wait out a 5 s timeout";
}

TEST_F(SerialLinePosix, PurgeDiscardsWhatWaitsAndBytesWaitingCountsIt) {
    ASSERT_TRUE(Open(line_));
    ASSERT_TRUE(WriteAll(master_, {0x01, 0x02, 0x03}));
    std::uint32_t waiting = 0;
    for (pollfd pfd{slave_, POLLIN, 0}; line_.BytesWaiting(&waiting) && waiting < 3;) {
        ASSERT_GT(::poll(&pfd, 1, 5000), 0);
    }
    EXPECT_EQ(waiting, 3u);
    EXPECT_TRUE(line_.Purge());
    ASSERT_TRUE(WriteAll(master_, {0x7E}));
    std::uint8_t byte = 0;
    EXPECT_TRUE(line_.Read(&byte, 1));
    EXPECT_EQ(byte, 0x7E) << "a byte from before the purge survived it";
}

// USB adapters hold received bytes for their latency timer unless the driver is asked for its
// low-latency mode; the line asks while it is open and leaves the flags as it found them.
TEST_F(SerialLinePosix, LowLatencyIsOnWhileOpenAndTheDriversFlagsComeBackOnClose) {
    // One line reopened: what it did to one port's flags is no guide to the next.
    for (const int before : {static_cast<int>(ASYNC_SPD_HI | ASYNC_SKIP_TEST),
                             static_cast<int>(ASYNC_LOW_LATENCY | ASYNC_SKIP_TEST)}) {
        const FakeSerialDriver driver(before);
        ASSERT_TRUE(Open(line_));
        EXPECT_EQ(FakeSerialDriver::flags, before | static_cast<int>(ASYNC_LOW_LATENCY));
        line_.Close();
        EXPECT_EQ(FakeSerialDriver::flags, before);
    }
    // cdc-acm refuses a user even the struct it gave: the mode only saves time, the port opens.
    for (const int refusal : {EPERM, EOPNOTSUPP}) {
        const FakeSerialDriver driver(ASYNC_SKIP_TEST, refusal);
        EXPECT_TRUE(Open(line_)) << line_.LastErrorMessage();
        line_.Close();
    }
}

// A temporary folder standing in for "/": sys/ names the ports and what is behind them, dev/
// holds links to pseudo-terminals as their nodes, proc/ and the lock folders who holds them.
class FakeSystem : public ::testing::Test {
protected:
    void TearDown() override { std::for_each(masters_.begin(), masters_.end(), ::close); }
    std::string Pty() {
        std::string path;
        masters_.push_back(OpenPseudoTerminal(&path));
        return path;
    }
    // A port as the kernel shows it: its class entry and its node, a new pseudo-terminal.
    std::string Port(const std::string& name) {
        std::filesystem::create_directories(root_ + "/sys/class/tty/" + name);
        const std::string node = Pty();
        Link("dev/" + name, node);
        return node;
    }
    void Put(const std::string& relative, const std::string& text) {
        test::WriteWhole(root_ + "/" + relative, text);
    }
    void Link(const std::string& relative, const std::string& target) {
        const std::filesystem::path path = root_ + "/" + relative;
        std::filesystem::create_directories(path.parent_path());
        std::filesystem::create_symlink(target, path);
    }

    const test::ScratchDir scratch_{"root"};
    const std::string root_ = scratch_.string();
    std::vector<int> masters_;
};

// Listing opens no port: an open raises DTR and RTS, also on a port another program uses.
// Numbers go by their value; a leading zero changes no value (a udev rule's name), so such a
// name comes next to its equal.
TEST_F(FakeSystem, PortsComeUsbFirstByNumberWithStateHolderAndAdapterAndNoneIsOpened) {
    std::vector<std::string> nodes;
    for (const char* name :
         {"ttyS10", "ttyS0", "ttyS2", "ttyS3", "ttyUSB10", "ttyUSB2", "ttyACM0", "rfcomm0",
          "ttyACM1", "ttyXRUSB0", "ttyCH343USB0", "ttyUSB007", "ttyUSB02", "ttySAC0"}) {
        nodes.push_back(Port(name));
    }
    std::filesystem::create_directories(root_ + "/sys/class/tty/ttyUSB9"); // node unplugged
    Put("sys/class/tty/ttyS4/type", "4\n");
    Put("dev/ttyS4", ""); // a plain file is no device
    nodes.push_back(Pty());
    Link("dev/ttyS5", nodes.back());        // a node sysfs does not know
    Put("sys/class/tty/ttyS3/type", "0\n"); // a node without a UART behind it
    Put("sys/class/tty/console/active", "tty0 ttyS0\n");
    const std::string adapter = "sys/devices/pci0000:00/0000:00:14.0/usb1/1-2";
    for (const auto& [file, text] : {std::pair{"idVendor", "0403"},
                                     {"idProduct", "6001"},
                                     {"manufacturer", "FTDI  "}, // padded, as some are
                                     {"product", "FT232R USB UART"},
                                     {"serial", "A10KX3"},
                                     {"1-2:1.0/ttyUSB10/latency_timer", "10"}}) {
        Put(adapter + "/" + file, std::string(text) + "\n");
    }
    Link("sys/class/tty/ttyUSB10/device", root_ + "/" + adapter + "/1-2:1.0/ttyUSB10");
    Put("sys/class/tty/ttyACM1/device/latency_timer", "1000\n"); // no timer the chips have
    // Holders: a program with ttyS2 open; UUCP lock files of a live process, in ASCII and as a
    // binary int; a stale one, whose process is gone; this process's own descriptor.
    Link("proc/1/fd/3", "../../../dev/ttyS2"); // in a container process 1 may be anything
    const int live = ::getppid();
    char ascii[16];
    std::snprintf(ascii, sizeof ascii, "%10d\n", live);
    Put("run/lock/LCK..ttyUSB2", ascii);
    Put("var/lock/LCK..ttyACM0", std::string(reinterpret_cast<const char*>(&live), sizeof live));
    Put("proc/" + std::to_string(live) + "/comm", "cu\n");
    Put("run/lock/LCK..ttyS10", "4194304\n"); // above any pid_max: no process has it
    Put("run/lock/LCK..rfcomm0", "1\n");      // the first process is as alive as any
    Put("proc/1/comm", "init\n");
    Link("proc/" + std::to_string(::getpid()) + "/fd/7", root_ + "/dev/ttyS10");

    const int opens = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    for (const std::string& node : nodes) {
        ASSERT_GE(::inotify_add_watch(opens, node.c_str(), IN_OPEN), 0) << node;
    }
    std::vector<std::string> seen;
    for (const SerialPortInfo& port : ListSerialPorts(root_)) {
        // Why it cannot be chosen, as a run through it would be told: the holder as found here,
        // also where only the device's name ties a lock file to it.
        EXPECT_EQ(port.state == PortState::Busy ? ExplainPortState(port, root_).reason : "",
                  port.holder.empty() ? "" : "the port is in use by process " + port.holder);
        seen.push_back(
            port.name + (port.state == PortState::Busy ? " busy" : "") + (port.usb ? " usb" : "") +
            (port.console ? " console" : "") + (port.holder.empty() ? "" : " by " + port.holder) +
            (port.vendorId.empty()
                 ? ""
                 : " " + port.vendorId + ":" + port.productId + " " + port.manufacturer + "/" +
                       port.product + "/" + port.serial) +
            (port.latencyTimerMs ? " " + std::to_string(*port.latencyTimerMs) + " ms" : ""));
    }
    const std::string byCu = " by " + std::to_string(live) + " (cu)";
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "ttyACM0 busy usb" + byCu, "ttyACM1 usb", "ttyCH343USB0 usb",
                        "ttyUSB02 usb", "ttyUSB2 busy usb" + byCu, "ttyUSB007 usb",
                        "ttyUSB10 usb 0403:6001 FTDI/FT232R USB UART/A10KX3 10 ms", "ttyXRUSB0 usb",
                        "rfcomm0 busy by 1 (init)", "ttyS0 console", "ttyS2 busy by 1 (init)",
                        "ttyS10", "ttySAC0"}));
    // To another user access(2) tells the ports (pseudo-terminals, their owner's and their
    // group's alone) that are not theirs, explained as a run through one would be told.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chmod(root_.c_str(), 0755), 0);
        EXPECT_TRUE(test::InChild([&] {
            const auto ports = ::setgid(65534) == 0 && ::setuid(65534) == 0
                                   ? ListSerialPorts(root_)
                                   : std::vector<SerialPortInfo>{};
            return ports.size() == seen.size() && std::ranges::all_of(ports, [&](const auto& port) {
                       return port.state == PortState::NoPermission &&
                              ExplainPortState(port, root_).reason.starts_with("permission denied");
                   });
        }));
        // Offered for a run: the free ports but the console, by name. Seen with the tree as "/",
        // where its nodes lead to the same ports (and this process's link, by the full path, to
        // none).
        const auto offered = [&] {
            const std::string pts = root_ + "/dev/pts";
            return std::filesystem::create_directory(pts) &&
                   ::mount("/dev/pts", pts.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
                   ::chroot(root_.c_str()) == 0 &&
                   FreeSerialPorts() == std::vector<std::string>{
                                            "/dev/ttyACM1",  "/dev/ttyCH343USB0", "/dev/ttyS10",
                                            "/dev/ttySAC0",  "/dev/ttyUSB02",     "/dev/ttyUSB007",
                                            "/dev/ttyUSB10", "/dev/ttyXRUSB0"};
        };
        EXPECT_TRUE(test::InChild(offered, CLONE_NEWNS));
    }
    alignas(inotify_event) char events[4096];
    EXPECT_EQ(::read(opens, events, sizeof events), -1) << "a port was opened";
    // The watch does see an open.
    ::close(::open(nodes[2].c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    EXPECT_GT(::read(opens, events, sizeof events), 0);
    ::close(opens);
}

TEST(SerialPortChoice, TheAutomaticPortIsTheFirstFreeOneThatIsNotTheConsole) {
    const auto port = [](const char* name, PortState state, bool console = false) {
        SerialPortInfo info;
        info.name = name;
        info.state = state;
        info.console = console;
        return info;
    };
    EXPECT_EQ(
        AutomaticPort({port("ttyUSB0", PortState::Busy), port("ttyUSB1", PortState::NoPermission),
                       port("ttyS0", PortState::Free, true), port("ttyS1", PortState::Free)}),
        "ttyS1");
    EXPECT_EQ(AutomaticPort({port("ttyS0", PortState::Free, true)}), "");
}

TEST_F(FakeSystem, EveryRefusalIsExplainedWithItsRemedy) {
    const std::string device = root_ + "/dev/ttyUSB0";
    Put("dev/ttyUSB0", "");
    // A part of each reason and remedy.
    for (const auto& [error, reason, remedy] :
         std::vector<std::tuple<int, std::string, std::string>>{
             {ENOENT, "no such device", "connect the adapter"},
             {ENODEV, "no such device", "--list-ports"},
             {ENXIO, "no such device", "--list-ports"},
             {ENOTTY, "not a serial device", "--list-ports"},
             {EBUSY, "in use by another program", "choose another port"}, // nobody says who
             {EIO, SystemErrorText(EIO), ""},
         }) {
        const PortProblem problem = ExplainPortError(device, error, root_);
        EXPECT_THAT(problem.reason, HasSubstr(reason));
        EXPECT_THAT(problem.remedy, HasSubstr(remedy));
        EXPECT_EQ(problem.remedy.empty(), remedy.empty()) << problem.remedy;
    }
    // A line that fails mid-run: an adapter pulled out is told as such, any other failure not.
    for (const int error : {EIO, ENXIO, ENODEV, EPROTO}) {
        EXPECT_EQ(ExplainLineError(error).reason.find("the adapter was disconnected"),
                  error == EPROTO ? std::string::npos : 0u) << error;
    }

    // Held with a flock: the kernel's own /proc/locks, copied into the tree, names the holder.
    // Without a table of terminal drivers to read, every device may be a port that is held;
    // the kernel's table, written next, claims each by its number alone, not by a range.
    std::string drivers;
    // Returns the device's number.
    const auto claim = [&](const std::string& path) {
        struct stat node {};
        EXPECT_EQ(::stat(path.c_str(), &node), 0);
        drivers += "pty_slave /dev/pts " + std::to_string(major(node.st_rdev)) + " " +
                   std::to_string(minor(node.st_rdev)) + " pty:slave\n";
        Put("proc/tty/drivers", drivers);
        return node.st_rdev;
    };
    const std::string pty = Pty();
    SerialLine held;
    ASSERT_TRUE(held.Open(pty.c_str(), kBaud, 300));
    // Only this process's own lines: others' locks on pseudo-terminals come and go meanwhile.
    const std::string pid = std::to_string(::getpid());
    std::string locks, line;
    for (std::ifstream kernel("/proc/locks"); std::getline(kernel, line);) {
        locks += line.find(" " + pid + " ") != std::string::npos ? line + '\n' : "";
    }
    Put("proc/locks", locks);
    Put("proc/" + pid + "/comm", "tamsivo-flash\n");
    EXPECT_EQ(ExplainPortError(pty, EBUSY, root_).reason,
              "the port is in use by process " + pid + " (tamsivo-flash)");
    // A UUCP lock file names the device as the kernel does, which sysfs tells by its number;
    // its process's command hidden, the pid alone is said.
    const std::string aliased = Pty();
    const dev_t aliasedNumber = claim(aliased);
    Link("sys/dev/char/" + std::to_string(major(aliasedNumber)) + ":" +
             std::to_string(minor(aliasedNumber)),
         "../../devices/virtual/tty/ttyUSB3");
    Put("run/lock/LCK..ttyUSB3", std::to_string(::getppid()) + "\n");
    EXPECT_EQ(ExplainPortError(aliased, EBUSY, root_).reason,
              "the port is in use by process " + std::to_string(::getppid()));
    // Where sysfs knows no such number, the node's own name in dev/ names the lock file.
    const std::string direct = root_ + "/dev/ttyACM7";
    const dev_t directNumber = claim(Pty());
    if (::geteuid() == 0) {
        ASSERT_EQ(::mknod(direct.c_str(), S_IFCHR | 0600, directNumber), 0) << errno;
        Put("run/lock/LCK..ttyACM7", std::to_string(::getppid()) + "\n");
        EXPECT_THAT(ExplainPortError(direct, EBUSY, root_).reason, HasSubstr("by process"));
    }

    // A device open to its group names the group to join and the command that joins it.
    const group* dialout = ::getgrnam("dialout");
    if (dialout == nullptr || ::geteuid() != 0 ||
        ::chown(device.c_str(), 0, dialout->gr_gid) != 0) {
        GTEST_SKIP() << "needs root and a group 'dialout'";
    }
    ASSERT_EQ(::chmod(device.c_str(), 0660), 0);
    PortProblem problem = ExplainPortError(device, EACCES, root_);
    EXPECT_EQ(problem.reason, "the device belongs to group 'dialout', which you are not in");
    EXPECT_EQ(problem.remedy, "sudo usermod -aG dialout " + std::string(::getpwuid(0)->pw_name) +
                                  ", then log out and in again");
    // Whether the advice begins with `remedy`, told by a child with other ids and a group
    // database that lists `members` in the group: its exit status.
    ASSERT_EQ(::chmod(root_.c_str(), 0755), 0);
    const auto advisedAs = [&](uid_t uid, gid_t gid, std::vector<gid_t> groups, const char* user,
                               const std::string& remedy, const std::string& members = "nobody") {
        Put("group", "dialout:x:" + std::to_string(dialout->gr_gid) + ":" + members + "\n");
        return test::InChild(
            [&] {
                user != nullptr ? ::setenv("USER", user, 1) : ::unsetenv("USER");
                return ::mount((root_ + "/group").c_str(), "/etc/group", nullptr, MS_BIND,
                               nullptr) == 0 &&
                       ::setgroups(groups.size(), groups.data()) == 0 && ::setgid(gid) == 0 &&
                       ::setuid(uid) == 0 &&
                       ExplainPortError(device, EACCES, root_).remedy.rfind(remedy, 0) == 0;
            },
            CLONE_NEWNS);
    };
    // A user the system has no name for (a container's arbitrary id) is named as the shell
    // would, or left for the shell to name.
    EXPECT_TRUE(advisedAs(54321, 65534, {}, "tech", "sudo usermod -aG dialout tech,"));
    EXPECT_TRUE(advisedAs(54321, 65534, {}, nullptr, "sudo usermod -aG dialout $USER,"));
    // Listed in the group since the session began: logging in again is all it takes.
    EXPECT_TRUE(advisedAs(54321, 65534, {}, "tech", "log out and in again", "nobody,tech"));
    // In the group, as the only supplementary or as the primary one, and refused all the same:
    // the rules beyond the mode.
    EXPECT_TRUE(advisedAs(65534, 65534, {dialout->gr_gid}, "nobody", "check the device's access"));
    EXPECT_TRUE(advisedAs(65534, dialout->gr_gid, {}, "nobody", "check the device's access"));
    // Root's group: joining it would give away far more than a port.
    ASSERT_EQ(::chown(device.c_str(), 0, 0), 0);
    EXPECT_THAT(ExplainPortError(device, EACCES, root_).reason,
                HasSubstr("no group that a user could"));
    // Open to its owner only: joining the group would not help and is not advised.
    ASSERT_EQ(::chmod(device.c_str(), 0600), 0);
    problem = ExplainPortError(device, EPERM, root_);
    EXPECT_THAT(problem.reason, HasSubstr("mode 0600"));
    EXPECT_THAT(problem.remedy, Not(HasSubstr("usermod")));
    // Its owner shut out by the owner's own bits: the group is beside the point.
    ASSERT_EQ(::chmod(device.c_str(), 0060), 0);
    EXPECT_EQ(ExplainPortError(device, EACCES, root_).remedy, "chmod u+rw " + device);
}

TEST(SerialPortsPosix, PortNamesStayInsideDev) {
    EXPECT_EQ(DevicePathForPort("ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(DevicePathForPort("/dev/pts/7"), "/dev/pts/7");
    for (const std::string& refused :
         {std::string(), std::string("../etc/passwd"), std::string("pts/7"), std::string(".."),
          std::string("tty\0S0", 6), "/dev/" + std::string(PATH_MAX, 'x')}) {
        EXPECT_EQ(DevicePathForPort(refused), "") << refused;
    }
}

} // namespace
} // namespace tamsivo
