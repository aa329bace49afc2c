// The run log: SHA-256, the record as a JSON line, the log file shared by
// threads and processes, where it lives, the time it gives and the history table.
#include "PosixHelpers.h"
#include "ScratchDir.h"
#include "Trace.h"
#include "flash/Sha256.h"
#include "record/FormatHistory.h"
#include "record/LocalTime.h"
#include "record/RunLog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

#include <pwd.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tamsivo {
namespace {

using ::testing::AllOf;
using ::testing::Ge;
using ::testing::HasSubstr;
using ::testing::Le;
using ::testing::Not;

namespace fs = std::filesystem;
using test::Utf8;

// Sets an environment variable for the length of a scope; null unsets it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        const char* old = std::getenv(name);
        old_ = old ? std::optional<std::string>(old) : std::nullopt;
        Set(value);
    }
    ~ScopedEnv() { Set(old_ ? old_->c_str() : nullptr); }

private:
    void Set(const char* value) {
        value != nullptr ? ::setenv(name_, value, 1) : ::unsetenv(name_);
    }
    const char* name_;
    std::optional<std::string> old_;
};

class RecordTest : public ::testing::Test {
protected:
    static RunRecord Record(const std::string& package) {
        return {.time = "2026-12-07T14:03:12+03:00",
                .program = "tamsivo-flash",
                .package = package,
                .packageBytes = 196,
                .sha256 = std::string(64, 'e'),
                .port = "/dev/ttyUSB0",
                .outcome = "no_echo",
                .reason = "the adapter was disconnected (Input/output error)",
                .frames = 7,
                .resends = 3,
                .waits = 1,
                .sent = 130,
                .seconds = 2.5,
                .lastAnswers = {{0x44, 12034}, {0xAB, 4294967295u}}};
    }

    const test::ScratchDir dir_{"record"};
};

TEST(Sha256, StandardVectorsFedWholeOrInAwkwardPieces) {
    const std::vector<std::pair<std::string, const char*>> vectors = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopq"
         "rlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        // The longest message whose length still fits into its last block (coreutils' sha256sum).
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    const std::size_t pieces[9] = {1, 63, 64, 65, 0, 127, 55, 200, 9};
    for (const auto& [message, digest] : vectors) {
        SCOPED_TRACE(message.size());
        Sha256 whole;
        whole.Update(message.data(), message.size());
        EXPECT_EQ(whole.HexDigest(), digest);
        Sha256 split; // a digest taken on the way must not disturb the rest
        for (std::size_t at = 0, i = 0; at < message.size(); at += pieces[i++ % 9]) {
            split.Update(message.data() + at, std::min(pieces[i % 9], message.size() - at));
            EXPECT_EQ(split.HexDigest().size(), 64u);
        }
        EXPECT_EQ(split.HexDigest(), digest);
    }
}

TEST_F(RecordTest, RecordsComeBackAsTheyWereWrittenInAFixedLineFormat) {
    RunRecord bare = Record("bare.enc");
    bare.packageBytes.reset();
    bare.sha256.clear();
    bare.lastAnswers.clear();
    bare.reason.clear();
    RunRecord foreign = Record(Utf8(u8"б") + "\xFF.enc"); // a name in another code page
    RunLog log(dir_ / "new" / "folder" / "runs.jsonl");
    for (const RunRecord& record : {Record("bk.enc"), bare, foreign}) {
        std::string error;
        ASSERT_TRUE(log.Append(record, &error)) << error;
    }
    // A log to read and append to, never to run.
    const fs::perms exec = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    EXPECT_EQ(fs::status(log.Path()).permissions() & exec, fs::perms::none);
    std::ifstream file(log.Path());
    std::string full, bareLine, foreignLine;
    std::getline(std::getline(std::getline(file, full), bareLine), foreignLine);
    // Names as UTF-8 text, not \u escapes: grep finds them.
    EXPECT_THAT(foreignLine, HasSubstr(Utf8(u8"\"package\":\"б\uFFFD.enc\"")));
    EXPECT_EQ(full, "{\"time\":\"2026-12-07T14:03:12+03:00\",\"program\":\"tamsivo-flash\","
                    "\"package\":\"bk.enc\",\"package_bytes\":196,\"sha256\":\"" +
                        std::string(64, 'e') +
                        "\",\"port\":\"/dev/ttyUSB0\",\"outcome\":\"no_echo\","
                        "\"reason\":\"the adapter was disconnected (Input/output error)\","
                        "\"frames\":7,\"resends\":3,\"waits\":1,\"sent\":130,\"seconds\":2.5,"
                        "\"answers\":[{\"ms\":12034,\"byte\":\"44\"},"
                        "{\"ms\":4294967295,\"byte\":\"AB\"}]}");
    EXPECT_THAT(bareLine, AllOf(HasSubstr("\"package_bytes\":null,\"sha256\":null,"),
                                Not(HasSubstr("reason"))));
    foreign.package = Utf8(u8"б\uFFFD.enc");
    EXPECT_EQ(log.Last(5, nullptr), (std::vector<RunRecord>{Record("bk.enc"), bare, foreign}));
}

TEST_F(RecordTest, LastTakesTheNewestRecordsAndSkipsWhatIsNoRecord) {
    const auto line = [](const char* package) { return RunRecordToJsonLine(Record(package)); };
    const auto spoilt = [&](const char* package, const std::string& what, const char* with) {
        std::string text = line(package);
        return text.replace(text.find(what), what.size(), with);
    };
    std::ofstream(dir_ / "runs.jsonl", std::ios::binary)
        << line("a") << "{\"time\":\"2026-12-07T1" /* a writer died here */ << line("b")
        << "not json\n{\"event\":\"progress\",\"sent\":5}\n[]\n\n"
        << spoilt("negative", "\"frames\":7", "\"frames\":-7")
        // more frames than a count of them can hold
        << spoilt("huge", "\"frames\":7", "\"frames\":4294967296")
        << spoilt("portless", "\"port\":", "\"plug\":")
        // the last answers, but not as a list; an answer that is no two hexadecimal digits
        << spoilt("unlisted", "\"answers\":", "\"answers\":\"44\",\"x\":")
        << spoilt("one digit", "\"44\"", "\"4\"") << spoilt("no digit", "\"44\"", "\"4G\"") << "{"
        << line("c") << std::string(8 << 20, 'x') /* over the megabyte a reader keeps */ << "\n"
        << line("d") << line("e").substr(0, 60);
    // The packages of the last n records, then what kept them from being read.
    const auto last = [](const fs::path& path, int n) {
        std::string error = "stale", packages;
        for (const RunRecord& record : RunLog(path).Last(n, &error)) {
            packages += record.package + " ";
        }
        return packages + error;
    };
    EXPECT_EQ(last(dir_ / "runs.jsonl", 2), "c d ");
    // Past the long line with no more memory than that megabyte: the peak is measured afresh.
    const auto peakKiB = [] {
        const std::string status = test::ReadWhole("/proc/self/status");
        return std::stol(status.substr(status.find("VmHWM:") + 6));
    };
    std::ofstream("/proc/self/clear_refs") << "5";
    [[maybe_unused]] const long before = peakKiB();
    EXPECT_EQ(last(dir_ / "runs.jsonl", 99), "a b c d ");
#ifndef __SANITIZE_ADDRESS__ // which keeps freed memory a while to catch its use
    EXPECT_LT(peakKiB() - before, 4 << 10);
#endif
    EXPECT_EQ(last(dir_ / "runs.jsonl", 0), "");
    // The record after a line cut short starts a line of its own, for every reader of the log
    // (jq, grep) too.
    ASSERT_TRUE(RunLog(dir_ / "runs.jsonl").Append(Record("f"), nullptr));
    const std::string text = test::ReadWhole(dir_ / "runs.jsonl");
    EXPECT_EQ(text.substr(text.size() - line("f").size() - 1), "\n" + line("f"));
    EXPECT_EQ(last(dir_ / "missing.jsonl", 5), "");
    // A folder; plain files that cannot be read through: this process's memory seeks from its
    // start only, and the loopback's link speed has a size but no text, as a bad sector.
    EXPECT_EQ(last(dir_, 5), "cannot read " + dir_.string() + ": not a plain file");
    EXPECT_THAT(last("/proc/self/mem", 5), ::testing::StartsWith("cannot open /proc/self/mem: "));
    EXPECT_EQ(last("/sys/class/net/lo/speed", 5),
              "cannot read /sys/class/net/lo/speed: Invalid argument");
}

TEST_F(RecordTest, AnUnwritableLogFailsWithTheReason) {
    // Why the record could not be appended; that it was is no answer.
    const auto append = [&](const fs::path& path) {
        std::string error;
        return RunLog(path).Append(Record("bk.enc"), &error) ? "appended" : error;
    };
    std::ofstream(dir_ / "file") << "x";
    for (const fs::path& path :
         {dir_ / "file" / "runs.jsonl", dir_ / "file" / "a" / "runs.jsonl", fs::path(dir_)}) {
        EXPECT_THAT(append(path), AllOf(HasSubstr(path.parent_path().string()), HasSubstr(": ")));
    }
    // A device is no log, nor a trace.
    EXPECT_EQ(append("/dev/null"), "cannot open /dev/null: not a plain file");
    EXPECT_EQ(cli::Trace("/dev/null", "bk.enc", {}, "ttyUSB0", 300).Error(), "not a plain file");
    // The disk fills (a file size limit of one byte stands in for it): what does not fit whole
    // fails, and so does the next write, at the limit; a trace takes what fits and fails at the
    // limit. Nothing is said meanwhile: stdout may be a file too.
    const std::string log = (dir_ / "runs.jsonl").string();
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit full{1, limit.rlim_max};
    const auto fatal = ::signal(SIGXFSZ, SIG_IGN); // the write fails instead
    ::setrlimit(RLIMIT_FSIZE, &full);
    const std::vector<std::string> said = {
        append(log), append(log),
        cli::Trace(dir_ / "bk.trace", "bk.enc", {}, "ttyUSB0", 300).Error()};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    ::signal(SIGXFSZ, fatal);
    EXPECT_EQ(said, (std::vector<std::string>{"cannot write " + log + ": No space left on device",
                                              "cannot write " + log + ": File too large",
                                              "File too large"}));
    // A file system that takes the bytes but cannot put them on a disk, as a full network share,
    // fails at the sync (a thread's name takes bytes and has no disk).
    std::thread([&] {
        EXPECT_EQ(append("/proc/thread-self/comm"),
                  "cannot write /proc/thread-self/comm: Invalid argument");
    }).join();
}

// Threads of one program and another program append at once: every line stays whole.
TEST_F(RecordTest, ConcurrentWritersNeverSplitALine) {
    constexpr int kEach = 10;
    const fs::path path = dir_ / "runs.jsonl";
    const auto write = [&](char writer) {
        RunRecord record = Record(std::string(2000, writer));
        record.lastAnswers.assign(16, {0x22, 1000});
        for (int i = 0; i < kEach; ++i) {
            RunLog(path).Append(record, nullptr);
        }
    };
    // Forked before the other writers' threads exist: a fork among running threads can leave
    // the child holding a lock (malloc's) that no thread of its own will ever release.
    const pid_t child = ::fork();
    if (child == 0) {
        write('p');
        ::_exit(0);
    }
    for (std::thread& writer : std::array{std::thread(write, 'a'), std::thread(write, 'b')}) {
        writer.join();
    }
    int status = -1;
    ASSERT_TRUE(::waitpid(child, &status, 0) == child && status == 0) << status;
    std::map<char, int> lines;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        if (line.empty()) {
            continue; // a writer saw another's line half-way and started its own on a new one
        }
        const std::optional<RunRecord> record = RunRecordFromJsonLine(line);
        ASSERT_TRUE(record) << line.substr(0, 100);
        ++lines[record->package.front()];
    }
    EXPECT_EQ(lines, (std::map<char, int>{{'a', kEach}, {'b', kEach}, {'p', kEach}}));
}

// Without HOME, or with an empty one (a service's), the password database's home.
TEST(RunLogPath, StateHomeWhenAbsoluteElseHome) {
    const std::string tech = "/home/tech/.local/state/tamsivo/runs.jsonl";
    const std::string own =
        std::string(::getpwuid(::getuid())->pw_dir) + "/.local/state/tamsivo/runs.jsonl";
    for (const auto& [home, state, path] :
         std::vector<std::tuple<const char*, const char*, std::string>>{
             {"/home/tech", "/var/state", "/var/state/tamsivo/runs.jsonl"},
             {"/home/tech", "state", tech},
             {"/home/tech", nullptr, tech},
             {"", nullptr, own},
             {nullptr, nullptr, own}}) {
        const ScopedEnv homeEnv("HOME", home), xdg("XDG_STATE_HOME", state);
        EXPECT_EQ(RunLog::DefaultPath(), path) << (home ? home : "no HOME");
    }
}

TEST(LocalTime, IsoTextWithTheZonesOffset) {
    for (const auto& [zone, offset] : std::vector<std::pair<const char*, int>>{
             {"UTC0", 0}, {"<+03>-3", 180}, {"<-0330>3:30", -210}}) {
        const ScopedEnv tz("TZ", zone);
        const std::time_t before = std::time(nullptr);
        const std::string text = LocalTimeNow();
        const std::time_t after = std::time(nullptr);
        std::tm fields{};
        const char* end = ::strptime(text.c_str(), "%Y-%m-%dT%H:%M:%S%z", &fields);
        ASSERT_TRUE(end != nullptr && *end == '\0' && text.size() == 25) << zone << ": " << text;
        EXPECT_EQ(fields.tm_gmtoff, offset * 60) << text;
        EXPECT_EQ(text[19], offset < 0 ? '-' : '+') << "UTC itself is +00:00";
        EXPECT_THAT(::timegm(&fields) - offset * 60, AllOf(Ge(before), Le(after))) << text;
    }
}

TEST_F(RecordTest, HistoryColumnsLineUpByCharacters) {
    const RunRecord other = Record("b\tk.enc");
    RunRecord cyrillic = Record(Utf8(u8"прошивка.enc"));
    cyrillic.outcome = "done";
    cyrillic.port = "COM3";
    cyrillic.sent = 65536;
    cyrillic.seconds = 23.04;
    cyrillic.frames = 256;
    std::istringstream table(FormatHistory({cyrillic, other}));
    std::string lines[3];
    std::getline(std::getline(std::getline(table, lines[0]), lines[1]), lines[2]);
    const auto width = [](const std::string& text) {
        return std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; });
    };
    const auto column = [&](const std::string& line, const std::string& cell) {
        return width(line.substr(0, line.find(cell)));
    };
    // Words to the left, under their heading, the time first.
    EXPECT_EQ(column(lines[0], "Time"), 0);
    EXPECT_EQ(column(lines[1], "done"), column(lines[0], "Outcome"));
    EXPECT_EQ(column(lines[2], "b?k.enc"), column(lines[1], Utf8(u8"прошивка")));
    EXPECT_EQ(column(lines[1], "COM3"), column(lines[0], "Port"));
    EXPECT_EQ(column(lines[2], "/dev/ttyUSB0"), column(lines[0], "Port"));
    // Numbers to the right: every line ends in the same column.
    EXPECT_EQ(std::pair(width(lines[1]), width(lines[2])),
              std::pair(width(lines[0]), width(lines[0])));
    EXPECT_THAT(lines[1], HasSubstr("  65536     23.0     256"));
    EXPECT_THAT(lines[2], HasSubstr("  2.5  "));
}

} // namespace
} // namespace tamsivo
