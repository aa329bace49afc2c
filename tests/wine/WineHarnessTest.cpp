// Runs the Windows test program (tests/windows) under Wine, scenario by scenario: each starts
// the device simulators a scenario needs, links them into a private Wine prefix as COM ports,
// prepares the program's folder, runs a selection of the Windows tests with what they should
// expect in the environment, and checks what the simulators received.
#include "BkSimulator.h"
#include "TestPackage.h"

#include "flash/FlashProtocol.h"
#include "flash/Outcome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/inotify.h>
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
// or -1 when it could not start.
int Execute(std::vector<std::string> argv, const std::vector<std::string>& extra,
            const fs::path& log, int seconds = 180) {
    argv.insert(argv.begin(), {"/usr/bin/timeout", "-s", "KILL", std::to_string(seconds)});
    // C.UTF-8: Wine names Unix files in UTF-8 and runs with a Western ANSI code page, so that
    // the program's explicit Windows-1251 conversion is what makes its texts right.
    std::vector<std::string> environment = {
        "WINEDEBUG=-all", "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d", "LANG=C.UTF-8",
        "LC_ALL=C.UTF-8", "WINEPREFIX=" + kPrefix.string()};
    environment.insert(environment.end(), extra.begin(), extra.end());
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "WINE", 4) != 0 && std::strncmp(*entry, "TAMSIVO_", 8) != 0 &&
            std::strncmp(*entry, "LANG=", 5) != 0 && std::strncmp(*entry, "LC_", 3) != 0) {
            environment.emplace_back(*entry);
        }
    }
    const auto pointers = [](std::vector<std::string>& texts) {
        std::vector<char*> list(texts.size() + 1, nullptr);
        std::transform(texts.begin(), texts.end(), list.begin(),
                       [](auto& text) { return text.data(); });
        return list;
    };
    std::vector<char*> args = pointers(argv);
    std::vector<char*> envs = pointers(environment);
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
    ::waitpid(pid, &status, 0);
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

    // A fresh folder with the program and, in `updates`, the package `text` (by default the
    // test package) under each name; the folder is named after the test, or `name`.
    std::string ProgramFolder(const std::vector<std::string>& packages,
                              const std::string& text = tamsivo::test::WindowsPackage().text,
                              const std::string& name = {}) {
        const fs::path folder =
            kWork / (name.empty() ? ::testing::UnitTest::GetInstance()->current_test_info()->name()
                                  : name);
        fs::remove_all(folder);
        fs::create_directories(folder / "updates");
        fs::copy_file(kBin / "src/Tamsivo.exe", folder / "Tamsivo.exe");
        for (const std::string& name : packages) {
            std::ofstream(folder / "updates" / name, std::ios::binary) << text;
        }
        return "TAMSIVO_PROGRAM_DIR=" + WindowsPath(folder);
    }

    // Runs the Windows tests of `filter`; every one must run (none skipped) and pass.
    void RunWindowsTests(const std::string& filter, std::vector<std::string> environment = {}) {
        const fs::path log =
            kWork /
            (::testing::UnitTest::GetInstance()->current_test_info()->name() + std::string(".log"));
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
    Serve(6);
    // The program without a package says where it looked, and ends.
    RunWindowsTests("-Program.GreetsWith*:Program.CancelsEven*",
                    {"TAMSIVO_OTHER_PORT=COM6", ProgramFolder({})});
}

// The command-line flasher's exit code and output (also in `name`.log) with `args`.
struct Flashed {
    int code;
    std::string output;
};
Flashed Flash(const std::string& name, std::vector<std::string> args) {
    args.insert(args.begin(), {kWine, (kBin / "tools/tamsivo-flash/tamsivo-flash.exe").string()});
    const int code = Execute(args, {}, kWork / (name + ".log"));
    return {code, ReadText(kWork / (name + ".log"))};
}

// The package written to a file of its own, as the Windows path of that file.
std::string PackageFile(const std::string& name, const tamsivo::test::TestPackage& package) {
    std::ofstream(kWork / (name + ".enc"), std::ios::binary) << package.text;
    return WindowsPath(kWork / (name + ".enc"));
}

// What only a Windows line shows: the adapter pulled mid-frame, and a byte too many that the
// Windows line's count of waiting bytes must reveal.
TEST_F(Wine, TheFlasherEndsTheRunAsALineFaultDemands) {
    for (const auto& [port, fault, end] :
         {std::tuple(5, Fault::DropLine, tamsivo::Outcome::NoEcho),
          std::tuple(6, Fault::ExtraEcho, tamsivo::Outcome::LineError)}) {
        BkSimConfig config;
        config.fault = fault;
        config.faultFrame = 2;
        config.faultAnswer = tamsivo::ANSWER_OK;
        config.answers = "ok,44";
        BkSimulator& simulator = Serve(port, config);
        const Flashed run = Flash("fault", {"--json", "--port", "COM" + std::to_string(port),
                                            "--no-log", "--timeout-ms", "500",
                                            PackageFile("fault", tamsivo::test::WindowsPackage())});
        EXPECT_NE(run.output.find(std::string("\"result\":\"") + tamsivo::RowOf(end).key + "\""),
                  std::string::npos)
            << run.output;
        EXPECT_EQ(simulator.Accepted(), kFirstFrame);
    }
}

// An adapter echoes every byte as it passes and holds only so much of its echo: the largest
// frames a package may hold go through the Windows line all the same. The flasher works in UTF-8
// and speaks UTF-16 to the system: a package in a folder and under a name that neither
// Windows-1251 nor the ANSI code page can spell is found and named as it is.
TEST_F(Wine, TheFlasherTakesPathsInEveryScriptAndTheLargestFramesGoThroughAnEchoingAdapter) {
    BkSimulator& simulator = Serve(5);
    const tamsivo::test::TestPackage package =
        tamsivo::test::MakePackage({0xFFFF, 3, 0xFFFF}, tamsivo::test::AwkwardBytes());
    const std::string name = "\xCE\x9F\xCE\xBB\xCE\xB3\xCE\xB1"; // Ολγα
    fs::create_directories(kWork / name);
    std::ofstream(kWork / "largest.trace") << std::string(1 << 20, '~'); // an older, longer one
    const Flashed run = Flash("largest", {"--json", "--port", "COM5", "--no-log", "--trace",
                                          WindowsPath(kWork / "largest.trace"),
                                          PackageFile(name + "/" + name, package)});
    EXPECT_EQ(run.code, 0) << run.output;
    EXPECT_NE(run.output.find("\"package\":\"" + name + ".enc\""), std::string::npos) << run.output;
    EXPECT_EQ(simulator.Accepted(), package.bytes);
    // The trace, through the Windows file calls, replaced the older one, down to the run's
    // outcome.
    const std::string trace = ReadText(kWork / "largest.trace");
    EXPECT_EQ(trace.find('~'), std::string::npos);
    EXPECT_NE(trace.find("\n# outcome done (exit code 0)"), std::string::npos);
}

// A stray byte taken for the last verdict, then the adapter is gone: no success, and the
// reason is the adapter's, not the K-line's.
TEST_F(Wine, AnAdapterThatVanishesIsToldAsSuch) {
    BkSimConfig vanishing;
    vanishing.fault = Fault::HangUp;
    vanishing.faultFrame = 1;
    vanishing.faultAnswer = tamsivo::ANSWER_OK;
    vanishing.faultDelayMs = 100;
    Serve(5, vanishing);
    const std::string package = PackageFile("vanishing", tamsivo::test::MakePackage({16}, {0x5A}));
    const Flashed run = Flash("vanishing", {"--json", "--port", "COM5", "--no-log", package});
    EXPECT_EQ(run.code, 10) << run.output;
    EXPECT_NE(run.output.find("\"reason\":\"the adapter was disconnected"), std::string::npos)
        << run.output;
}

// Wine's serial devices open any number of times, whatever the share mode: while one Tamsivo
// program flashes through a port, every other finds it busy and writes nothing into it.
TEST_F(Wine, APortInUseIsBusyForEveryOtherProgram) {
    BkSimConfig slow;
    // The first run lasts some seconds, well beyond the second run and the listing, which
    // start as its first frame arrives and run side by side.
    slow.processingDelayMs = 1000;
    BkSimulator& simulator = Serve(5, slow);
    const std::string package = PackageFile("claim", tamsivo::test::WindowsPackage());
    std::atomic<bool> firstEnded{false};
    Flashed first{};
    std::thread firstRun([&] {
        first = Flash("claim-first", {"--port", "COM5", package});
        firstEnded = true;
    });
    while (simulator.FramesReceived() == 0 && !firstEnded) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20)); // polls the simulator
    }
    std::string list;
    std::thread listing([&] { list = Flash("claim-list", {"--json", "--list-ports"}).output; });
    const Flashed second = Flash("claim-second", {"--port", "COM5", package});
    listing.join();
    const std::uint32_t framesWhileBusy = simulator.FramesReceived();
    firstRun.join();
    EXPECT_EQ(second.code, 7) << second.output;
    EXPECT_NE(second.output.find("another Tamsivo program"), std::string::npos) << second.output;
    EXPECT_NE(list.find("\"port\":\"COM5\",\"state\":\"busy\""), std::string::npos) << list;
    EXPECT_LT(framesWhileBusy, tamsivo::test::WindowsPackage().frameEnds.size())
        << "the first run ended too soon";
    EXPECT_EQ(first.code, 0) << first.output;
    EXPECT_EQ(simulator.Accepted(), kPackage);
}

// An FTDI adapter as Windows' device manager describes it, written into the prefix's registry,
// which Wine's SetupAPI reads: the list and the warning before a run come from the system's
// own calls. The serial number stands in the instance identifier as Windows puts it there.
TEST_F(Wine, AnFtdiAdaptersSlowLatencyTimerIsListedAndWarnedOf) {
    Serve(5);
    // Another port, which a run through COM5 must not open: an open can change its modem lines.
    const int opens = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(opens, Serve(6).SlavePath().c_str(), IN_OPEN), 0);
    const std::string device =
        "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Enum\\USB\\VID_0403&PID_6001\\A50285BI";
    std::ofstream(kWork / "ftdi.reg")
        << "REGEDIT4\n\n[" << device
        << "]\n\"ClassGUID\"=\"{4d36e978-e325-11ce-bfc1-08002be10318}\"\n"
           "\"FriendlyName\"=\"USB Serial Port (COM5)\"\n\"Mfg\"=\"FTDI\"\n\n["
        << device
        << "\\Device Parameters]\n\"PortName\"=\"COM5\"\n\"LatencyTimer\"=dword:00000010\n";
    ASSERT_EQ(Execute({kWine, "reg", "import", WindowsPath(kWork / "ftdi.reg")}, {},
                      kWork / "ftdi-reg.log"),
              0)
        << ReadText(kWork / "ftdi-reg.log");
    const Flashed listed = Flash("ftdi-list", {"--list-ports"});
    const std::string& list = listed.output;
    alignas(inotify_event) char events[4096];
    while (::read(opens, events, sizeof events) > 0) { // the listing opened it
    }
    const std::string package = PackageFile("ftdi", tamsivo::test::WindowsPackage());
    const Flashed run = Flash("ftdi-run", {"--port", "COM5", "--no-log", package});
    EXPECT_LT(::read(opens, events, sizeof events), 0) << "the run opened COM6";
    ::close(opens);
    Execute({kWine, "reg", "delete", device, "/f"}, {}, kWork / "ftdi-reg.log");
    EXPECT_EQ(listed.code, 0) << list;
    EXPECT_NE(list.find("COM5   free  USB Serial Port (COM5)  0403:6001  FTDI  serial A50285BI  "
                        "latency timer 16 ms\r\n"),
              std::string::npos)
        << list;
    EXPECT_EQ(run.code, 0) << run.output;
    EXPECT_NE(run.output.find("the latency timer of the adapter on COM5 is 16 ms"),
              std::string::npos)
        << run.output;
}

// A whole update, in a folder and of a package whose names Windows-1251 cannot spell: the
// program greets with the remembered port of two, finds and sends the package by the system's
// own wide paths, without short aliases, and records its own name.
TEST_F(Wine, ProgramGreetsAndUpdatesFromAFolderNamedOutsideItsCodePage) {
    BkSimulator& simulator = Serve(5);
    Serve(6);
    const std::string name = "\xCE\x9F\xCE\xBB\xCE\xB3\xCE\xB1"; // Ολγα
    RunWindowsTests("Program.GreetsWith*",
                    {ProgramFolder({name + ".enc"}, tamsivo::test::WindowsPackage().text, name),
                     "TAMSIVO_PACKAGE=" + name + ".enc"});
    EXPECT_EQ(simulator.Accepted(), kPackage);
}

// A stop a moment after the start, however short, cancels the run (that a stop queued behind
// the start sends nothing is the dialog's test): it sends no more than the package's first
// frames, and the run started next delivers the whole package.
TEST_F(Wine, ProgramStopsRightAfterTheStartAndRunsAgain) {
    BkSimConfig config;
    // At the line's speed the whole package takes some four seconds: every stop lands while it
    // is in flight, and the next run ends well within the program's wait even on a busy machine.
    config.processingDelayMs = 5;
    BkSimulator& simulator = Serve(5, config);
    const tamsivo::test::TestPackage large = tamsivo::test::MakePackage(
        std::vector<std::uint32_t>(40, 1000), tamsivo::test::AwkwardBytes());
    RunWindowsTests("Program.CancelsEvenRightAfterTheStart",
                    {ProgramFolder({"bk.enc"}, large.text), "TAMSIVO_STOP_AFTER_MS=0,50,150,300"});
    const Bytes accepted = simulator.Accepted();
    auto at = accepted.begin();
    for (int stop = 0; stop < 4; ++stop) {
        const auto whole = std::search(at, accepted.end(), large.bytes.begin(), large.bytes.end());
        ASSERT_NE(whole, accepted.end()) << stop;
        EXPECT_LT(whole - at, std::ssize(large.bytes)) << stop << ": the run stopped was cut short";
        EXPECT_TRUE(std::equal(at, whole, large.bytes.begin())) << stop;
        at = whole + std::ssize(large.bytes);
    }
    EXPECT_EQ(at, accepted.end());
}

} // namespace
