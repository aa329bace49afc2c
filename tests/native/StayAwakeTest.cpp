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
#include <filesystem>
#include <future>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

namespace tamsivo {
namespace {

// logind's Manager.Inhibit on the bus, served on the test's thread while it waits for the one
// call it expects, kept as "what|who|why|mode".
class FakeLogind {
public:
    FakeLogind() {
        if (sd_bus_open_system(&bus_) < 0 ||
            sd_bus_add_object(bus_, nullptr, "/org/freedesktop/login1", Inhibit, this) < 0 ||
            sd_bus_request_name(bus_, "org.freedesktop.login1", 0) < 0) {
            ADD_FAILURE() << "the fake logind did not get onto the bus";
        }
    }
    ~FakeLogind() {
        sd_bus_flush_close_unref(bus_);
        ::close(end_);
    }

    // Serves the bus until the call has come, or until it has been quiet for ten seconds.
    std::string Call() {
        // Whatever sd-bus has queued is processed before it asks to wait for more.
        while (call_.empty() &&
               (sd_bus_process(bus_, nullptr) > 0 || sd_bus_wait(bus_, 10000000) > 0)) {
        }
        return call_;
    }
    // Whether the lock handed out has been let go, after waiting for that up to `waitMs`.
    bool HungUp(int waitMs) const {
        pollfd end{end_, POLLIN, 0};
        return ::poll(&end, 1, waitMs) == 1 && (end.revents & POLLHUP) != 0;
    }

private:
    static int Inhibit(sd_bus_message* call, void* self, sd_bus_error*) {
        auto* logind = static_cast<FakeLogind*>(self);
        const char* fields[4] = {};
        int ends[2];
        if (!sd_bus_message_is_method_call(call, "org.freedesktop.login1.Manager", "Inhibit") ||
            sd_bus_message_read(call, "ssss", &fields[0], &fields[1], &fields[2], &fields[3]) < 0 ||
            ::pipe2(ends, O_CLOEXEC) != 0) {
            return 0; // not handled: the bus answers that there is no such method
        }
        logind->call_ =
            std::string(fields[0]) + "|" + fields[1] + "|" + fields[2] + "|" + fields[3];
        logind->end_ = ends[0];
        const int sent = sd_bus_reply_method_return(call, "h", ends[1]);
        ::close(ends[1]);           // the reply carries a copy
        return sent < 0 ? sent : 1; // handled: no other handler may answer instead
    }

    sd_bus* bus_ = nullptr;
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
        ASSERT_TRUE(daemon_ != nullptr && std::fscanf(daemon_, "%511s %d", bus, &pid_) == 2)
            << "dbus-daemon (Debian: dbus-daemon) is needed";
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus, 1);
    }
    void TearDown() override {
        ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::kill(pid_, SIGCONT); // a stopped daemon takes the signal once it runs again
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
    FakeLogind logind;
    test::WritePackage(dir_ / "bk.enc", {16}, {0x11});
    const int adapter = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_TRUE(adapter >= 0 && ::grantpt(adapter) == 0 && ::unlockpt(adapter) == 0);
    const std::string port = ::ptsname(adapter);
    cli::ProgressBoard board(cli::ProgressStyle::None, stdout, {port});
    cli::PortRun run(port, 0, board);
    auto package = std::make_shared<LoadedPackage>();
    package->read = package->image.ReadFile((dir_ / "bk.enc").string());
    run.Start(FlashInputs{(dir_ / "bk.enc").string(), "bk.enc", port, package}, 10000);
    EXPECT_EQ(logind.Call(), "sleep:idle|tamsivo-flash|flashing bk.enc through " + port + "|block");
    pollfd frame{adapter, POLLIN, 0};
    EXPECT_EQ(::poll(&frame, 1, 10000), 1) << "no frame came";
    EXPECT_FALSE(logind.HungUp(0));
    ::close(adapter);
    run.Join();
    EXPECT_NE(run.Stats().end.outcome, Outcome::Cancelled);
    EXPECT_TRUE(logind.HungUp(10000));
}

// Each returns without a hold: without logind, on the bus's error; without a bus, at once.
TEST_F(StayAwakeOnABus, WithoutAnAnsweringLogindThereIsNoHoldAndNoError) {
    EXPECT_FALSE(StayAwake("tamsivo-flash", "bk.enc", "COM3").Held());
    // A bus that takes the connection and then never speaks, its daemon hung: neither the hold
    // nor its end may keep the run waiting for the bus's own timeouts (a minute and a half).
    int status = 0;
    ASSERT_TRUE(::kill(pid_, SIGSTOP) == 0 && ::waitpid(pid_, &status, WUNTRACED) == pid_);
    auto held = std::async(std::launch::async,
                           [] { return StayAwake("tamsivo-flash", "bk.enc", "COM3").Held(); });
    ASSERT_EQ(held.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_FALSE(held.get());
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", ("unix:path=" + (dir_ / "none").string()).c_str(), 1);
    EXPECT_FALSE(StayAwake("tamsivo-flash", "bk.enc", "COM3").Held());
}

} // namespace
} // namespace tamsivo
