// The lock against sleep on a private system bus (dbus-daemon) where the test plays logind: the
// lock it hands out is one end of a pipe whose other end it keeps, so that the lock's closing
// shows as the pipe's hang-up.
#include "flash/StayAwake.h"
#include "PortRun.h"
#include "ProgressBoard.h"
#include "ScratchDir.h"
#include "TestPackage.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <future>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace tamsivo {
namespace {

namespace fs = std::filesystem;

// logind's Manager.Inhibit, served on a thread of its own. It expects one call, kept as
// "what|who|why|mode".
class FakeLogind {
public:
    FakeLogind() {
        if (sd_bus_open_system(&bus_) < 0 ||
            sd_bus_add_object_vtable(bus_, nullptr, "/org/freedesktop/login1",
                                     "org.freedesktop.login1.Manager", kVtable, this) < 0 ||
            sd_bus_request_name(bus_, "org.freedesktop.login1", 0) < 0) {
            ADD_FAILURE() << "the fake logind did not get onto the bus";
        }
        thread_ = std::thread([this] {
            // Whatever sd-bus has queued is processed before it asks to wait for more.
            for (int processed; (processed = sd_bus_process(bus_, nullptr)) >= 0;) {
                pollfd polled[2] = {
                    {sd_bus_get_fd(bus_), static_cast<short>(sd_bus_get_events(bus_)), 0},
                    {stop_, POLLIN, 0}};
                if (processed == 0 && (::poll(polled, 2, -1) < 0 || polled[1].revents != 0)) {
                    return;
                }
            }
        });
    }
    ~FakeLogind() {
        const std::uint64_t one = 1;
        EXPECT_EQ(::write(stop_, &one, sizeof one), 8);
        thread_.join();
        sd_bus_flush_close_unref(bus_);
        ::close(stop_);
        ::close(end_);
    }

    std::string Call() const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return call_;
    }
    // Whether someone holds the lock handed out; or waits for it to be let go.
    bool Held() const { return !HungUp(0); }
    bool LetGo() const { return HungUp(10000); }

private:
    bool HungUp(int waitMs) const {
        pollfd end{end_, POLLIN, 0};
        return ::poll(&end, 1, waitMs) == 1 && (end.revents & POLLHUP) != 0;
    }
    static int Inhibit(sd_bus_message* call, void* self, sd_bus_error*) {
        auto* logind = static_cast<FakeLogind*>(self);
        const char* fields[4] = {};
        int ends[2];
        if (sd_bus_message_read(call, "ssss", &fields[0], &fields[1], &fields[2], &fields[3]) < 0 ||
            ::pipe2(ends, O_CLOEXEC) != 0) {
            return -EINVAL;
        }
        {
            const std::lock_guard<std::mutex> lock(logind->mutex_);
            logind->call_ =
                std::string(fields[0]) + "|" + fields[1] + "|" + fields[2] + "|" + fields[3];
            logind->end_ = ends[0];
        }
        const int sent = sd_bus_reply_method_return(call, "h", ends[1]);
        ::close(ends[1]);           // the reply carries a copy
        return sent < 0 ? sent : 1; // handled: no other handler may answer instead
    }
    static constexpr sd_bus_vtable kVtable[] = {
        SD_BUS_VTABLE_START(0),
        SD_BUS_METHOD("Inhibit", "ssss", "h", Inhibit, 0),
        SD_BUS_VTABLE_END,
    };

    sd_bus* bus_ = nullptr;
    int stop_ = ::eventfd(0, EFD_CLOEXEC);
    std::thread thread_;
    mutable std::mutex mutex_;
    std::string call_;
    int end_ = -1;
};

// A dbus-daemon of the test's own, with the policy of a session bus (any name may be owned),
// named by DBUS_SYSTEM_BUS_ADDRESS as sd-bus reads it.
class StayAwakeOnABus : public ::testing::Test {
protected:
    void SetUp() override {
        // exec: the daemon is popen's own child, which pclose reaps once it is stopped. It
        // complains of limits that only root may raise, and of nothing the test needs.
        daemon_ = ::popen("exec dbus-daemon --session --nofork --print-address=1 --print-pid=1 "
                          "2>/dev/null",
                          "re");
        char bus[512] = {}; // written once the bus listens
        char pid[32] = {};
        ASSERT_TRUE(daemon_ != nullptr && std::fgets(bus, sizeof bus, daemon_) != nullptr &&
                    std::fgets(pid, sizeof pid, daemon_) != nullptr)
            << "dbus-daemon (Debian: dbus-daemon) is needed";
        pid_ = std::atoi(pid);
        bus[std::strcspn(bus, "\n")] = '\0';
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus, 1);
    }
    void TearDown() override {
        ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
        }
        if (daemon_ != nullptr) {
            ::pclose(daemon_);
        }
    }

    const test::ScratchDir dir_{"bus"};
    FILE* daemon_ = nullptr;
    pid_t pid_ = 0;
};

// The flasher's run holds the lock from before its first frame until it has ended, here in a
// failure: the test plays the adapter, which takes the frame and then vanishes.
TEST_F(StayAwakeOnABus, TheFlashersRunLocksSleepOutUntilItEnds) {
    const FakeLogind logind;
    test::WritePackage(dir_ / "bk.enc", {16}, {0x11});
    const int adapter = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_TRUE(adapter >= 0 && ::grantpt(adapter) == 0 && ::unlockpt(adapter) == 0);
    const std::string port = ::ptsname(adapter);
    cli::ProgressBoard board(cli::ProgressStyle::None, stdout, {port});
    cli::PortRun run(port, 0, board);
    auto package = std::make_shared<LoadedPackage>();
    package->read = package->image.ReadFile((dir_ / "bk.enc").string());
    run.Start(FlashInputs{(dir_ / "bk.enc").string(), "bk.enc", port, package}, 10000);
    pollfd frame{adapter, POLLIN, 0};
    EXPECT_EQ(::poll(&frame, 1, 10000), 1) << "no frame came";
    EXPECT_EQ(logind.Call(), "sleep:idle|tamsivo-flash|flashing bk.enc through " + port + "|block");
    EXPECT_TRUE(logind.Held());
    ::close(adapter);
    run.Join();
    EXPECT_NE(run.Stats().end.outcome, Outcome::Cancelled);
    EXPECT_TRUE(logind.LetGo());
}

// Each returns without a hold: without logind, on the bus's error; without a bus, at once.
TEST_F(StayAwakeOnABus, WithoutAnAnsweringLogindThereIsNoHoldAndNoError) {
    EXPECT_FALSE(StayAwake("tamsivo-flash", "bk.enc", "COM3").Held());
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (dir_ / "none").string()).c_str(), 1);
    EXPECT_FALSE(StayAwake("tamsivo-flash", "bk.enc", "COM3").Held());

    // A bus that takes the connection and then never speaks: neither the hold nor its end may
    // keep the run waiting for the bus's own timeouts (a minute and a half).
    const fs::path mute = dir_ / "mute";
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", mute.c_str());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + mute.string()).c_str(), 1);
    auto held = std::async(std::launch::async,
                           [] { return StayAwake("tamsivo-flash", "bk.enc", "COM3").Held(); });
    ASSERT_EQ(held.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(held.get());
    ::close(listener);
}

} // namespace
} // namespace tamsivo
