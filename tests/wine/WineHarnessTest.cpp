// Runs the Windows test program (tests/windows) under Wine, scenario by scenario: each starts
// the device simulators a scenario needs, links them into a private Wine prefix as COM ports,
// prepares the program's folder, runs a selection of the Windows tests with what they should
// expect in the environment, and checks what the simulators received.
#include "BkSimulator.h"
#include "TestPackage.h"

#include "flash/FlashProtocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
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
using tamsivo::sim::BkSimConfig;
using tamsivo::sim::BkSimulator;
using tamsivo::sim::Fault;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kWine = "/usr/lib/wine/wine64";
constexpr const char* kWineServer = "/usr/lib/wine/wineserver64";
const fs::path kBin = TAMSIVO_WINDOWS_BIN_DIR;
const fs::path kWork = TAMSIVO_WINE_WORK_DIR;
const fs::path kPrefix = kWork / "wineprefix";

// Runs a program to its end (or kills it after `seconds`), its output in `log`; the exit code,
// or -1.
int Execute(std::vector<std::string> argv, const std::vector<std::string>& extra,
            const fs::path& log, int seconds = 180) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "WINE", 4) != 0 && std::strncmp(*entry, "TAMSIVO_", 8) != 0 &&
            std::strncmp(*entry, "LANG=", 5) != 0 && std::strncmp(*entry, "LC_", 3) != 0) {
            environment.emplace_back(*entry);
        }
    }
    // C.UTF-8: Wine names Unix files in UTF-8 and runs with a Western ANSI code page, so that
    // the program's explicit Windows-1251 conversion is what makes its texts right.
    for (const char* entry :
         {"WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d",
          "LANG=C.UTF-8", "LC_ALL=C.UTF-8"}) {
        environment.emplace_back(entry);
    }
    environment.push_back("WINEPREFIX=" + kPrefix.string());
    environment.insert(environment.end(), extra.begin(), extra.end());
    std::vector<char*> args;
    std::vector<char*> envs;
    for (std::string& a : argv) {
        args.push_back(a.data());
    }
    for (std::string& e : environment) {
        envs.push_back(e.data());
    }
    args.push_back(nullptr);
    envs.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, args[0], &actions, nullptr, args.data(), envs.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return -1;
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // polls the child's end
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A Unix path as Wine's Z: drive names it.
std::string WindowsPath(const fs::path& path) {
    std::string text = "Z:" + path.string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

// Wine gives the machine's own serial devices COM names (a session's start links them, and a
// COM port whose link leads nowhere falls back to /dev/ttyS<n-1>); only the scenario's
// simulators may be found. Every other COM port of the first 32 leads to a folder, which no
// program opens as a port.
void NeutraliseComPorts() {
    std::error_code error;
    fs::create_directories(kWork / "no-port", error);
    for (int n = 1; n <= 32; ++n) {
        const fs::path link = kPrefix / "dosdevices" / ("com" + std::to_string(n));
        fs::remove(link, error);
        fs::create_symlink(kWork / "no-port", link, error);
    }
}

// The prefix and its wineserver, kept for the whole run so that each Windows process starts
// in a fraction of a second.
class WineSession : public ::testing::Environment {
public:
    void SetUp() override {
        fs::create_directories(kWork);
        lock_ = ::open((kWork / "lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_EQ(::flock(lock_, LOCK_EX), 0) << "another harness of this build tree";
        if (!fs::exists(kPrefix / "system.reg")) {
            ASSERT_EQ(Execute({kWine, "wineboot", "-i"}, {}, kWork / "wineboot.log", 300), 0)
                << ReadText(kWork / "wineboot.log");
            // Xvfb has no window manager, and Wine waits two seconds for one to withdraw each
            // managed window that is hidden or destroyed; unmanaged windows go at once.
            Execute({kWine, "reg", "add", "HKCU\\Software\\Wine\\X11 Driver", "/v", "Managed", "/d",
                     "N", "/f"},
                    {}, kWork / "managed.log");
            Execute({kWineServer, "-w"}, {}, kWork / "wineserver-wait.log");
        }
        const int server = Execute({kWineServer, "-p60"}, {}, kWork / "wineserver.log");
        ASSERT_TRUE(server == 0 || server == 2) << "wineserver: " << server;
        // The first process of a session brings up Wine's services, which relink the ports.
        ASSERT_EQ(Execute({kWine, (kBin / "tests/windows/tamsivo_win_tests.exe").string(),
                           "--gtest_list_tests"},
                          {}, kWork / "session.log"),
                  0)
            << ReadText(kWork / "session.log");
        NeutraliseComPorts();
    }
    void TearDown() override {
        Execute({kWineServer, "-k"}, {}, kWork / "wineserver-kill.log");
        ::close(lock_);
    }

private:
    int lock_ = -1;
};
::testing::Environment* const kSession = ::testing::AddGlobalTestEnvironment(new WineSession);

class Wine : public ::testing::Test {
protected:
    void TearDown() override {
        for (auto& [port, simulator] : simulators_) {
            simulator->Stop();
            EXPECT_EQ(simulator->ServeError(), "") << port;
        }
        NeutraliseComPorts();
    }

    // A simulator serving the prefix's COM port `number`.
    BkSimulator& Serve(int number, BkSimConfig config = {}) {
        config.linkPath = (kPrefix / "dosdevices" / ("com" + std::to_string(number))).string();
        auto simulator = std::make_unique<BkSimulator>(std::move(config));
        std::string error;
        EXPECT_TRUE(simulator->Start(&error)) << error;
        return *(simulators_[number] = std::move(simulator));
    }

    // A fresh folder with the program and, in `updates`, the test package under each name.
    std::string ProgramFolder(const std::vector<std::string>& packages) {
        const fs::path folder =
            kWork / ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(folder);
        fs::create_directories(folder / "updates");
        fs::copy_file(kBin / "src/Tamsivo.exe", folder / "Tamsivo.exe");
        for (const std::string& name : packages) {
            std::ofstream(folder / "updates" / name, std::ios::binary)
                << tamsivo::test::WindowsPackage().text;
        }
        return "TAMSIVO_PROGRAM_DIR=" + WindowsPath(folder);
    }

    // Runs the Windows tests of `filter`; every one must run (none skipped) and pass.
    void RunWindowsTests(const std::string& filter, std::vector<std::string> environment = {}) {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '-');
        const fs::path log = kWork / (name + ".log");
        environment.push_back("TAMSIVO_TEST_PORT=COM5");
        environment.push_back("TAMSIVO_BIN_DIR=" + WindowsPath(kBin));
        const int code = Execute({kWine, (kBin / "tests/windows/tamsivo_win_tests.exe").string(),
                                  "--gtest_filter=" + filter, "--gtest_color=no"},
                                 environment, log);
        const std::string output = ReadText(log);
        EXPECT_EQ(code, 0) << output;
        EXPECT_NE(output.find("[  PASSED  ]"), std::string::npos) << output;
        EXPECT_EQ(output.find("[  SKIPPED ]"), std::string::npos) << output;
    }

    std::map<int, std::unique_ptr<BkSimulator>> simulators_;
};

const Bytes kPackage = tamsivo::test::WindowsPackage().bytes;
const Bytes kFirstFrame(kPackage.begin(),
                        kPackage.begin() + tamsivo::test::WindowsPackage().frameEnds.front());

TEST_F(Wine, WindowsEngineFrameworkControlsAndDialogs) {
    Serve(5);
    RunWindowsTests("-Program.*:*FaultEnds*");
    EXPECT_GE(simulators_[5]->Accepted().size(), kPackage.size());
}

// What only a Windows line shows: the adapter pulled mid-frame, and a byte too many that the
// Windows line's count of waiting bytes must reveal.
class WineFault : public Wine, public ::testing::WithParamInterface<Fault> {};

TEST_P(WineFault, EndsTheRunAsItShould) {
    const bool dropped = GetParam() == Fault::DropLine;
    BkSimConfig config;
    config.fault = GetParam();
    config.faultFrame = 2;
    config.faultAnswer = tamsivo::ANSWER_OK;
    config.answers = "ok,44";
    BkSimulator& simulator = Serve(5, config);
    const unsigned end = dropped ? tamsivo::WM_FLASH_NO_ECHO : tamsivo::WM_FLASH_LINE_ERROR;
    RunWindowsTests("*FaultEnds*", {"TAMSIVO_EXPECT_END=" + std::to_string(end),
                                    "TAMSIVO_EXPECT_PROGRESS=" + std::to_string(dropped ? 1 : 2)});
    EXPECT_EQ(simulator.Accepted(), kFirstFrame);
}
INSTANTIATE_TEST_SUITE_P(Line, WineFault, ::testing::Values(Fault::DropLine, Fault::ExtraEcho),
                         [](const auto& info) {
                             return info.param == Fault::DropLine ? "Dropped" : "ExtraEcho";
                         });

// Wine's serial devices open any number of times, whatever the share mode: while one Tamsivo
// program flashes through a port, every other finds it busy and writes nothing into it.
TEST_F(Wine, APortInUseIsBusyForEveryOtherProgram) {
    BkSimConfig slow;
    slow.processingDelayMs = 1000; // the first run lasts some seconds
    BkSimulator& simulator = Serve(5, slow);
    const fs::path package = kWork / "claim.enc";
    std::ofstream(package, std::ios::binary) << tamsivo::test::WindowsPackage().text;
    const std::string flasher = (kBin / "tools/tamsivo-flash/tamsivo-flash.exe").string();
    int first = -1;
    std::thread firstRun([&] {
        first = Execute({kWine, flasher, "--port", "COM5", WindowsPath(package)}, {},
                        kWork / "claim-first.log");
    });
    while (simulator.FramesReceived() == 0 && first == -1) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // polls the simulator
    }
    const int second = Execute({kWine, flasher, "--port", "COM5", WindowsPath(package)}, {},
                               kWork / "claim-second.log");
    Execute({kWine, flasher, "--list-ports"}, {}, kWork / "claim-list.log");
    const std::uint32_t framesWhileBusy = simulator.FramesReceived();
    firstRun.join();
    EXPECT_EQ(second, 7) << ReadText(kWork / "claim-second.log");
    EXPECT_NE(ReadText(kWork / "claim-second.log").find("another Tamsivo program"),
              std::string::npos)
        << ReadText(kWork / "claim-second.log");
    const std::string list = ReadText(kWork / "claim-list.log");
    const std::size_t listed = list.find("COM5 ");
    ASSERT_NE(listed, std::string::npos) << list;
    EXPECT_NE(list.substr(listed, list.find('\n', listed) - listed).find("busy"), std::string::npos)
        << list;
    EXPECT_LT(framesWhileBusy, tamsivo::test::WindowsPackage().frameEnds.size())
        << "the first run ended too soon";
    EXPECT_EQ(first, 0) << ReadText(kWork / "claim-first.log");
    EXPECT_EQ(simulator.Accepted(), kPackage);
}

TEST_F(Wine, ProgramGreetsWithTheRememberedPort) {
    Serve(5);
    Serve(6);
    RunWindowsTests("Program.GreetsWith*", {ProgramFolder({"bk.enc"})});
}

TEST_F(Wine, ProgramUpdates) {
    BkSimulator& simulator = Serve(5);
    RunWindowsTests("Program.Updates*", {ProgramFolder({"bk.enc"})});
    EXPECT_EQ(simulator.Accepted(), kPackage);
}

TEST_F(Wine, ProgramShowsAFailure) {
    BkSimConfig refusing;
    refusing.answers = "ok,44";
    BkSimulator& simulator = Serve(5, refusing);
    RunWindowsTests("Program.Updates*",
                    {ProgramFolder({"bk.enc"}),
                     "TAMSIVO_EXPECT_END=" + std::to_string(tamsivo::WM_FLASH_SIGNATURE_ERROR)});
    EXPECT_EQ(simulator.Accepted(), kFirstFrame);
}

TEST_F(Wine, ProgramStopsAndRunsAgain) {
    BkSimConfig slow;
    slow.processingDelayMs = 300;
    BkSimulator& simulator = Serve(5, slow);
    RunWindowsTests("Program.Stops*", {ProgramFolder({"bk.enc"})});
    const Bytes accepted = simulator.Accepted();
    ASSERT_GT(accepted.size(), kPackage.size());
    EXPECT_TRUE(std::equal(kPackage.rbegin(), kPackage.rend(), accepted.rbegin()))
        << "the second run delivers the whole package";
}

TEST_F(Wine, ProgramWithoutAPackage) {
    RunWindowsTests("Program.WithoutAPackage*", {ProgramFolder({})});
}

TEST_F(Wine, ProgramLetsTheUserChoose) {
    BkSimulator& simulator = Serve(5);
    RunWindowsTests("Program.LetsTheUser*", {ProgramFolder({"a.enc", "bk.enc"})});
    EXPECT_EQ(simulator.Accepted(), kPackage);
}

} // namespace
