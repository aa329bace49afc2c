// Runs the Windows test program (tests/windows) under Wine against the device simulator.
//
// One private Wine prefix under the build tree serves every scenario; its wineserver is kept
// alive between them so that each Windows process starts in a fraction of a second instead
// of several seconds. Each scenario starts a simulator whose pseudo-terminal is linked as
// the prefix's COM5, runs a selection of the Windows tests with what they should expect in
// the environment, and checks what the simulator received.

#include "BkSimulator.h"
#include "TestFrames.h"

#include "flash/FlashProtocol.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::seconds;
using tamsivo::sim::BkSimConfig;
using tamsivo::sim::BkSimulator;
using tamsivo::sim::Fault;

constexpr const char* kWineLoader = "/usr/lib/wine/wine64";
// The server binary itself: Debian's wrapper script adds a persistence of 0 seconds.
constexpr const char* kWineServer = "/usr/lib/wine/wineserver64";
constexpr const char* kWindowsTests = TAMSIVO_WIN_TESTS_EXE;
constexpr const char* kWindowsFlasher = TAMSIVO_WIN_FLASH_EXE;
constexpr const char* kPrefix = TAMSIVO_WINE_PREFIX;
constexpr const char* kOutputDir = TAMSIVO_WINE_OUTPUT_DIR;
constexpr const char* kPortName = "COM5";
constexpr const char* kPortLink = "dosdevices/com5";

// Generous: a first start of a fresh prefix takes seconds, a test process well under one.
constexpr seconds kPrefixDeadline{300};
constexpr seconds kServerDeadline{60};
constexpr seconds kTestsDeadline{120};
// After its last client the server lingers this long, so a crashed harness leaves nothing
// behind for good; the end of the run stops it at once.
constexpr const char* kServerPersistence = "-p60";

struct ProcessResult {
    bool started = false;
    bool inTime = false;
    int status = -1; // the wait status
    std::string error;
    long long milliseconds = 0;

    bool Succeeded() const {
        return started && inTime && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    int ExitCode() const { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }
};

std::string Describe(const ProcessResult& result) {
    std::ostringstream text;
    if (!result.started) {
        text << "could not start: " << result.error;
    } else if (!result.inTime) {
        text << "killed after overrunning its deadline";
    } else if (WIFEXITED(result.status)) {
        text << "exit status " << WEXITSTATUS(result.status);
    } else if (WIFSIGNALED(result.status)) {
        text << "killed by signal " << WTERMSIG(result.status);
    }
    text << " after " << result.milliseconds << " ms";
    return text.str();
}

bool IsOurVariable(const std::string& entry) {
    // The tests' expectations come only from the scenario; the Wine settings only from here;
    // and without a display Wine never tries an X server (the tests use message-only
    // windows), so that the outcome does not depend on the desktop the harness runs on.
    for (const char* prefix : {"WINEPREFIX=", "WINEDEBUG=", "WINEDLLOVERRIDES=", "WINESERVER=",
                               "DISPLAY=", "WAYLAND_DISPLAY=", "TAMSIVO_"}) {
        if (entry.compare(0, std::strlen(prefix), prefix) == 0) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> WineEnvironment(const std::vector<std::string>& extra) {
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!IsOurVariable(*entry)) {
            entries.emplace_back(*entry);
        }
    }
    entries.push_back(std::string("WINEPREFIX=") + kPrefix);
    entries.push_back("WINEDEBUG=-all");
    // No Mono or Gecko installer dialogs while the prefix is made, no menu entries written
    // into the home directory.
    entries.push_back("WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d");
    entries.insert(entries.end(), extra.begin(), extra.end());
    return entries;
}

// Runs a program with its output in `outputPath`, waiting for it at most `deadline`; a
// process that overruns is killed.
ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::string>& extraEnvironment,
                         const std::string& outputPath, seconds deadline) {
    ProcessResult result;
    const std::vector<std::string> environment = WineEnvironment(extraEnvironment);
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    std::vector<char*> envs;
    for (const std::string& entry : environment) {
        envs.push_back(const_cast<char*>(entry.c_str()));
    }
    envs.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const auto start = Clock::now();
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envs.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        result.error = std::string(argv[0]) + ": " + std::strerror(spawned);
        return result;
    }
    result.started = true;

    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    int status = 0;
    std::thread waiter([&] {
        int waitStatus = 0;
        while (::waitpid(pid, &waitStatus, 0) < 0 && errno == EINTR) {
        }
        std::lock_guard<std::mutex> lock(mutex);
        status = waitStatus;
        done = true;
        ended.notify_all();
    });
    {
        std::unique_lock<std::mutex> lock(mutex);
        result.inTime = ended.wait_for(lock, deadline, [&] { return done; });
    }
    if (!result.inTime) {
        ::kill(pid, SIGKILL);
    }
    waiter.join();
    result.status = status;
    result.milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    return result;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string OutputPath(const std::string& name) {
    return std::string(kOutputDir) + "/" + name + ".txt";
}

// The prefix's own serial links (mountmgr links com1 to /dev/ttyS0 and so on at every
// session start) must not leak the machine's devices into the tests.
void RemoveComLinks() {
    std::error_code error;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(fs::path(kPrefix) / "dosdevices", error)) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 3 && name.compare(0, 3, "com") == 0 && entry.is_symlink(error)) {
            fs::remove(entry.path(), error);
        }
    }
}

// The prefix and its wineserver, for the whole run of the harness.
class WineSession : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(kWindowsTests))
            << kWindowsTests << " is missing: build the windows preset first";
        ASSERT_TRUE(fs::exists(kWineLoader)) << kWineLoader << " is missing: install wine64";
        std::error_code error;
        fs::create_directories(kOutputDir, error);
        ASSERT_FALSE(error) << kOutputDir << ": " << error.message();

        // Two harnesses of one build tree would fight over COM5: the second waits.
        const std::string lockPath = std::string(kPrefix) + ".lock";
        lock_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(lock_, 0) << lockPath << ": " << std::strerror(errno);
        ASSERT_EQ(::flock(lock_, LOCK_EX), 0) << lockPath << ": " << std::strerror(errno);

        if (!fs::exists(fs::path(kPrefix) / "system.reg")) {
            const ProcessResult boot = RunProcess({kWineLoader, "wineboot", "-i"}, {},
                                                  OutputPath("wineboot"), kPrefixDeadline);
            ASSERT_TRUE(boot.Succeeded()) << "wineboot -i: " << Describe(boot) << "\n"
                                          << ReadText(OutputPath("wineboot"));
            std::cout << "[   WINE   ] prefix made in " << boot.milliseconds << " ms\n";
            // That server ends with its last client; ours must not race it.
            const ProcessResult wait =
                RunProcess({kWineServer, "-w"}, {}, OutputPath("wineserver-wait"), kServerDeadline);
            ASSERT_TRUE(wait.Succeeded()) << "wineserver -w: " << Describe(wait);
        }

        // The server forks into the background and returns; 2 means one is running already.
        const ProcessResult server = RunProcess({kWineServer, kServerPersistence}, {},
                                                OutputPath("wineserver"), kServerDeadline);
        ASSERT_TRUE(server.started && server.inTime &&
                    (server.ExitCode() == 0 || server.ExitCode() == 2))
            << "wineserver " << kServerPersistence << ": " << Describe(server) << "\n"
            << ReadText(OutputPath("wineserver"));
        serverStarted_ = true;

        // The first process of a session brings up Wine's services, which relink the serial
        // ports; that is over once it has run.
        const ProcessResult list = RunProcess({kWineLoader, kWindowsTests, "--gtest_list_tests"},
                                              {}, OutputPath("list-tests"), kTestsDeadline);
        const std::string listing = ReadText(OutputPath("list-tests"));
        ASSERT_TRUE(list.Succeeded()) << "listing the Windows tests: " << Describe(list) << "\n"
                                      << listing;
        ASSERT_NE(listing.find("FlashFaultWin32."), std::string::npos) << listing;
        std::cout << "[   WINE   ] session up in " << list.milliseconds << " ms\n";
        RemoveComLinks();
    }

    void TearDown() override {
        if (serverStarted_) {
            const ProcessResult kill =
                RunProcess({kWineServer, "-k"}, {}, OutputPath("wineserver-kill"), kServerDeadline);
            EXPECT_TRUE(kill.started && kill.inTime) << "wineserver -k: " << Describe(kill);
        }
        if (lock_ >= 0) {
            ::close(lock_);
        }
    }

private:
    int lock_ = -1;
    bool serverStarted_ = false;
};

::testing::Environment* const kWineSession = ::testing::AddGlobalTestEnvironment(new WineSession);

const std::uint32_t kFramesInPackage =
    static_cast<std::uint32_t>(tamsivo::test::FrameEnds().size());

std::vector<std::uint8_t> FirstFrame() {
    const std::vector<std::uint8_t> package = tamsivo::test::PackageBytes();
    return std::vector<std::uint8_t>(package.begin(),
                                     package.begin() + tamsivo::test::FrameEnds().front());
}

class WineHarness : public ::testing::Test {
protected:
    void TearDown() override {
        if (simulator_) {
            simulator_->Stop();
            EXPECT_EQ(simulator_->ServeError(), "");
        }
    }

    // Serves the prefix's COM5 with `config`.
    void StartSimulator(BkSimConfig config) {
        RemoveComLinks();
        config.linkPath = (fs::path(kPrefix) / kPortLink).string();
        simulator_ = std::make_unique<BkSimulator>(std::move(config));
        std::string error;
        ASSERT_TRUE(simulator_->Start(&error)) << error;
    }

    // Runs the Windows tests chosen by `filter` against COM5; every selected test must have
    // run (none skipped) and passed.
    void RunWindowsTests(const std::string& name, const std::string& filter,
                         std::vector<std::string> environment = {}) {
        environment.push_back(std::string("TAMSIVO_TEST_PORT=") + kPortName);
        const ProcessResult run =
            RunProcess({kWineLoader, kWindowsTests, "--gtest_filter=" + filter, "--gtest_color=no"},
                       environment, OutputPath(name), kTestsDeadline);
        const std::string output = ReadText(OutputPath(name));
        std::cout << "[   WINE   ] " << name << ": " << Describe(run) << "\n";
        EXPECT_TRUE(run.Succeeded()) << Describe(run) << "\n" << output;
        EXPECT_NE(output.find("[  PASSED  ]"), std::string::npos) << output;
        EXPECT_EQ(output.find("[  SKIPPED ]"), std::string::npos)
            << "a Windows test skipped instead of running:\n"
            << output;
    }

    std::unique_ptr<BkSimulator> simulator_;
};

// The line, the port list, the package path and the stop command on a simulator that
// accepts everything; a held port is busy although Wine's serial devices ignore share modes.
TEST_F(WineHarness, LineAndPlatformCasesPass) {
    ASSERT_NO_FATAL_FAILURE(StartSimulator(BkSimConfig{}));
    RunWindowsTests("line", "SerialLineWin32*.*:PlatformWin32.*:SerialPortsWin32.*:"
                            "FlashStopWin32.*");
}

// The product's thread start with its own timeouts: the simulator receives the whole
// package, byte for byte, each frame once.
TEST_F(WineHarness, ProductThreadDeliversWholePackage) {
    ASSERT_NO_FATAL_FAILURE(StartSimulator(BkSimConfig{}));
    RunWindowsTests("product-thread", "FlashThreadWin32.*");
    EXPECT_EQ(simulator_->Accepted(), tamsivo::test::PackageBytes());
    EXPECT_EQ(simulator_->FramesReceived(), tamsivo::test::FrameEnds().size());
}

// Wine's serial devices open any number of times, whatever the share mode: two programs
// that write into one line at once would each report success over a half-written computer.
// While one Tamsivo program flashes through a port, every other finds it busy.
TEST_F(WineHarness, APortInUseIsBusyForEveryOtherProgram) {
    BkSimConfig slow;
    slow.processingDelayMs = 1000; // the first run lasts some seconds
    ASSERT_NO_FATAL_FAILURE(StartSimulator(slow));
    const std::string package = std::string(kOutputDir) + "/claim.enc";
    std::ofstream(package, std::ios::binary) << tamsivo::test::PackageText();
    const std::string windowsPackage = "Z:" + package;

    ProcessResult first;
    std::thread firstRun([&] {
        first = RunProcess({kWineLoader, kWindowsFlasher, "--port", kPortName, windowsPackage}, {},
                           OutputPath("claim-first"), kTestsDeadline);
    });
    const auto deadline = Clock::now() + kTestsDeadline;
    while (simulator_->FramesReceived() == 0 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // polls the simulator
    }
    const bool firstStarted = simulator_->FramesReceived() != 0;
    const ProcessResult second =
        RunProcess({kWineLoader, kWindowsFlasher, "--port", kPortName, windowsPackage}, {},
                   OutputPath("claim-second"), kTestsDeadline);
    const ProcessResult list = RunProcess({kWineLoader, kWindowsFlasher, "--list-ports"}, {},
                                          OutputPath("claim-list"), kTestsDeadline);
    const std::uint32_t framesWhileBusy = simulator_->FramesReceived();
    firstRun.join();

    ASSERT_TRUE(firstStarted) << ReadText(OutputPath("claim-first"));
    EXPECT_EQ(second.ExitCode(), 7) << Describe(second) << "\n"
                                    << ReadText(OutputPath("claim-second"));
    EXPECT_EQ(ReadText(OutputPath("claim-list")).find(kPortName), std::string::npos)
        << ReadText(OutputPath("claim-list"));
    EXPECT_LT(framesWhileBusy, kFramesInPackage) << "the first run ended too soon to tell";
    EXPECT_EQ(first.ExitCode(), 0) << ReadText(OutputPath("claim-first"));
    EXPECT_EQ(simulator_->Accepted(), tamsivo::test::PackageBytes());
    EXPECT_EQ(simulator_->FramesReceived(), kFramesInPackage);
}

struct FaultScenario {
    const char* name;
    BkSimConfig config;
    unsigned expectedEnd;
    std::uint32_t expectedProgress; // WM_FLASH_PROGRESS notices before the end
    std::uint32_t framesReceived;   // complete frames the simulator saw
    bool wholePackageAccepted;      // else only the first frame
};

BkSimConfig FaultOnSecondFrame(Fault fault, std::uint8_t answer = 0) {
    BkSimConfig config;
    config.fault = fault;
    config.faultFrame = 2;
    config.faultAnswer = answer;
    return config;
}

BkSimConfig Answers(const char* script) {
    BkSimConfig config;
    config.answers = script;
    return config;
}

BkSimConfig ExtraEchoThenRefusal() {
    BkSimConfig config = FaultOnSecondFrame(Fault::ExtraEcho, tamsivo::ANSWER_OK);
    config.answers = "ok,44";
    return config;
}

void PrintTo(const FaultScenario& scenario, std::ostream* out) {
    *out << scenario.name;
}

class WineFaultScenario : public WineHarness,
                          public ::testing::WithParamInterface<FaultScenario> {};

TEST_P(WineFaultScenario, RunEndsAsExpected) {
    const FaultScenario& scenario = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartSimulator(scenario.config));
    RunWindowsTests(std::string("fault-") + scenario.name, "FlashFaultWin32.*",
                    {"TAMSIVO_EXPECT_END=" + std::to_string(scenario.expectedEnd),
                     "TAMSIVO_EXPECT_PROGRESS=" + std::to_string(scenario.expectedProgress)});
    EXPECT_EQ(simulator_->FramesReceived(), scenario.framesReceived);
    EXPECT_EQ(simulator_->Accepted(),
              scenario.wholePackageAccepted ? tamsivo::test::PackageBytes() : FirstFrame());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, WineFaultScenario,
    ::testing::Values(
        // The second frame vanishes: no echo within the line timeout.
        FaultScenario{"no_echo", FaultOnSecondFrame(Fault::NoEcho), tamsivo::WM_FLASH_NO_ECHO, 1, 2,
                      false},
        FaultScenario{"short_echo", FaultOnSecondFrame(Fault::ShortEcho), tamsivo::WM_FLASH_NO_ECHO,
                      1, 2, false},
        FaultScenario{"no_answer", FaultOnSecondFrame(Fault::NoAnswer), tamsivo::WM_FLASH_NO_ANSWER,
                      2, 2, false},
        FaultScenario{"bad_signature",
                      FaultOnSecondFrame(Fault::Answer, tamsivo::ANSWER_BAD_SIGNATURE),
                      tamsivo::WM_FLASH_SIGNATURE_ERROR, 2, 2, false},
        // The adapter is pulled while the second frame goes out: the frame is written into
        // the pseudo-terminal whole, its echo never comes.
        FaultScenario{"drop_line", FaultOnSecondFrame(Fault::DropLine), tamsivo::WM_FLASH_NO_ECHO,
                      1, 1, false},
        // A byte too many after the second frame's echo, then a refusal: the extra byte must
        // not pass for the verdict.
        FaultScenario{"extra_echo", ExtraEchoThenRefusal(), tamsivo::WM_FLASH_LINE_ERROR, 2, 2,
                      false},
        // Two checksum retries of the first frame, then OK: it goes out three times and is
        // accepted once; the run completes.
        FaultScenario{"resend_twice", Answers("22,22,11"), tamsivo::WM_FLASH_DONE,
                      kFramesInPackage + 2, kFramesInPackage + 2, true}),
    [](const ::testing::TestParamInfo<FaultScenario>& info) { return info.param.name; });

} // namespace
