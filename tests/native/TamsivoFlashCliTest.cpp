// The command-line flasher as a user or a script meets it: the real binary, run as a child
// process against the simulated adapter and on-board computer on a pseudo-terminal.
#include "BkSimulator.h"
#include "flash/FlashProtocol.h"
#include "flash/SerialLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tamsivo {
namespace {

using sim::BkSimConfig;
using sim::BkSimulator;
using sim::Fault;

// Exit codes of tamsivo-flash, as its --help documents them.
constexpr int kUsage = 2;
constexpr int kNoPackage = 3;
constexpr int kChoosePackage = 4;
constexpr int kPackageError = 5;
constexpr int kFileError = 6;
constexpr int kPortError = 7;
constexpr int kCancelled = 16;

constexpr auto kDeadline = std::chrono::seconds(60);
const std::string kTimeout = "300"; // ms; the product's 10 s would only slow the faults down

std::string Text(const char8_t* utf8) {
    return std::string(reinterpret_cast<const char*>(utf8));
}

// A member of a one-line JSON object: a string (unescaped), a number as written, or an array
// of strings.
struct JsonValue {
    std::string text;
    std::vector<std::string> items;
};

// Reads the flat objects tamsivo-flash writes; nullopt when the line is no such object.
class FlatJson {
public:
    static std::optional<std::map<std::string, JsonValue>> Parse(const std::string& line) {
        FlatJson parser(line);
        std::map<std::string, JsonValue> object;
        if (!parser.Eat('{')) {
            return std::nullopt;
        }
        if (parser.Eat('}')) {
            return object;
        }
        do {
            std::string key;
            JsonValue value;
            if (!parser.String(&key) || !parser.Eat(':') || !parser.Value(&value)) {
                return std::nullopt;
            }
            object[key] = value;
        } while (parser.Eat(','));
        if (!parser.Eat('}') || parser.pos_ != line.size()) {
            return std::nullopt;
        }
        return object;
    }

private:
    explicit FlatJson(const std::string& text) : text_(text) {}

    bool Eat(char c) {
        if (pos_ < text_.size() && text_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    bool String(std::string* out) {
        if (!Eat('"')) {
            return false;
        }
        while (pos_ < text_.size() && text_[pos_] != '"') {
            char c = text_[pos_++];
            if (c == '\\') {
                if (pos_ >= text_.size()) {
                    return false;
                }
                const char e = text_[pos_++];
                if (e == 'u') {
                    if (pos_ + 4 > text_.size()) {
                        return false;
                    }
                    c = static_cast<char>(std::stoi(text_.substr(pos_, 4), nullptr, 16));
                    pos_ += 4;
                } else {
                    c = e == 'n' ? '\n' : e == 'r' ? '\r' : e == 't' ? '\t' : e;
                }
            }
            *out += c;
        }
        return Eat('"');
    }

    bool Value(JsonValue* value) {
        if (pos_ < text_.size() && text_[pos_] == '"') {
            return String(&value->text);
        }
        if (Eat('[')) {
            if (Eat(']')) {
                return true;
            }
            do {
                std::string item;
                if (!String(&item)) {
                    return false;
                }
                value->items.push_back(item);
            } while (Eat(','));
            return Eat(']');
        }
        const std::size_t start = pos_;
        while (pos_ < text_.size() &&
               std::string_view("-+.0123456789eE").find(text_[pos_]) != std::string_view::npos) {
            ++pos_;
        }
        value->text = text_.substr(start, pos_ - start);
        return pos_ != start;
    }

    const std::string& text_;
    std::size_t pos_ = 0;
};

// One run of the CLI with its standard output and error captured through pipes.
class CliProcess {
public:
    CliProcess(const std::vector<std::string>& arguments, const std::filesystem::path& cwd) {
        int out[2];
        int err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
            ADD_FAILURE() << "pipe: " << std::strerror(errno);
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
        posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
        // The child starts with the default reaction to the stop signals, whatever ours is.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigset_t none;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGTERM);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

        std::vector<std::string> all{TAMSIVO_FLASH_EXE};
        all.insert(all.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        const int spawned =
            posix_spawn(&pid_, TAMSIVO_FLASH_EXE, &actions, &attributes, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        posix_spawnattr_destroy(&attributes);
        ::close(out[1]);
        ::close(err[1]);
        out_ = out[0];
        err_ = err[0];
        if (spawned != 0) {
            pid_ = -1;
            ADD_FAILURE() << "posix_spawn " << TAMSIVO_FLASH_EXE << ": " << std::strerror(spawned);
        }
    }

    ~CliProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        for (int fd : {out_, err_}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    pid_t Pid() const { return pid_; }

    // Reads the output until stdout holds `text`; false at the end of the output or the
    // deadline.
    bool WaitForOutput(const std::string& text) {
        const auto deadline = std::chrono::steady_clock::now() + kDeadline;
        while (output_.find(text) == std::string::npos) {
            if (!Pump(deadline)) {
                return false;
            }
        }
        return true;
    }

    // Reads everything until the child closes its output, then reaps it: the exit status,
    // or -1 after the deadline or a signal.
    int Finish() {
        const auto deadline = std::chrono::steady_clock::now() + kDeadline;
        while (Pump(deadline)) {
        }
        if (out_ >= 0 || err_ >= 0 || pid_ <= 0) {
            ADD_FAILURE() << "tamsivo-flash did not finish in time; output so far:\n" << output_;
            return -1;
        }
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        if (!WIFEXITED(status)) {
            ADD_FAILURE() << "tamsivo-flash ended by signal " << WTERMSIG(status);
            return -1;
        }
        return WEXITSTATUS(status);
    }

    const std::string& Out() const { return output_; }
    const std::string& Err() const { return errors_; }

    // The last line of stdout as a JSON object.
    std::map<std::string, JsonValue> Result() const {
        std::string line = output_;
        while (!line.empty() && line.back() == '\n') {
            line.pop_back();
        }
        line = line.substr(line.rfind('\n') == std::string::npos ? 0 : line.rfind('\n') + 1);
        auto object = FlatJson::Parse(line);
        EXPECT_TRUE(object.has_value()) << "not a JSON object: " << line;
        return object.value_or(std::map<std::string, JsonValue>{});
    }

private:
    // One wait for output; false when both streams have ended or the deadline passed.
    bool Pump(std::chrono::steady_clock::time_point deadline) {
        if (out_ < 0 && err_ < 0) {
            return false;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
        const int ready = ::poll(fds, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR) {
            return false;
        }
        ReadFrom(fds[0], &out_, &output_);
        ReadFrom(fds[1], &err_, &errors_);
        return true;
    }

    static void ReadFrom(const pollfd& fd, int* owned, std::string* text) {
        if (fd.fd < 0 || (fd.revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            return;
        }
        char buffer[4096];
        const ssize_t got = ::read(fd.fd, buffer, sizeof buffer);
        if (got > 0) {
            text->append(buffer, static_cast<std::size_t>(got));
        } else if (got == 0 || errno != EINTR) {
            ::close(*owned);
            *owned = -1;
        }
    }

    pid_t pid_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string output_;
    std::string errors_;
};

class TamsivoFlashCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("tamsivo-cli-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Writes a package of frames with the given payload sizes as hexadecimal text and
    // returns the bytes that must reach the on-board computer.
    std::vector<std::uint8_t> WritePackage(const std::filesystem::path& path,
                                           const std::vector<std::uint32_t>& payloads) {
        std::vector<std::uint8_t> bytes;
        for (std::uint32_t length : payloads) {
            bytes.push_back(static_cast<std::uint8_t>(length >> 8));
            bytes.push_back(static_cast<std::uint8_t>(length));
            for (std::uint32_t i = 0; i < length; ++i) {
                bytes.push_back(static_cast<std::uint8_t>(i * 7 + bytes.size()));
            }
        }
        std::string text;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            char pair[4];
            std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
            text += pair;
            text += i % 16 == 15 ? "\r\n" : " ";
        }
        WriteText(path, text);
        return bytes;
    }

    static void WriteText(const std::filesystem::path& path, const std::string& text) {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    static std::unique_ptr<BkSimulator> Simulator(BkSimConfig config = {}) {
        auto simulator = std::make_unique<BkSimulator>(std::move(config));
        std::string error;
        EXPECT_TRUE(simulator->Start(&error)) << error;
        return simulator;
    }

    std::unique_ptr<CliProcess> Start(const std::vector<std::string>& arguments) {
        return std::make_unique<CliProcess>(arguments, dir_);
    }

    int Run(const std::vector<std::string>& arguments, std::unique_ptr<CliProcess>* process) {
        *process = Start(arguments);
        return (*process)->Finish();
    }

    std::filesystem::path dir_;
};

TEST_F(TamsivoFlashCliTest, FlashesThePackageAndReportsTheOutcome) {
    const auto package = WritePackage(dir_ / "bk.enc", {1, 300, 0, 517, 17});
    auto simulator = Simulator();

    std::unique_ptr<CliProcess> cli;
    ASSERT_EQ(Run({"--port", simulator->SlavePath(), "--timeout-ms", kTimeout, "--json",
                   (dir_ / "bk.enc").string()},
                  &cli),
              0)
        << cli->Err();
    EXPECT_EQ(simulator->Accepted(), package);
    auto result = cli->Result();
    EXPECT_EQ(result["result"].text, "done");
    EXPECT_EQ(result["exit_code"].text, "0");
    EXPECT_EQ(result["caption"].text, Text(u8"ВЫПОЛНЕНО"));
    EXPECT_NE(result["message"].text.find(Text(u8"успешно")), std::string::npos);
    EXPECT_EQ(result["bytes"].text, std::to_string(package.size()));
    EXPECT_EQ(result["sent"].text, std::to_string(package.size()));
    EXPECT_EQ(result["frames"].text, "5");
    EXPECT_EQ(result["package"].text, "bk.enc");
    EXPECT_EQ(result["port"].text, simulator->SlavePath());
    EXPECT_TRUE(result.count("seconds"));
    // Without --json-progress the result is all there is.
    EXPECT_EQ(cli->Out().find("\"event\""), std::string::npos);

    // For people: progress lines off a terminal, and the dialog's words in UTF-8.
    ASSERT_EQ(Run({"--port", simulator->SlavePath(), "--timeout-ms", kTimeout,
                   (dir_ / "bk.enc").string()},
                  &cli),
              0)
        << cli->Err();
    EXPECT_NE(cli->Out().find("100%"), std::string::npos) << cli->Out();
    EXPECT_NE(cli->Out().find(Text(u8"ВЫПОЛНЕНО: Обновление выполнено успешно!")),
              std::string::npos)
        << cli->Out();
    EXPECT_EQ(cli->Out().find('\r'), std::string::npos) << "redrawing outside a terminal";
    EXPECT_EQ(simulator->Accepted().size(), 2 * package.size());

    // With --json-progress, every notification is an object of its own before the result.
    ASSERT_EQ(Run({"--port", simulator->SlavePath(), "--timeout-ms", kTimeout, "--json-progress",
                   (dir_ / "bk.enc").string()},
                  &cli),
              0);
    std::size_t progressLines = 0;
    std::size_t start = 0;
    std::string lastSent;
    for (std::size_t end; (end = cli->Out().find('\n', start)) != std::string::npos;
         start = end + 1) {
        auto object = FlatJson::Parse(cli->Out().substr(start, end - start));
        ASSERT_TRUE(object.has_value()) << cli->Out();
        if ((*object)["event"].text == "progress") {
            ++progressLines;
            lastSent = (*object)["sent"].text;
        }
    }
    EXPECT_EQ(progressLines, 5u);
    EXPECT_EQ(lastSent, std::to_string(package.size()));
}

TEST_F(TamsivoFlashCliTest, CheckValidatesThePackageWithoutAPort) {
    const auto package = WritePackage(dir_ / "good.enc", {4, 250, 9});
    std::unique_ptr<CliProcess> cli;
    ASSERT_EQ(Run({"--check", "--json", "good.enc"}, &cli), 0) << cli->Err();
    auto result = cli->Result();
    EXPECT_EQ(result["result"].text, "valid");
    EXPECT_EQ(result["frames"].text, "3");
    EXPECT_EQ(result["bytes"].text, std::to_string(package.size()));

    ASSERT_EQ(Run({"--check", "good.enc"}, &cli), 0);
    EXPECT_NE(cli->Out().find("3 frames"), std::string::npos) << cli->Out();

    struct Malformed {
        const char* text;
        int reason;
        std::optional<std::size_t> offset;
    };
    const std::string invalid = "00 02 AA BB\r\n00 01 C\xD0\x96";
    const std::vector<Malformed> cases = {
        {invalid.c_str(), 1, invalid.find('\xD0')},
        {"00 02 AA BB 00 05 CC", 4, 4}, // the second frame claims more than is left
        {" \r\n\t", 3, std::nullopt},
    };
    for (const Malformed& c : cases) {
        SCOPED_TRACE(c.reason);
        WriteText(dir_ / "bad.enc", c.text);
        ASSERT_EQ(Run({"--check", "--json", "bad.enc"}, &cli), kPackageError);
        result = cli->Result();
        EXPECT_EQ(result["result"].text, "package_error");
        EXPECT_EQ(result["exit_code"].text, std::to_string(kPackageError));
        EXPECT_EQ(result["reason"].text, std::to_string(c.reason));
        EXPECT_EQ(result.count("offset") != 0, c.offset.has_value());
        if (c.offset) {
            EXPECT_EQ(result["offset"].text, std::to_string(*c.offset));
        }
        EXPECT_NE(result["message"].text.find("bad.enc"), std::string::npos);
        EXPECT_EQ(result["caption"].text, Text(u8"ОШИБКА"));
    }

    // A name that is not UTF-8 still gives valid JSON, the name's other bytes kept.
    const std::string oddName = "b\xFF\xC3k.enc";
    WritePackage(dir_ / oddName, {4});
    ASSERT_EQ(Run({"--check", "--json", oddName}, &cli), 0) << cli->Err();
    EXPECT_EQ(cli->Result()["package"].text, "b\xEF\xBF\xBD\xEF\xBF\xBDk.enc") << cli->Out();

    ASSERT_EQ(Run({"--check", "--json", "missing.enc"}, &cli), kFileError);
    EXPECT_EQ(cli->Result()["result"].text, "file_error");
    // A folder is found like a package but cannot be read as one.
    std::filesystem::create_directories(dir_ / "folder.enc");
    EXPECT_EQ(Run({"--check", "folder.enc"}, &cli), kFileError);
}

TEST_F(TamsivoFlashCliTest, EachFailureHasItsOwnExitCode) {
    WritePackage(dir_ / "bk.enc", {8, 8, 8});
    struct Case {
        const char* name;
        Fault fault;
        std::uint8_t answer;
        const char* answers;
        int exitCode;
        std::size_t accepted; // bytes the on-board computer took before the failure
    };
    const std::vector<Case> cases = {
        {"no_echo", Fault::NoEcho, 0, "", 8, 10},
        {"checksum_error", Fault::None, 0, "ok,22*", 9, 10},
        {"line_error", Fault::None, 0, "33*", 10, 0},
        {"signature_error", Fault::Answer, 0x44, "", 11, 10},
        {"adapter_sync_error", Fault::Answer, 0x66, "", 12, 10},
        {"no_answer", Fault::NoAnswer, 0, "", 13, 10},
        {"bad_answer", Fault::Answer, 0x5A, "", 14, 10},
        {"link_error", Fault::Answer, 0x77, "", 15, 10},
        // A byte too many after the echo: read as the verdict it would pass the refusal off
        // as success.
        {"line_error", Fault::ExtraEcho, 0x11, "ok,44", 10, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BkSimConfig config;
        config.fault = c.fault;
        config.faultFrame = 2;
        config.faultAnswer = c.answer;
        config.answers = c.answers;
        auto simulator = Simulator(config);
        std::unique_ptr<CliProcess> cli;
        EXPECT_EQ(
            Run({"--port", simulator->SlavePath(), "--timeout-ms", kTimeout, "--json", "bk.enc"},
                &cli),
            c.exitCode);
        auto result = cli->Result();
        EXPECT_EQ(result["result"].text, c.name);
        EXPECT_EQ(result["exit_code"].text, std::to_string(c.exitCode));
        EXPECT_FALSE(result["caption"].text.empty());
        EXPECT_FALSE(result["message"].text.empty());
        EXPECT_EQ(simulator->Accepted().size(), c.accepted);
    }

    // A port that is not there, and one another program holds.
    std::unique_ptr<CliProcess> cli;
    EXPECT_EQ(Run({"--port", (dir_ / "ttyNone").string(), "--json", "bk.enc"}, &cli), kPortError);
    EXPECT_EQ(cli->Result()["result"].text, "port_error");
    auto simulator = Simulator();
    SerialLine holder;
    ASSERT_TRUE(holder.Open(simulator->SlavePath().c_str(), kFlashBaudRate, 300));
    EXPECT_EQ(Run({"--port", simulator->SlavePath(), "bk.enc"}, &cli), kPortError);
    EXPECT_NE(cli->Err().find(simulator->SlavePath()), std::string::npos) << cli->Err();
    EXPECT_EQ(simulator->FramesReceived(), 0u);
}

TEST_F(TamsivoFlashCliTest, WithoutAPackageTakesTheOneInUpdates) {
    std::unique_ptr<CliProcess> cli;
    // No folder, and a folder without packages.
    EXPECT_EQ(Run({"--check", "--json"}, &cli), kNoPackage);
    EXPECT_EQ(cli->Result()["result"].text, "no_package");
    WriteText(dir_ / "updates" / "readme.txt", "not a package");
    WriteText(dir_ / "updates" / "bk.enc.bak", "00 00");
    EXPECT_EQ(Run({"--check"}, &cli), kNoPackage);
    EXPECT_NE(cli->Err().find("updates"), std::string::npos) << cli->Err();

    // The extension matches in any letter case; the one package is flashed.
    const auto package = WritePackage(dir_ / "updates" / "Bk.ENC", {12, 40});
    auto simulator = Simulator();
    ASSERT_EQ(Run({"--port", simulator->SlavePath(), "--timeout-ms", kTimeout, "--json"}, &cli), 0)
        << cli->Err();
    EXPECT_EQ(cli->Result()["package"].text, "Bk.ENC");
    EXPECT_EQ(simulator->Accepted(), package);

    // Several, folders included: off a terminal nothing is guessed.
    WritePackage(dir_ / "updates" / "a.enc", {3});
    std::filesystem::create_directories(dir_ / "updates" / "C.enc");
    ASSERT_EQ(Run({"--port", simulator->SlavePath(), "--json"}, &cli), kChoosePackage);
    auto result = cli->Result();
    EXPECT_EQ(result["result"].text, "choose_package");
    EXPECT_EQ(result["packages"].items, (std::vector<std::string>{"a.enc", "Bk.ENC", "C.enc"}));
    ASSERT_EQ(Run({"--port", simulator->SlavePath()}, &cli), kChoosePackage);
    const std::string& listing = cli->Err();
    const std::size_t a = listing.find("a.enc");
    const std::size_t b = listing.find("Bk.ENC");
    const std::size_t c = listing.find("C.enc");
    EXPECT_TRUE(a != std::string::npos && a < b && b < c && c != std::string::npos) << listing;
    EXPECT_EQ(simulator->Accepted(), package) << "nothing more was sent";
}

TEST_F(TamsivoFlashCliTest, CtrlCStopsAfterTheFrameInFlightAndFreesThePort) {
    // The computer takes its time over every frame, so the signal lands mid-run.
    const auto package = WritePackage(dir_ / "bk.enc", {64, 64, 64, 64, 64, 64, 64, 64, 64, 64});
    BkSimConfig config;
    config.processingDelayMs = 300;
    auto simulator = Simulator(config);

    struct Mode {
        std::vector<std::string> options;
        std::string started; // stdout text that shows the run is under way
        int signal;          // a closed terminal or a polite kill stop like Ctrl+C
    };
    const std::vector<Mode> modes = {
        {{"--json-progress"}, "\"event\":\"progress\"", SIGINT},
        {{}, "  0%", SIGHUP},
        {{"--json-progress"}, "\"event\":\"progress\"", SIGTERM},
    };
    std::size_t acceptedBefore = 0;
    for (const Mode& mode : modes) {
        SCOPED_TRACE(mode.started);
        std::vector<std::string> arguments = {"--port", simulator->SlavePath(), "--timeout-ms",
                                              "2000", "bk.enc"};
        arguments.insert(arguments.end(), mode.options.begin(), mode.options.end());
        auto cli = Start(arguments);
        ASSERT_TRUE(cli->WaitForOutput(mode.started)) << cli->Out() << cli->Err();
        ASSERT_EQ(::kill(cli->Pid(), mode.signal), 0);
        ASSERT_EQ(cli->Finish(), kCancelled) << cli->Out() << cli->Err();
        if (mode.options.empty()) {
            EXPECT_NE(cli->Err().find(Text(u8"ОТМЕНА: Обновление отменено пользователем")),
                      std::string::npos)
                << cli->Err();
        } else {
            auto result = cli->Result();
            EXPECT_EQ(result["result"].text, "cancelled");
            EXPECT_EQ(result["exit_code"].text, std::to_string(kCancelled));
            EXPECT_EQ(result["caption"].text, Text(u8"ОТМЕНА"));
            EXPECT_EQ(result["message"].text, Text(u8"Обновление отменено пользователем"));
        }
        // Whole frames only, and not all of them.
        const std::vector<std::uint8_t> accepted = simulator->Accepted();
        const std::vector<std::uint8_t> thisRun(accepted.begin() + acceptedBefore, accepted.end());
        acceptedBefore = accepted.size();
        EXPECT_GE(thisRun.size(), 66u);
        EXPECT_LT(thisRun.size(), package.size());
        EXPECT_EQ(thisRun.size() % 66, 0u);
        EXPECT_TRUE(std::equal(thisRun.begin(), thisRun.end(), package.begin()));

        SerialLine line;
        EXPECT_TRUE(line.Open(simulator->SlavePath().c_str(), kFlashBaudRate, 300))
            << "the port is still held";
    }

    // A stop that comes once the last frame is out, while the computer judges it, cancels
    // nothing: the computer takes the frame and the user hears so.
    const auto single = WritePackage(dir_ / "one.enc", {64});
    BkSimConfig thoughtful;
    thoughtful.processingDelayMs = 1000;
    auto judge = Simulator(thoughtful);
    auto cli =
        Start({"--port", judge->SlavePath(), "--timeout-ms", "3000", "--json-progress", "one.enc"});
    ASSERT_TRUE(cli->WaitForOutput("\"sent\":66")) << cli->Out() << cli->Err();
    ASSERT_EQ(::kill(cli->Pid(), SIGINT), 0);
    ASSERT_EQ(cli->Finish(), 0) << cli->Out() << cli->Err();
    EXPECT_EQ(cli->Result()["result"].text, "done");
    EXPECT_EQ(judge->Accepted(), single);
}

TEST_F(TamsivoFlashCliTest, SimulatesTheAdapterForDemonstrations) {
    WritePackage(dir_ / "bk.enc", {30, 30, 30});
    std::unique_ptr<CliProcess> cli;
    ASSERT_EQ(Run({"--simulate", "--json", "bk.enc"}, &cli), 0) << cli->Err();
    EXPECT_EQ(cli->Result()["sent"].text, "96");
    EXPECT_EQ(Run({"--simulate", "--json", "--sim-fault", "answer:44", "--sim-fault-frame", "3",
                   "bk.enc"},
                  &cli),
              11);
    EXPECT_EQ(cli->Result()["sent"].text, "96"); // the third frame went out, then was refused
    EXPECT_EQ(Run({"--simulate", "--sim-answers", "22*", "--timeout-ms", kTimeout, "bk.enc"}, &cli),
              9);
}

TEST_F(TamsivoFlashCliTest, CommandLineMistakesAreUsageErrors) {
    WritePackage(dir_ / "bk.enc", {3});
    const std::vector<std::vector<std::string>> mistakes = {
        {"--no-such-option"},
        {"--check", "--port", "COM3", "bk.enc"},
        {"--list-ports", "bk.enc"},
        {"--sim-fault", "no-echo", "bk.enc"}, // needs --simulate
        {"--simulate", "--sim-fault", "sparks", "bk.enc"},
        {"--simulate", "--sim-answers", "zz", "bk.enc"},
        {"--timeout-ms", "0", "bk.enc"},
        {"a.enc", "b.enc"},
        // An unset variable must not let the first port or the only package be taken.
        {"--port", "", "bk.enc"},
        {"--port=", "bk.enc"},
        {""},
        {"--check", ""},
        {"--simulate", "--sim-fault", "no-echo", "--sim-fault-frame", "0", "bk.enc"},
    };
    for (const auto& arguments : mistakes) {
        SCOPED_TRACE(arguments.front());
        std::unique_ptr<CliProcess> cli;
        EXPECT_EQ(Run(arguments, &cli), kUsage);
        EXPECT_FALSE(cli->Err().empty());
        // Said in words a person reads, not with the bounds of a number type.
        EXPECT_EQ(cli->Err().find("0000000000"), std::string::npos) << cli->Err();
    }

    std::unique_ptr<CliProcess> cli;
    ASSERT_EQ(Run({"--help"}, &cli), 0);
    EXPECT_NE(cli->Out().find("Exit codes"), std::string::npos);
    EXPECT_NE(cli->Out().find("16  cancelled"), std::string::npos);

    // Listing the ports needs no package, whatever ports this machine has.
    ASSERT_EQ(Run({"--list-ports", "--json"}, &cli), 0) << cli->Err();
    auto result = cli->Result();
    EXPECT_EQ(result["result"].text, "ports");
    EXPECT_TRUE(result.count("ports"));
    EXPECT_EQ(Run({"--list-ports"}, &cli), 0);
}

} // namespace
} // namespace tamsivo
