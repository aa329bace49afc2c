// The command-line flasher as a user or a script meets it: the real binary, run as a child
// process against the simulated adapter and on-board computer on a pseudo-terminal; its tables
// and prompt on their own; and what its read-me and manual page say of it.
#include "BkSimulator.h"
#include "ExitCode.h"
#include "LatencyWarning.h"
#include "PackageChooser.h"
#include "PortListing.h"
#include "PosixHelpers.h"
#include "ScratchDir.h"
#include "TestPackage.h"
#include "Trace.h"
#include "flash/FirmwarePackage.h"
#include "flash/FlashProtocol.h"
#include "flash/Outcome.h"
#include "flash/SerialLine.h"
#include "flash/Sha256.h"
#include "text/Cp1251.h"
#include "text/Cp1251Literal.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tamsivo {
namespace {

using ::testing::AllOf;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;

using nlohmann::json;
using sim::BkSimConfig;
using sim::BkSimulator;
using sim::Fault;
using test::Utf8;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr int kUsage = 2;
constexpr int kNoPackage = 3;
constexpr int kChoosePackage = 4;
constexpr int kPackageError = 5;
constexpr int kFileError = 6;
constexpr int kPortError = 7;
constexpr int kCancelled = 16;
constexpr int kInternalError = 17;
// A sanitized build checks memory through a pipe of its own, which a descriptor limit denies.
#ifdef __SANITIZE_ADDRESS__
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
const std::string kTimeout = "300"; // ms; the product's 10 s would only slow the faults down

// One run of the CLI with its standard output and error captured through pipes; `all` may begin
// with a command that sets the run's limits or view of the system, then runs the rest.
class Cli {
public:
    Cli(const std::vector<std::string>& arguments, const fs::path& cwd,
        const char* input = "/dev/null", std::vector<std::string> all = {}) {
        all.push_back(TAMSIVO_FLASH_EXE);
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv(all.size() + 1);
        std::transform(all.begin(), all.end(), argv.begin(),
                       [](std::string& a) { return a.data(); });
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, input, O_RDONLY | O_NOCTTY, 0);
        posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
        int ends[2][2] = {{-1, -1}, {-1, -1}};
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(::pipe2(ends[i], O_CLOEXEC), 0) << std::strerror(errno);
            posix_spawn_file_actions_adddup2(&actions, ends[i][1], STDOUT_FILENO + i);
            fds_[i] = ends[i][0];
        }
        // Only the three standard descriptors, whatever the test's own runner left open.
        posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
            ADD_FAILURE() << "cannot start " << argv[0];
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[0][1]);
        ::close(ends[1][1]);
    }
    ~Cli() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (int fd : fds_) {
            ::close(fd);
        }
    }

    // Never to another process: kill(-1) would signal every process there is.
    bool Signal(int signal) const { return pid_ > 0 && ::kill(pid_, signal) == 0; }
    // Stops reading the standard output, as "| head" does once it has its lines.
    void CloseOutput() {
        ::close(fds_[0]);
        fds_[0] = -1;
    }
    const std::string& Out() const { return text_[0]; }
    const std::string& Err() const { return text_[1]; }

    // Reads until stdout (or stderr) holds `text`; false at the end of the output or the
    // deadline.
    bool WaitFor(const std::string& text, bool inErr = false) {
        return ReadUntil([&] { return (inErr ? Err() : Out()).find(text) != std::string::npos; });
    }

    // Reads everything, then reaps the child: its exit status, 128 + the signal that ended it
    // (as a shell says), or -1.
    int Finish() {
        ReadUntil([] { return false; });
        int status = 0;
        if (pid_ <= 0 || fds_[0] >= 0 || fds_[1] >= 0 || ::waitpid(pid_, &status, 0) != pid_) {
            ADD_FAILURE() << "tamsivo-flash did not finish; output so far:\n" << Out() << Err();
            return -1;
        }
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    // Every line of stdout, each of which must be a JSON object; parsing also proves it valid
    // UTF-8.
    std::vector<json> Lines() const {
        std::vector<json> objects;
        std::istringstream lines(Out());
        for (std::string line; std::getline(lines, line);) {
            objects.push_back(json::parse(line, nullptr, false));
            EXPECT_TRUE(objects.back().is_object()) << line;
        }
        return objects;
    }
    // The last line of stdout: the result object.
    json Result() const {
        const std::vector<json> lines = Lines();
        return lines.empty() ? json() : lines.back();
    }

private:
    // Reads both outputs until `enough` holds: true; at their end or a minute on: false.
    bool ReadUntil(const std::function<bool()>& enough) {
        const auto deadline = Clock::now() + std::chrono::seconds(60);
        while (!enough()) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd polled[2] = {{fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}};
            if ((fds_[0] < 0 && fds_[1] < 0) || left.count() <= 0 ||
                ::poll(polled, 2, static_cast<int>(left.count())) < 0) {
                return false;
            }
            for (int i = 0; i < 2; ++i) {
                if (fds_[i] >= 0 && (polled[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                    char buffer[4096];
                    const ssize_t got = ::read(fds_[i], buffer, sizeof buffer);
                    if (got > 0) {
                        text_[i].append(buffer, static_cast<std::size_t>(got));
                    } else {
                        ::close(fds_[i]);
                        fds_[i] = -1;
                    }
                }
            }
        }
        return true;
    }

    pid_t pid_ = -1;
    int fds_[2] = {-1, -1};
    std::string text_[2];
};

// A trace as its reader takes it: the chunks each way, "=N" standing for the next N bytes sent
// that no echo has matched yet; after "!" why a transfer ended short; the rest as it stands.
struct ReadTrace {
    std::vector<std::uint8_t> sent, received;       // the bytes each way, in order
    std::size_t echoed = 0;                         // of those sent
    std::map<std::size_t, double> sentAt, echoedAt; // each chunk's time, by its first byte
    std::vector<std::string> failures;
    std::string notes;
};

ReadTrace ReadTraceFile(const fs::path& path) {
    ReadTrace trace;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        std::istringstream words(line);
        double at = 0;
        std::string what, group;
        if (line[0] == '#' || !(words >> at >> what >> std::ws) ||
            (what != ">" && what != "<" && what != "!")) {
            trace.notes += line + '\n';
        } else if (what == "!" || !(words >> group)) {
            std::getline(words, trace.failures.emplace_back());
        } else if (group[0] == '=') {
            trace.echoedAt[trace.echoed] = at;
            trace.echoed += std::stoul(group.substr(1));
        } else {
            std::vector<std::uint8_t>& bytes = what == ">" ? trace.sent : trace.received;
            if (what == ">") {
                trace.sentAt[bytes.size()] = at;
            }
            do {
                for (std::size_t i = 0; i + 1 < group.size(); i += 2) {
                    const std::string pair = group.substr(i, 2);
                    bytes.push_back(static_cast<std::uint8_t>(std::stoul(pair, nullptr, 16)));
                }
            } while (words >> group);
        }
    }
    return trace;
}

class CliTest : public ::testing::Test {
protected:
    // Every run the tests make is recorded here, never in the user's own log.
    void SetUp() override { ::setenv("XDG_STATE_HOME", (dir_ / "state").c_str(), 1); }

    std::vector<std::uint8_t> Package(const std::string& name,
                                      const std::vector<std::uint32_t>& payloads) {
        return test::WritePackage(dir_ / name, payloads, {0x00, 0x11, 0x13, 0xFF, 0x0D, 0x44});
    }
    std::string Text(const std::string& name) const { return test::ReadWhole(dir_ / name); }
    std::string Digest(const std::string& name) const {
        const std::string text = Text(name);
        Sha256 sha;
        sha.Update(text.data(), text.size());
        return sha.HexDigest();
    }
    // The arguments of a run through the simulator's port with the tests' short timeout.
    static std::vector<std::string> Through(const BkSimulator& simulator,
                                            std::vector<std::string> rest) {
        rest.insert(rest.begin(), {"--port", simulator.SlavePath(), "--timeout-ms", kTimeout});
        return rest;
    }
    std::unique_ptr<Cli> Start(const std::vector<std::string>& arguments,
                               std::vector<std::string> wrapper = {}) {
        return std::make_unique<Cli>(arguments, dir_, "/dev/null", std::move(wrapper));
    }
    int Run(const std::vector<std::string>& arguments, std::vector<std::string> wrapper = {}) {
        cli_ = Start(arguments, std::move(wrapper));
        return cli_->Finish();
    }
    // A run of bk.enc sent `signal` once its first frame is through.
    std::unique_ptr<Cli> Signalled(std::vector<std::string> arguments, int signal) {
        arguments.insert(arguments.end(), {"--json-progress", "bk.enc"});
        auto cli = Start(arguments);
        EXPECT_TRUE(cli->WaitFor("\"event\":\"progress\"")) << cli->Out() << cli->Err();
        EXPECT_TRUE(cli->Signal(signal));
        return cli;
    }

    const test::ScratchDir dir_{"cli"};
    std::unique_ptr<Cli> cli_;
};

TEST_F(CliTest, FlashesThePackageAndSaysSoToPeopleAndScripts) {
    const auto package = Package("bk.enc", {1, 300, 0, 517, 17});
    auto simulator = test::StartSimulator();
    ASSERT_EQ(Run(Through(*simulator, {"--json", "bk.enc"})), 0) << cli_->Err();
    EXPECT_EQ(cli_->Result()["result"], "done");
    EXPECT_EQ(cli_->Result()["frames"], 5);
    EXPECT_THAT(cli_->Out(), Not(HasSubstr("\"event\""))) << "progress only when asked";

    // For people: no redrawing off a terminal, and the dialog's words in UTF-8.
    const std::vector<std::string> run = Through(*simulator, {"bk.enc"});
    ASSERT_EQ(Run(run), 0) << cli_->Err();
    const std::size_t said = cli_->Out().find(Utf8(u8"ВЫПОЛНЕНО: Обновление выполнено успешно!"));
    ASSERT_NE(said, std::string::npos) << cli_->Out();
    EXPECT_LT(cli_->Out().find("confirming the last frame"), said) << cli_->Out();
    EXPECT_THAT(cli_->Out(), Not(HasSubstr("\r"))) << "redrawing outside a terminal";

    // A reader that goes away does not end the run midway.
    auto headless = Start(run);
    headless->CloseOutput();
    EXPECT_EQ(headless->Finish(), 0) << headless->Err();
    // A thread the system cannot make (its stack past the address space) is an internal error.
    const std::vector<std::string> noRoom{"/usr/bin/prlimit", "--stack=200000000000000"};
    EXPECT_EQ(Run(Through(*simulator, {"--json", "bk.enc"}), noRoom), kInternalError);
    EXPECT_EQ(cli_->Result()["result"], "internal_error") << cli_->Out();
    EXPECT_THAT(cli_->Err(), HasSubstr("internal error: Resource temporarily unavailable"));
    EXPECT_EQ(simulator->Accepted().size(), 3 * package.size());
}

TEST_F(CliTest, CheckTellsAValidPackageFromAMalformedOneWithoutAPort) {
    const auto package = Package("good.enc", {4, 250, 9});
    ASSERT_EQ(Run({"--check", "--json", "good.enc"}), 0) << cli_->Err();
    EXPECT_EQ(cli_->Result()["result"], "valid");
    EXPECT_EQ(cli_->Result()["frames"], 3);
    EXPECT_EQ(cli_->Result()["bytes"], package.size());
    ASSERT_EQ(Run({"--check", "good.enc"}), 0);
    EXPECT_THAT(cli_->Out(), HasSubstr("3 frames"));

    // The reader's reason and where it stopped, as the package tests pin them for each kind: in
    // the text for a character, in the image for a frame past its end.
    for (const auto& [text, reason, offset] :
         {std::tuple{"00 02 AA BB\r\n00 01 C\xD0\x96", 1, 20}, std::tuple{"0001AA 00", 4, 3}}) {
        test::WriteWhole(dir_ / "bad.enc", text);
        ASSERT_EQ(Run({"--check", "--json", "bad.enc"}), kPackageError);
        EXPECT_EQ(cli_->Result()["reason"], reason);
        EXPECT_EQ(cli_->Result()["offset"], offset);
    }
    EXPECT_EQ(cli_->Result()["bytes"], 0) << "a refused package has no size";
    EXPECT_EQ(cli_->Result()["seconds"], 0.0) << "and took no time on a line";
    EXPECT_THAT(cli_->Result()["message"].get<std::string>(), HasSubstr("bad.enc"));
    EXPECT_EQ(Run({"--check", "missing.enc"}), kFileError);
    fs::create_directories(dir_ / "folder.enc");
    EXPECT_EQ(Run({"--check", "folder.enc"}), kFileError);

    // A name that is not UTF-8 still gives valid JSON, its other bytes kept.
    Package("b\xFF\xC3k.enc", {4});
    ASSERT_EQ(Run({"--check", "--json", "b\xFF\xC3k.enc"}), 0) << cli_->Err();
    EXPECT_EQ(cli_->Result()["package"], "b\xEF\xBF\xBD\xEF\xBF\xBDk.enc") << cli_->Out();
}

// The system's reason a port did not open follows the outcome's own words: a port that is not
// there, and one another program holds. A terminal program such as minicom takes neither a lock
// nor the exclusive flag: only its open descriptor shows, and the port is refused with its holder
// named and never opened, so no frame reaches the line that program reads.
TEST_F(CliTest, APortThatDoesNotOpenIsToldWithTheSystemsReasonAndRemedy) {
    Package("bk.enc", {8, 8, 8});
    EXPECT_EQ(Run({"--port", (dir_ / "ttyNone").string(), "--json", "bk.enc"}), kPortError);
    EXPECT_EQ(cli_->Result()["reason"].get<std::string>().find("no such device"), 0u);
    EXPECT_THAT(cli_->Result()["remedy"].get<std::string>(), HasSubstr("--list-ports"));
    auto simulator = test::StartSimulator();
    const std::string port = simulator->SlavePath();
    const int holder = ::open(port.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC); // as minicom
    const int opens = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(opens, port.c_str(), IN_OPEN), 0);
    EXPECT_EQ(Run({"--port", port, "bk.enc"}), kPortError);
    const std::size_t said = cli_->Err().find(Utf8(u8"Ошибка инициализации порта"));
    EXPECT_LT(said, cli_->Err().find(port + ": the port is in use by process " +
                                     std::to_string(::getpid())))
        << cli_->Err();
    pollfd opened{opens, POLLIN, 0};
    EXPECT_EQ(::poll(&opened, 1, 0), 0) << "another open than the holder's";
    EXPECT_EQ(simulator->FramesReceived(), 0u);
    ::close(opens);
    ::close(holder);
}

// Left to choose, a run takes the first free port that is not the console; with none free it
// names the first and what holds it. It sees a fake system tree in a mount namespace of its own,
// so that no port of this machine is ever the choice.
TEST_F(CliTest, WithoutAPortTakesTheFirstFreeOneButNeverTheConsole) {
    if (std::system("/usr/bin/unshare -mr true") != 0) {
        GTEST_SKIP() << "no mount namespace to fake the ports in";
    }
    const auto package = Package("bk.enc", {30, 30});
    auto simulator = test::StartSimulator();
    // ttyUSB0, the console, is /dev/null, ttyUSB9 the simulator's port; lock/ holds the lock files.
    const char* const fake = R"(mkdir -p tty/ttyUSB0 tty/ttyUSB9 tty/console dev lock &&
        echo ttyUSB0 >tty/console/active && touch dev/ttyUSB0 dev/ttyUSB9 &&
        mount --bind tty /sys/class/tty && mount --bind /dev/null dev/ttyUSB0 &&
        mount --bind "$0" dev/ttyUSB9 && mount --rbind dev /dev && mount --bind lock /run/lock &&
        exec "$@")";
    // unshare --mount --map-root-user: a mount namespace of its own, unprivileged.
    const std::vector<std::string> faked{"/usr/bin/unshare",    "-mr", "sh", "-c", fake,
                                         simulator->SlavePath()};
    const std::vector<std::string> run{"--json", "--timeout-ms", kTimeout, "bk.enc"};
    ASSERT_EQ(Run(run, faked), 0) << cli_->Err();
    EXPECT_EQ(cli_->Result()["port"], "ttyUSB9");
    EXPECT_EQ(simulator->Accepted(), package);

    // Held by a terminal program's lock file: none is free.
    test::WriteWhole(dir_ / "lock/LCK..ttyUSB9", std::to_string(::getpid()) + '\n');
    EXPECT_EQ(Run(run, faked), kPortError) << cli_->Err();
    EXPECT_EQ(cli_->Result()["message"], "no free serial port: ttyUSB9 is in use.");
    EXPECT_EQ(cli_->Result()["port"], "ttyUSB9");
    EXPECT_THAT(cli_->Result().value("reason", ""),
                HasSubstr("in use by process " + std::to_string(::getpid())));
}

TEST_F(CliTest, WithoutAPackageTakesTheOnlyOneInUpdatesAndNeverGuesses) {
    EXPECT_EQ(Run({"--check"}), kNoPackage);
    test::WriteWhole(dir_ / "updates", "a file in the folder's place");
    EXPECT_EQ(Run({"--check"}), kNoPackage);
    EXPECT_THAT(cli_->Err(), HasSubstr("cannot read the folder updates: Not a directory"));
    fs::remove(dir_ / "updates");
    test::WriteWhole(dir_ / "updates/readme.txt", "not a package");
    test::WriteWhole(dir_ / "updates/bk.enc.bak", "00 00");
    EXPECT_EQ(Run({"--check"}), kNoPackage);
    EXPECT_THAT(cli_->Err(), HasSubstr("updates"));

    // The extension matches in any letter case.
    const auto package = Package("updates/Bk.ENC", {12, 40});
    auto simulator = test::StartSimulator();
    ASSERT_EQ(Run(Through(*simulator, {"--json"})), 0) << cli_->Err();
    EXPECT_EQ(cli_->Result()["package"], "Bk.ENC");

    // Several, folders included, sorted without regard to case: off a terminal nobody asks.
    Package("updates/a1.enc", {3});
    Package("updates/A2.enc", {3});
    test::WriteWhole(dir_ / "updates/x", "a name shorter than the extension");
    fs::create_directories(dir_ / "updates" / "C.enc");
    ASSERT_EQ(Run({"--port", simulator->SlavePath(), "--json"}), kChoosePackage);
    EXPECT_EQ(cli_->Result()["packages"], json({"a1.enc", "A2.enc", "Bk.ENC", "C.enc"}));
    // A terminal to answer from, but the question would go where nobody sees it (2>file).
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    cli_ = std::make_unique<Cli>(std::vector<std::string>{"--port", simulator->SlavePath()}, dir_,
                                 ::ttyname(slave));
    ASSERT_EQ(::write(master, "1\n", 2), 2); // an answer, were the question asked
    ASSERT_EQ(cli_->Finish(), kChoosePackage);
    ::close(master);
    ::close(slave);
    EXPECT_THAT(cli_->Err(), HasSubstr("  1) a1.enc\n  2) A2.enc\n  3) Bk.ENC\n  4) C.enc\n"));
    EXPECT_THAT(cli_->Err(), Not(HasSubstr("Package ("))) << "nobody to ask";
    EXPECT_EQ(simulator->Accepted(), package) << "sent once, and nothing after the listing";
}

TEST(PackageChooser, AsksUntilANumberInRangeIsGiven) {
    const std::vector<fs::path> packages{"u/a.enc", "u/b.enc", "u/c.enc"};
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::tmpfile(), std::fclose);
    std::size_t chosen = 99;
    std::istringstream answers("x\n0\n4\n2 \r\n");
    ASSERT_TRUE(cli::PackageChooser::Prompt(packages, answers, out.get(), &chosen));
    EXPECT_EQ(chosen, 1u);
    std::istringstream none("9\n");
    EXPECT_FALSE(cli::PackageChooser::Prompt(packages, none, out.get(), &chosen));
}

// Each port has its own run: one failing does not stop the others, and the exit code is that
// of the first port, in the order given, that failed.
TEST_F(CliTest, FlashesThroughSeveralPortsAtOnceEachOnItsOwn) {
    const auto package = Package("bk.enc", {30, 30, 30});
    auto first = test::StartSimulator();
    BkSimConfig refusing;
    refusing.answers = "ok,44";
    auto second = test::StartSimulator(refusing);
    auto third = test::StartSimulator();
    const std::string missing = (dir_ / "ttyNone").string();
    const std::vector<std::string> ports{first->SlavePath(), second->SlavePath(), missing,
                                         third->SlavePath()};
    std::vector<std::string> arguments{"--timeout-ms", kTimeout, "--json-progress", "bk.enc"};
    for (const std::string& port : ports) {
        arguments.insert(arguments.end() - 1, {"--port", port});
    }
    ASSERT_EQ(Run(arguments), 11) << cli_->Err();
    EXPECT_EQ(first->Accepted(), package);
    EXPECT_EQ(third->Accepted(), package);
    std::map<std::string, std::string> results;
    // The bytes sent, one notification a frame, and -1 as the last frame is being confirmed.
    std::map<std::string, std::vector<int>> progress;
    for (const json& object : cli_->Lines()) {
        const std::string port = object.value("port", "");
        if (const std::string event = object.value("event", "");
            event == "progress" || event == "confirming") {
            progress[port].push_back(object.value("sent", -1));
        } else if (object.contains("result") && !port.empty()) {
            results[port] = object["result"].get<std::string>();
        }
    }
    EXPECT_EQ(results, (std::map<std::string, std::string>{{ports[0], "done"},
                                                           {ports[1], "signature_error"},
                                                           {ports[2], "port_error"},
                                                           {ports[3], "done"}}));
    EXPECT_EQ(progress[ports[0]], (std::vector<int>{32, 64, 96, -1}));
    EXPECT_TRUE(progress[ports[2]].empty());
    EXPECT_EQ(cli_->Result()["exit_code"], 11);
    EXPECT_EQ(cli_->Result()["flashed"], 2);

    // For people: each line names its port, and the summary each port's outcome.
    ASSERT_EQ(Run({"--port", first->SlavePath(), "--port", missing, "bk.enc"}), kPortError);
    EXPECT_THAT(cli_->Out(), AllOf(HasSubstr(first->SlavePath() + ": 100%"),
                                   HasSubstr(missing + ": port_error\n")));
    EXPECT_THAT(cli_->Err(),
                AllOf(HasSubstr("1 of 2 ports flashed"), HasSubstr(missing + "  port_error"),
                      HasSubstr(missing + ": " + Utf8(u8"ОШИБКА") + ": "))); // whose failure
    // A name that is no port is said to be none, with what to give instead.
    ASSERT_EQ(Run({"--port", "../etc/passwd", "bk.enc"}), kPortError);
    EXPECT_THAT(cli_->Err(), HasSubstr("../etc/passwd: not a port name"));
}

// Support reads a trace as the line carried the run: every chunk each way as the system moved
// it, in order and with its time, a failure with its reason, the package's digest and the
// outcome; each port in a file of its own.
TEST_F(CliTest, ATraceShowsEachPortsBytesAsTheyWentAndCame) {
    const auto package = Package("bk.enc", {3, 200, 5});
    const std::size_t first = 5; // the first frame's bytes; the second's end at 207
    BkSimConfig config;
    config.answers = "22";           // the first frame once more, please
    config.fault = Fault::ShortEcho; // the third frame sent loses its echo's last byte
    config.faultFrame = 3;
    auto faulty = test::StartSimulator(config);
    // A USB adapter's chip passes 62 bytes at once, and their rest when its timer runs out.
    BkSimConfig usb;
    usb.latencyMs = 100;
    auto clean = test::StartSimulator(usb);
    ASSERT_EQ(Run({"--port", faulty->SlavePath(), "--port", clean->SlavePath(), "--timeout-ms",
                   kTimeout, "--trace", "bk.trace", "bk.enc"}),
              8)
        << cli_->Err();

    const ReadTrace trace = ReadTraceFile(dir_ / "bk.trace");
    EXPECT_EQ(fs::status(dir_ / "bk.trace").permissions() & fs::perms::others_exec,
              fs::perms::none);
    std::vector<std::uint8_t> sent(package.begin(), package.begin() + first);
    sent.insert(sent.end(), package.begin(), package.begin() + 207);
    EXPECT_EQ(trace.sent, sent);
    EXPECT_EQ(trace.echoed, sent.size() - 1); // all but the last byte
    EXPECT_EQ(trace.received, (std::vector<std::uint8_t>{ANSWER_CHECKSUM_RETRY, ANSWER_OK}));
    EXPECT_THAT(trace.failures,
                ::testing::ElementsAre(::testing::StartsWith(
                    "timeout: nothing more within " + kTimeout + " ms, 201 of 202 bytes echoed")));
    // Each count of the end by its own word; a short trace keeps every line, silence is none. A
    // line begins with its time to the microsecond; the port's opening is the first.
    EXPECT_THAT(trace.notes,
                AllOf(HasSubstr("SHA-256 " + Digest("bk.enc")),
                      HasSubstr("# outcome no_echo (exit code 8)"),
                      HasSubstr(" written, 1 resend, 0 waits"), Not(HasSubstr("left out")),
                      Not(HasSubstr("waiting unread 0")), ContainsRegex("\n[0-9.]+ close\n#"),
                      ContainsRegex("\n0\\.[0-9]{6} open " + faulty->SlavePath() + "\n")));

    // The long frame's echo: what the chip passed at once, and its rest a timer later.
    const ReadTrace other = ReadTraceFile(dir_ / "bk.trace.2");
    EXPECT_EQ(other.sent, clean->Accepted());
    const auto second = other.echoedAt.lower_bound(first); // its echoes up to the third frame's
    const auto third = other.echoedAt.lower_bound(package.size() - 7);
    ASSERT_GE(std::distance(second, third), 2) << other.notes;
    // The timer runs from the frame's arrival, which the write's own time may follow a little.
    EXPECT_GE(std::prev(third)->second - other.sentAt.at(first), 0.09);
    EXPECT_THAT(other.notes, AllOf(HasSubstr("# port " + clean->SlavePath() + ":"),
                                   HasSubstr("# outcome done (exit code 0)")));

    // The verdict twice: the first taken, the second is a byte that waits before the next frame.
    config = {};
    config.fault = Fault::ExtraEcho;
    config.faultFrame = 1;
    config.faultAnswer = ANSWER_OK;
    auto twice = test::StartSimulator(config);
    ASSERT_EQ(Run({"--port", twice->SlavePath(), "--trace", "bk.trace", "bk.enc"}), 10);
    EXPECT_THAT(Text("bk.trace"), HasSubstr(" waiting unread 1 bytes\n"));

    // A trace that cannot be written changes nothing but a warning.
    const std::string missing = (dir_ / "none" / "bk.trace").string();
    ASSERT_EQ(Run({"--port", clean->SlavePath(), "--trace", missing, "bk.enc"}), 0);
    EXPECT_THAT(cli_->Err(), HasSubstr("warning: the trace " + missing +
                                       " is incomplete: No such file or directory\n"));
}

// Beyond its head a trace keeps its newest lines only, and says how many it left out: frames of
// a few bytes would otherwise cost some 20 bytes of trace a byte.
TEST(Trace, BeyondItsHeadKeepsItsNewestLines) {
    const test::ScratchDir dir("trace");
    const fs::path path = dir / "bk.trace";
    cli::Trace(path, "bk.enc", LoadedPackage{}, "ttyUSB0", 300); // the settings alone
    const std::uint64_t head = fs::file_size(path) + 100 * 15;   // and 100 lines "0.000123 < 042"
    {
        cli::Trace trace(path, "bk.enc", LoadedPackage{}, "ttyUSB0", 300, head);
        for (int i = 0; i < 1000; ++i) {
            trace.Line(cli::Trace::Clock::now(), "< " + std::to_string(1000 + i).substr(1), nullptr,
                       0, i == 999 ? "Input/output error" : ""); // the last ended short
        }
        trace.End(FlashRun::Statistics{});
    }
    const std::string text = test::ReadWhole(path);
    EXPECT_LE(text.size(), head + head / 8 + 200);
    // The head, filled to its last byte, the count of the lines left out, and the newest lines
    // up to the last.
    std::smatch gap;
    ASSERT_TRUE(std::regex_search(
        text, gap, std::regex(R"( < (\d+)\n# (\d+) lines left out.*\n[\d.]+ < (\d+)\n)")))
        << text;
    EXPECT_EQ(std::stoi(gap[1]), 99);
    EXPECT_EQ(std::stoi(gap[1]) + std::stoi(gap[2]) + 1, std::stoi(gap[3]));
    EXPECT_THAT(text, HasSubstr(" < 000\n"));
    EXPECT_THAT(text, HasSubstr(" < 999 ! Input/output error\n# outcome"));
    // Unless told otherwise a trace keeps a head of 8 MiB: one of some 9 MiB leaves lines out.
    {
        cli::Trace trace(path, "bk.enc", LoadedPackage{}, "ttyUSB0", 300);
        const std::vector<std::uint8_t> frame(65536, 0x5A);
        for (int i = 0; i < 64; ++i) {
            trace.Line(cli::Trace::Clock::now(), ">", frame.data(), 65536);
        }
        trace.End(FlashRun::Statistics{});
    }
    EXPECT_THAT(test::ReadWhole(path), HasSubstr(" lines left out"));
}

// A package pinned by its digest goes out only when its text has that digest, checked once
// before any port opens; the trace of a package in long frames stays below the package's own
// text.
TEST_F(CliTest, APinnedPackageGoesOutOnlyWithItsOwnDigest) {
    const auto package = Package("bk.enc", std::vector<std::uint32_t>(32, 256));
    const std::string digest = Digest("bk.enc");
    std::string upper = digest;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    ASSERT_EQ(Run({"--check", "--json", "--expect-sha256", upper, "bk.enc"}), 0) << cli_->Err();
    EXPECT_EQ(cli_->Result()["sha256"], digest);

    auto simulator = test::StartSimulator();
    ASSERT_EQ(Run({"--port", simulator->SlavePath(), "--expect-sha256", upper, "--trace",
                   "bk.trace", "bk.enc"}),
              0)
        << cli_->Err();
    EXPECT_EQ(simulator->Accepted(), package);
    EXPECT_LT(fs::file_size(dir_ / "bk.trace"), Text("bk.enc").size());

    std::string other = digest;
    other[0] = other[0] == '0' ? '1' : '0';
    auto second = test::StartSimulator();
    ASSERT_EQ(Run({"--json", "--port", simulator->SlavePath(), "--port", second->SlavePath(),
                   "--expect-sha256", other, "bk.enc"}),
              18);
    EXPECT_EQ(simulator->FramesReceived(), 32u);
    EXPECT_EQ(second->FramesReceived(), 0u);
    EXPECT_EQ(cli_->Out().find('\n'), cli_->Out().size() - 1) << "one result for both ports";
    EXPECT_EQ(cli_->Result()["result"], "sha256_mismatch");
    EXPECT_EQ(cli_->Result()["sha256"], digest);
    EXPECT_EQ(cli_->Result()["expected_sha256"], other);
    EXPECT_THAT(cli_->Result()["message"].get<std::string>(),
                AllOf(HasSubstr(digest), HasSubstr(other)));
}

TEST_F(CliTest, RecordsEveryRealRunAndShowsTheNewest) {
    const auto package = Package("bk.enc", {30, 30});
    auto good = test::StartSimulator();
    BkSimConfig refusing;
    refusing.answers = "ok,44*";
    auto bad = test::StartSimulator(refusing);
    ASSERT_EQ(Run(Through(*good, {"--port", bad->SlavePath(), "bk.enc"})), 11);
    EXPECT_THAT(cli_->Err(), Not(HasSubstr("warning")));
    // Neither a demonstration, which wrote into no car, nor a run told to record nothing; both
    // refused at their first frame, any run is recorded whatever its outcome.
    EXPECT_EQ(Run({"--simulate", "--sim-answers", "44", "bk.enc"}), 11);
    EXPECT_EQ(Run({"--no-log", "--port", bad->SlavePath(), "bk.enc"}), 11);

    ASSERT_EQ(Run({"--history", "--json"}), 0) << cli_->Err(); // the newest 20
    const std::vector<json> records = cli_->Lines();
    ASSERT_EQ(records.size(), 3u) << "two records and the result: " << cli_->Out();
    EXPECT_EQ(records[0]["package"], "bk.enc");
    EXPECT_EQ(records[0]["package_bytes"], Text("bk.enc").size());
    EXPECT_EQ(records[0]["sha256"], Digest("bk.enc"));
    EXPECT_EQ(records[0]["program"], "tamsivo-flash");
    EXPECT_EQ(records[0]["port"], good->SlavePath());
    EXPECT_EQ(records[0]["outcome"], "done");
    EXPECT_EQ(records[0]["frames"], 2);
    EXPECT_EQ(records[0]["sent"], package.size());
    EXPECT_FALSE(records[0].contains("answers"));
    EXPECT_EQ(records[1]["port"], bad->SlavePath());
    EXPECT_EQ(records[1]["outcome"], "signature_error");
    ASSERT_EQ(records[1]["answers"].size(), 2u) << records[1];
    EXPECT_EQ(records[1]["answers"][0]["byte"], "11");
    EXPECT_EQ(records[1]["answers"][1]["byte"], "44");

    ASSERT_EQ(Run({"--history", "1"}), 0) << cli_->Err();
    EXPECT_THAT(cli_->Out(), HasSubstr(bad->SlavePath()));
    EXPECT_THAT(cli_->Out(), Not(HasSubstr(good->SlavePath())));
    EXPECT_EQ(Run({"--history", "1000000"}), 0) << cli_->Err(); // the usage's upper bound

    // A log that cannot be written is said once and changes no outcome.
    auto refuses = test::StartSimulator(refusing);
    EXPECT_EQ(Run({"--log", dir_.string(), "--port", good->SlavePath(), "--port",
                   refuses->SlavePath(), "--timeout-ms", kTimeout, "bk.enc"}),
              11);
    EXPECT_THAT(cli_->Err(), HasSubstr("warning: the run was not recorded"));
    EXPECT_EQ(cli_->Err().find("warning"), cli_->Err().rfind("warning")) << cli_->Err();
}

// Ctrl+C, a polite kill and a closed terminal stop the run (after the frame in flight, as the
// run's own tests show) and free the port.
TEST_F(CliTest, SignalsStopAfterTheFrameInFlightAndFreeThePort) {
    const auto package = Package("bk.enc", std::vector<std::uint32_t>(10, 64));
    BkSimConfig config;
    config.processingDelayMs = 300;
    auto simulator = test::StartSimulator(config);
    std::size_t before = 0;
    for (const int signal : {SIGINT, SIGHUP, SIGTERM}) {
        SCOPED_TRACE(signal);
        auto cli = Signalled({"--port", simulator->SlavePath(), "--timeout-ms", "2000"}, signal);
        ASSERT_EQ(cli->Finish(), kCancelled) << cli->Out() << cli->Err();
        EXPECT_EQ(cli->Result()["result"], "cancelled");
        EXPECT_EQ(cli->Result()["message"], Utf8(u8"Обновление отменено пользователем"));
        EXPECT_LT(simulator->Accepted().size() - before, package.size());
        before = simulator->Accepted().size();
        SerialLine line;
        EXPECT_TRUE(line.Open(simulator->SlavePath().c_str(), kFlashBaudRate, 300))
            << "the port is still held";
    }

    // A demonstration's simulated adapter, its computer asking to wait for ever, stops alike.
    auto demo = Signalled({"--simulate", "--sim-answers", "11,88*"}, SIGINT);
    EXPECT_EQ(demo->Finish(), kCancelled) << demo->Out() << demo->Err();

    // One stop delivered twice at once, as timeout(1) and a closing terminal do, is one stop; a
    // second request a person makes later quits at once.
    config.processingDelayMs = 2000;
    auto slow = test::StartSimulator(config);
    for (const bool person : {false, true}) {
        SCOPED_TRACE(person);
        auto cli = Signalled({"--port", slow->SlavePath(), "--timeout-ms", "5000"}, SIGTERM);
        // Once the first is taken: two signals sent at once may be delivered as one.
        ASSERT_TRUE(cli->WaitFor("press Ctrl+C again to quit at once.\n", true)) << cli->Err();
        if (person) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1100)); // the person's pause
        }
        ASSERT_TRUE(cli->Signal(person ? SIGINT : SIGTERM)); // of another kind alike
        EXPECT_EQ(cli->Finish(), person ? 128 + SIGINT : kCancelled) << cli->Out() << cli->Err();
    }

    // Through several ports, one Ctrl+C stops every run.
    config.processingDelayMs = 300;
    auto other = test::StartSimulator(config);
    auto both = Signalled(
        {"--port", simulator->SlavePath(), "--port", other->SlavePath(), "--timeout-ms", "2000"},
        SIGINT);
    ASSERT_EQ(both->Finish(), kCancelled) << both->Out() << both->Err();
    EXPECT_LT(simulator->Accepted().size() - before, package.size());
    EXPECT_LT(other->Accepted().size(), package.size());
}

TEST_F(CliTest, SimulatesTheAdapterForDemonstrations) {
    Package("bk.enc", {30, 30, 30});
    ASSERT_EQ(Run({"--simulate", "--json", "bk.enc"}), 0) << cli_->Err();
    EXPECT_EQ(cli_->Result()["sent"], 96);
    // Each run's ending reaches the exit code and the result object.
    EXPECT_EQ(Run({"--simulate", "--json", "--sim-fault", "answer:44", "--sim-fault-frame", "3",
                   "bk.enc"}),
              11);
    EXPECT_EQ(cli_->Result()["result"], "signature_error");
    EXPECT_EQ(cli_->Result()["caption"], Utf8(u8"ОШИБКА"));
    EXPECT_EQ(Run({"--simulate", "--sim-fault", "early-answer", "--sim-fault-frame", "2", "--trace",
                   "bk.trace", "bk.enc"}),
              10);
    // The answer came where the frame's last byte was to be echoed.
    EXPECT_EQ(ReadTraceFile(dir_ / "bk.trace").failures.at(0),
              "the echo differs from byte 32 on, 32 of 32 bytes echoed");
    // A stray byte after the second frame's answer came where the third's echo was to begin.
    EXPECT_EQ(Run({"--simulate", "--sim-fault", "noise:11", "--sim-fault-frame", "2", "--trace",
                   "bk.trace", "bk.enc"}),
              10);
    EXPECT_THAT(ReadTraceFile(dir_ / "bk.trace").failures.at(0),
                ::testing::StartsWith("the echo differs from byte 1 on"));
    EXPECT_EQ(Run({"--simulate", "--sim-fault", "no-answer", "--timeout-ms", kTimeout, "--trace",
                   "bk.trace", "bk.enc"}),
              13);
    EXPECT_EQ(ReadTraceFile(dir_ / "bk.trace").failures.at(0),
              "timeout: nothing more within " + kTimeout + " ms, 0 of 1 bytes received");
    // The adapter vanishes after a stray byte that looked like the last verdict: the reason is
    // the adapter's, with what to do about it.
    EXPECT_EQ(Run({"--simulate", "--sim-fault", "hang-up:11", "--sim-fault-frame", "3", "bk.enc"}),
              10);
    EXPECT_THAT(cli_->Err(),
                AllOf(HasSubstr(": the adapter was disconnected"), HasSubstr("to do: plug it in")));
    // No descriptor left for the pseudo-terminal: a failure with the system's reason.
    if (!kSanitized) {
        EXPECT_EQ(Run({"--simulate", "bk.enc"}, {"/usr/bin/prlimit", "--nofile=4"}),
                  kInternalError);
        EXPECT_THAT(cli_->Err(),
                    ContainsRegex("simulator: cannot open /dev/pts/[0-9]+: Too many open files"));
    }
}

// Said in words on stderr and, wherever --json stands, as the result object a script reads.
TEST_F(CliTest, CommandLineMistakesAreUsageErrorsSaidInWords) {
    Package("bk.enc", {3});
    fs::create_symlink("bk.enc", dir_ / "link.enc");
    const std::string package = Text("bk.enc");
    const std::vector<std::vector<std::string>> mistakes = {
        {"--no-such-option"},
        {"--check", "--port", "COM3", "bk.enc"},
        {"--list-ports", "bk.enc"},
        {"--check", "--simulate", "bk.enc"},
        {"--sim-fault", "no-echo", "bk.enc"}, // needs --simulate
        {"--simulate", "--sim-fault", "sparks", "bk.enc"},
        {"--simulate", "--sim-fault", "no-echo:11", "bk.enc"}, // takes no byte
        {"--simulate", "--sim-fault", "answer:+1", "bk.enc"},  // two hexadecimal digits
        {"--simulate", "--sim-answers", "zz", "bk.enc"},
        {"--timeout-ms", "0", "bk.enc"},
        {"a.enc", "b.enc"},
        // An unset variable must not let the first port or the only package be taken.
        {"--port=", "bk.enc"},          // read as --port ""
        {"--port", "--json", "bk.enc"}, // the port left out
        // A trace or a log in the package's place would destroy it.
        {"--trace", "./bk.enc", "bk.enc"},
        {"--log", "link.enc", "--port", "/dev/null", "bk.enc"},
        {""},
        {"--simulate", "--sim-fault", "no-echo", "--sim-fault-frame", "0", "bk.enc"},
        {"--history", "0"},
        {"--history", "3", "4"}, // one number only
        {"--history", "99999999999999999999"},
        {"--history="}, // read as --history ""
        {"--history=0x10"},
        // One device in two spellings.
        {"--port", "/dev/null", "--port", "null", "bk.enc"},
        {"--port", "/dev/null", "--port", "/dev/../dev/null", "bk.enc"},
        // A digest is 64 hexadecimal digits; a trace needs a run.
        {"--expect-sha256", std::string(63, 'a'), "bk.enc"},
        {"--expect-sha256", std::string(63, 'a') + "g", "bk.enc"},
        {"--check", "--trace", "bk.trace", "bk.enc"},
    };
    for (std::vector<std::string> arguments : mistakes) {
        SCOPED_TRACE(arguments.front());
        arguments.push_back("--json");
        EXPECT_EQ(Run(arguments), kUsage);
        const std::string said = cli_->Err().substr(0, cli_->Err().find('\n'));
        EXPECT_THAT(cli_->Err(), Not(HasSubstr("0000000000"))) << said;
        EXPECT_EQ(cli_->Result()["result"], "usage") << cli_->Out();
        EXPECT_EQ("tamsivo-flash: " + cli_->Result().value("message", "-"), said);
    }
    EXPECT_EQ(Text("bk.enc"), package);
    EXPECT_EQ(Run({"--history="}), kUsage);
    EXPECT_THAT(cli_->Err(), HasSubstr("--history: give a whole number from 1 to"));
    EXPECT_EQ(Run({"--no-such-option"}), kUsage);
    EXPECT_EQ(cli_->Out(), "") << "no result object unless --json asks for one";
    EXPECT_EQ(Run({"--list-ports"}), 0);
}

// Each outcome but a stop (which the dialog tells itself) has its own notification, and each
// kind of text its name put in. Scripts rely on the exit codes and result words, which the
// read-me publishes and the next test holds the program to.
TEST(Outcomes, NotificationsAndTextsKeepTheirMeaning) {
    std::set<unsigned> notifications;
    for (const OutcomeRow& row : kOutcomes) {
        if (row.outcome != Outcome::Cancelled) {
            EXPECT_TRUE(notifications.insert(row.notification).second) << row.key;
        }
    }
    EXPECT_EQ(RowOf(Outcome::Cancelled).notification, 0u);
    EXPECT_EQ(RowWithKey("line_error"), &RowOf(Outcome::LineError));
    EXPECT_EQ(RowWithKey("sparks"), nullptr);

    EXPECT_EQ(OutcomeText(RowOf(Outcome::PortError), "COM7", "bk.enc", PackageError::None),
              kCp1251<"Ошибка инициализации порта COM7.">);
    EXPECT_EQ(
        OutcomeText(RowOf(Outcome::PackageError), "COM7", "bk.enc", PackageError::TruncatedByte),
        kCp1251<"Неверный формат файла микропрограммы bk.enc: текст обрывается на половине "
                "байта.">);
    // tamsivo-flash's spelling: a name outside Windows-1251 is shown as it is.
    EXPECT_EQ(OutcomeText(RowOf(Outcome::SignatureError), "COM7", Utf8(u8"Ολγα.enc"),
                          PackageError::None, &Cp1251ToUtf8),
              Utf8(u8"Ошибка сигнатуры файла. Файл Ολγα.enc не является корректным файлом "
                   u8"микропрограммы."));
}

// The read-me's table of exit codes says what the program does: every code with its result.
TEST(Outcomes, TheReadMesExitCodesAreTheProgramsOwn) {
    std::map<int, std::string> program;
    for (const OutcomeRow& row : kOutcomes) {
        program[row.exitCode] = row.key;
    }
    for (const cli::CliEnd& end : cli::kOwnEnds) {
        program[end.code] = end.key;
    }
    std::ifstream readMe(fs::path(TAMSIVO_SOURCE_DIR) / "README.md");
    std::map<int, std::string> documented;
    for (std::string line; std::getline(readMe, line);) {
        int code = -1;
        char key[64] = {};
        if (std::sscanf(line.c_str(), "| %d | `%63[a-z0-9_]` |", &code, key) == 2) {
            documented[code] = key;
        }
    }
    EXPECT_EQ(documented, program);
}

// The manual page keeps up with the program, which gains options and exit codes over time:
// read against the built program's own --help, never against a copy.
TEST(ManPage, DescribesEveryOptionAndExitCodeThatHelpLists) {
    Cli run({"--help"}, fs::temp_directory_path());
    ASSERT_EQ(run.Finish(), 0);
    EXPECT_EQ(Cli({"--version"}, fs::temp_directory_path()).Finish(), 0);
    const std::string& help = run.Out();
    // troff's escaped hyphens ("\-") as plain ones.
    const std::string page =
        std::regex_replace(test::ReadWhole(TAMSIVO_SOURCE_DIR "/packaging/man/tamsivo-flash.1.in"),
                           std::regex(R"(\\-)"), "-");
    const std::size_t exitCodes = help.find("Exit codes:");
    ASSERT_NE(exitCodes, std::string::npos) << help;

    const std::string options = help.substr(0, exitCodes);
    const std::regex optionLine(R"(\n +(-\w,)?(--[\w-]+))");
    for (std::sregex_iterator option(options.begin(), options.end(), optionLine), end;
         option != end; ++option) {
        // Followed by no name character: --json must not be found in --json-progress.
        EXPECT_TRUE(std::regex_search(page, std::regex(option->str(2) + R"((?![\w-]))")))
            << option->str(2);
    }

    // Each row's code and meaning; `columns` takes where in its row each meaning starts.
    const auto table = [](const std::string& text, const char* row, std::set<long>& columns) {
        std::map<int, std::string> rows;
        const std::regex pattern(row);
        for (std::sregex_iterator at(text.begin(), text.end(), pattern), end; at != end; ++at) {
            rows[std::stoi(at->str(1))] = at->str(2);
            columns.insert(at->position(2) - at->position(0));
        }
        return rows;
    };
    // --help: "  9  checksum error (...)", each meaning in one column after codes of one digit or
    // two alike; the page: ".B 9", then the same words.
    std::set<long> columns;
    const auto helpTable = table(help.substr(exitCodes), R"(\n +(\d+)  ([^\n]+))", columns);
    EXPECT_EQ(columns.size(), 1u) << help;
    EXPECT_FALSE(helpTable.empty());
    const std::size_t section = page.find(".SH EXIT STATUS");
    EXPECT_EQ(table(page.substr(section, page.find("\n.SH ", section + 1) - section),
                    R"(\n\.B (\d+)\n([^\n]*))", columns),
              helpTable);

    // The simulated faults, and which of them take a byte: "extra-echo:HH", ".BI extra-echo: HH".
    std::smatch match;
    ASSERT_TRUE(std::regex_search(help, match, std::regex("fault to simulate: (.+)")));
    std::istringstream faults(match.str(1));
    for (std::string fault; std::getline(faults >> std::ws, fault, ',');) {
        const std::size_t colon = fault.find(':');
        EXPECT_TRUE(std::regex_search(
            page, std::regex(colon == std::string::npos ? "\\.BR? " + fault + " ?,?\n"
                                                        : "\\.BI " + fault.substr(0, colon) +
                                                              ": HH")))
            << fault;
    }
}

// What --list-ports tells of an FTDI adapter as Windows describes it, and the warning its slow
// latency timer earns before a run: about one timer less a millisecond more per frame.
TEST(PortListing, AnAdaptersLatencyTimerIsShownAndASlowOneWarnedOf) {
    SerialPortInfo ftdi;
    ftdi.name = "COM3";
    ftdi.usb = true;
    ftdi.friendlyName = "USB Serial Port (COM3)";
    ftdi.vendorId = "0403";
    ftdi.productId = "6001";
    ftdi.manufacturer = "FTDI";
    ftdi.serial = "A50285BI";
    ftdi.latencyTimerMs = 16;
    SerialPortInfo uart;
    uart.name = "COM10";
    EXPECT_EQ(cli::PortTable({ftdi, uart}), "COM3   free  USB Serial Port (COM3)  0403:6001  FTDI  "
                                            "serial A50285BI  latency timer 16 ms\n"
                                            "COM10  free\n");
    ftdi.productId.clear(); // an id the system could not read: the other one still shows
    EXPECT_THAT(cli::PortTable({ftdi}), HasSubstr("  0403:  FTDI"));
    EXPECT_EQ(cli::PortObject(ftdi)["latency_timer_ms"], 16);
    EXPECT_FALSE(cli::PortObject(uart).contains("latency_timer_ms"));

    const std::string warning = cli::LatencyWarning(ftdi, 1200);
    EXPECT_THAT(warning,
                HasSubstr("COM3 is 16 ms, which makes this run of 1200 frames about 18 s longer"));
    EXPECT_THAT(warning, HasSubstr(Utf8(u8"USB Serial Port (COM3) → Properties → Port Settings → "
                                        u8"Advanced… → Latency Timer (msec): 1")));
    EXPECT_EQ(warning.find('\n'), warning.size() - 1) << "one line";
    EXPECT_THAT(cli::LatencyWarning(ftdi, 40), HasSubstr("about 0.6 s longer"));
    ftdi.latencyTimerMs = 11; // whole seconds from 10 s on
    EXPECT_THAT(cli::LatencyWarning(ftdi, 1000), HasSubstr("about 10 s longer"));
    ftdi.latencyTimerMs = cli::kHarmlessLatencyTimerMs;
    EXPECT_EQ(cli::LatencyWarning(ftdi, 1200) + cli::LatencyWarning(uart, 1200), "");
}

// A run left to choose its port and finding none free names those there, and why each is no
// choice; the console is none.
TEST(PortListing, WithoutAFreePortARunSaysWhichAreThereAndWhy) {
    SerialPortInfo console, held, theirs;
    console.name = "ttyS0";
    console.console = true;
    held.name = "ttyUSB0";
    held.state = PortState::Busy;
    held.holder = "812 (minicom)";
    theirs.name = "ttyS1";
    theirs.state = PortState::NoPermission;
    EXPECT_EQ(cli::NoFreePort({console, held, theirs}),
              "no free serial port: ttyUSB0 is in use, ttyS1 is not yours to use.");
    EXPECT_EQ(cli::PortTable({console, held, theirs}), "ttyS0    free, system console\n"
                                                       "ttyUSB0  busy (812 (minicom))\n"
                                                       "ttyS1    no permission\n");
    EXPECT_EQ(cli::PortObject(theirs)["state"], "no permission");
    EXPECT_THAT(cli::NoFreePort({console}), HasSubstr("no free serial port found; connect"));
}

} // namespace
} // namespace tamsivo
