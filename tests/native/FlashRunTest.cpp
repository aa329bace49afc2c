#include "flash/FlashRun.h"
#include "app/AppState.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace tamsivo {
namespace {

// What a scripted line saw and did during one run.
struct LineLog {
    bool opened = false;
    bool openAttempted = false;
    std::uint32_t timeoutMs = 0;
    int purges = 0;
    int purgesBeforeWrites = 0; // writes that came right after a purge
    std::vector<std::vector<std::uint8_t>> writes;
    bool closedAtEnd = false;
    bool destroyed = false;
};

// How the scripted device mangles the bytes of one frame's exchange: `now` holds the echo and
// the answers as they come back at once, `late` what arrives only once the host writes again.
using Mangle =
    std::function<void(int write, std::vector<std::uint8_t>& now, std::vector<std::uint8_t>& late)>;

// Plays the adapter and the on-board computer as one byte stream: each write comes back as
// its echo followed by the next scripted answer (a wait is followed at once by the answer
// after it); an empty script is silence. Reads take bytes from the stream in order.
class ScriptedLine : public SerialLine {
public:
    ScriptedLine(LineLog& log, std::deque<int> answers, bool openSucceeds, bool writeSucceeds,
                 std::optional<int> echoFailsOnWrite, Mangle mangle)
        : log_(log), answers_(std::move(answers)), openSucceeds_(openSucceeds),
          writeSucceeds_(writeSucceeds), echoFailsOnWrite_(echoFailsOnWrite),
          mangle_(std::move(mangle)) {}
    ~ScriptedLine() override { log_.destroyed = true; }

    bool Open(const char*, std::uint32_t, std::uint32_t timeoutMs) override {
        log_.openAttempted = true;
        log_.timeoutMs = timeoutMs;
        log_.opened = openSucceeds_;
        return openSucceeds_;
    }
    bool SetTimeouts(std::uint32_t) override { return true; }
    bool Purge() override {
        ++log_.purges;
        justPurged_ = true;
        input_.clear();
        return true;
    }
    bool Close() override {
        log_.closedAtEnd = true;
        return true;
    }
    bool Write(const std::uint8_t* data, std::uint32_t count) override {
        log_.purgesBeforeWrites += justPurged_ ? 1 : 0;
        justPurged_ = false;
        log_.writes.emplace_back(data, data + count);
        if (!writeSucceeds_) {
            return false;
        }
        const int write = static_cast<int>(log_.writes.size());
        input_.insert(input_.end(), late_.begin(), late_.end());
        late_.clear();
        std::vector<std::uint8_t> now(data, data + count);
        if (echoFailsOnWrite_ == write) {
            now.pop_back(); // and nothing more comes
            answers_.clear();
        }
        while (!answers_.empty()) {
            now.push_back(static_cast<std::uint8_t>(answers_.front()));
            answers_.pop_front();
            if (now.back() != ANSWER_WAIT) {
                break;
            }
        }
        std::vector<std::uint8_t> late;
        if (mangle_) {
            mangle_(write, now, late);
        }
        input_.insert(input_.end(), now.begin(), now.end());
        late_ = std::move(late);
        return true;
    }
    bool Read(std::uint8_t* buffer, std::uint32_t count) override {
        const std::uint32_t got = std::min<std::uint32_t>(count, input_.size());
        std::copy_n(input_.begin(), got, buffer);
        input_.erase(input_.begin(), input_.begin() + got);
        return got == count;
    }
    bool BytesWaiting(std::uint32_t* count) override {
        *count = static_cast<std::uint32_t>(input_.size());
        return true;
    }

private:
    LineLog& log_;
    std::deque<int> answers_;
    bool openSucceeds_;
    bool writeSucceeds_;
    std::optional<int> echoFailsOnWrite_;
    Mangle mangle_;
    bool justPurged_ = false;
    std::deque<std::uint8_t> input_;
    std::vector<std::uint8_t> late_;
};

struct Report {
    unsigned message;
    std::int64_t lParam;
    int busy;
    bool operator==(const Report&) const = default;
};

class Recorder : public FlashReporter {
public:
    explicit Recorder(AppState& state) : state_(state) {}
    void Report(unsigned message, std::int64_t lParam) override {
        reports.push_back({message, lParam, state_.busy.load()});
        if (onReport) {
            onReport(message, lParam);
        }
    }
    std::vector<tamsivo::Report> reports;
    std::function<void(unsigned, std::int64_t)> onReport;

private:
    AppState& state_;
};

class FlashRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("tamsivo-run-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_ / "updates");
        state_.exeDir = dir_.string() + "/";
        state_.firmwareName = "bk.enc";
        state_.portName = "ttyFAKE";
        state_.runAllowed = 1;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void WritePackage(const std::string& text) {
        std::ofstream(dir_ / "updates" / "bk.enc", std::ios::binary) << text;
    }

    // Three frames: 3, 4 and 2 bytes on the line.
    void WriteThreeFrames() { WritePackage("0001AA\r\n0002BBCC\r\n0000\r\n"); }

    const std::vector<Report>& Run(std::deque<int> answers, bool openSucceeds = true,
                                   bool writeSucceeds = true,
                                   std::optional<int> echoFailsOnWrite = std::nullopt,
                                   Mangle mangle = {}) {
        FlashRun::Options options;
        options.timeoutMs = 321;
        options.makeLine = [&, answers, mangle] {
            return std::make_unique<ScriptedLine>(log_, answers, openSucceeds, writeSucceeds,
                                                  echoFailsOnWrite, mangle);
        };
        FlashRun(state_, recorder_, options).Run(FlashInputsFrom(state_));
        return recorder_.reports;
    }

    std::vector<std::vector<std::uint8_t>> Frames(std::initializer_list<int> which) const {
        static const std::vector<std::vector<std::uint8_t>> frames = {
            {0x00, 0x01, 0xAA}, {0x00, 0x02, 0xBB, 0xCC}, {0x00, 0x00}};
        std::vector<std::vector<std::uint8_t>> out;
        for (int i : which) {
            out.push_back(frames[i]);
        }
        return out;
    }

    std::filesystem::path dir_;
    AppState state_;
    Recorder recorder_{state_};
    LineLog log_;
};

constexpr int kBusy = 1;
constexpr int kIdle = 0;

TEST_F(FlashRunTest, AllAcceptedSendsEveryFrameOnceAndEndsDone) {
    WriteThreeFrames();
    const auto& reports = Run({0x11, 0x11, 0x11});
    EXPECT_EQ(reports, (std::vector<Report>{{WM_FLASH_SIZE, 9, kBusy},
                                            {WM_FLASH_PROGRESS, 3, kBusy},
                                            {WM_FLASH_PROGRESS, 7, kBusy},
                                            {WM_FLASH_PROGRESS, 9, kBusy},
                                            {WM_FLASH_DONE, 9, kIdle}}));
    EXPECT_EQ(log_.writes, Frames({0, 1, 2}));
    // Purged before the first frame only: later, anything waiting is a fault, not litter.
    EXPECT_EQ(log_.purges, 1);
    EXPECT_EQ(log_.purgesBeforeWrites, 1);
    EXPECT_EQ(log_.timeoutMs, 321u);
    EXPECT_TRUE(log_.closedAtEnd);
    EXPECT_TRUE(log_.destroyed);
    EXPECT_EQ(state_.busy, 0);
}

TEST_F(FlashRunTest, RetryableAnswersResendTheFrameAndCountItOnce) {
    WriteThreeFrames();
    const auto& reports = Run({0x22, 0x33, 0x11, 0x11, 0x11});
    EXPECT_EQ(log_.writes, Frames({0, 0, 0, 1, 2}));
    std::vector<std::int64_t> progress;
    for (const Report& r : reports) {
        if (r.message == WM_FLASH_PROGRESS) {
            progress.push_back(r.lParam);
        }
    }
    EXPECT_EQ(progress, (std::vector<std::int64_t>{3, 3, 3, 7, 9}));
    EXPECT_EQ(reports.back(), (Report{WM_FLASH_DONE, 9, kIdle}));
}

TEST_F(FlashRunTest, FourthRetryableAnswerInARowFailsByItsKind) {
    struct Case {
        std::deque<int> answers;
        unsigned end;
        std::size_t writes;
    };
    const std::vector<Case> cases = {
        {{0x22, 0x22, 0x22, 0x22}, WM_FLASH_CHECKSUM_ERROR, 4},
        {{0x22, 0x33, 0x22, 0x33}, WM_FLASH_LINE_ERROR, 4},
        {{0x33, 0x33, 0x33, 0x22}, WM_FLASH_CHECKSUM_ERROR, 4},
        // OK and WAIT reset the shared counter; the next frame starts afresh.
        {{0x22, 0x22, 0x22, 0x11, 0x22, 0x22, 0x22, 0x88, 0x33, 0x33, 0x33, 0x33},
         WM_FLASH_LINE_ERROR,
         11},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.end));
        recorder_.reports.clear();
        log_ = {};
        WriteThreeFrames();
        const auto& reports = Run(c.answers);
        EXPECT_EQ(reports.back(), (Report{c.end, 0, kIdle}));
        EXPECT_EQ(log_.writes.size(), c.writes);
        EXPECT_TRUE(log_.closedAtEnd);
    }
}

TEST_F(FlashRunTest, WaitSendsNothingAndReadsTheNextAnswer) {
    WriteThreeFrames();
    const auto& reports = Run({0x11, 0x88, 0x88, 0x11, 0x11});
    EXPECT_EQ(log_.writes, Frames({0, 1, 2}));
    EXPECT_EQ(reports.back(), (Report{WM_FLASH_DONE, 9, kIdle}));
}

TEST_F(FlashRunTest, WaitOnTheLastFrameAwaitsItsVerdict) {
    WriteThreeFrames();
    EXPECT_EQ(Run({0x11, 0x11, 0x88, 0x11}).back(), (Report{WM_FLASH_DONE, 9, kIdle}));

    // The verdict may still refuse the frame: it is sent again, not reported as done.
    recorder_.reports.clear();
    log_ = {};
    EXPECT_EQ(Run({0x11, 0x11, 0x88, 0x22, 0x11}).back(), (Report{WM_FLASH_DONE, 9, kIdle}));
    EXPECT_EQ(log_.writes, Frames({0, 1, 2, 2}));

    recorder_.reports.clear();
    log_ = {};
    EXPECT_EQ(Run({0x11, 0x11, 0x88}).back(), (Report{WM_FLASH_NO_ANSWER, 0, kIdle}));
}

TEST_F(FlashRunTest, FailureAnswersEndTheRunAtOnce) {
    const std::vector<std::pair<int, unsigned>> cases = {
        {0x44, WM_FLASH_SIGNATURE_ERROR}, {0x66, WM_FLASH_ADAPTER_SYNC_ERROR},
        {0x77, WM_FLASH_LINK_ERROR},      {0x55, WM_FLASH_BAD_ANSWER},
        {0x00, WM_FLASH_BAD_ANSWER},      {0xFF, WM_FLASH_BAD_ANSWER}};
    for (const auto& [answer, end] : cases) {
        SCOPED_TRACE(answer);
        recorder_.reports.clear();
        log_ = {};
        WriteThreeFrames();
        const auto& reports = Run({0x11, answer, 0x11});
        EXPECT_EQ(reports.back(), (Report{end, 0, kIdle}));
        EXPECT_EQ(log_.writes.size(), 2u);
        EXPECT_TRUE(log_.closedAtEnd);
        EXPECT_TRUE(log_.destroyed);
    }
}

TEST_F(FlashRunTest, MissingEchoOrAnswerEndsTheRun) {
    WriteThreeFrames();
    const auto& reports = Run({0x11, 0x11}, true, true, 2);
    EXPECT_EQ(reports, (std::vector<Report>{{WM_FLASH_SIZE, 9, kBusy},
                                            {WM_FLASH_PROGRESS, 3, kBusy},
                                            {WM_FLASH_NO_ECHO, 0, kIdle}}));

    recorder_.reports.clear();
    log_ = {};
    EXPECT_EQ(Run({0x11}).back(), (Report{WM_FLASH_NO_ANSWER, 0, kIdle}));
    EXPECT_EQ(log_.writes.size(), 2u);

    // A write that did not go out in full ends the run at once: what came back of it must
    // not be read as an answer.
    recorder_.reports.clear();
    log_ = {};
    const auto& failedWrite = Run({0x11, 0x11, 0x11}, true, false);
    EXPECT_EQ(failedWrite,
              (std::vector<Report>{{WM_FLASH_SIZE, 9, kBusy}, {WM_FLASH_NO_ECHO, 0, kIdle}}));
    EXPECT_EQ(log_.writes.size(), 1u);
}

// One byte too many or too early shifts the stream, so that a payload or a stray byte would
// be read as the verdict. Whatever follows, the run must not report success.
TEST_F(FlashRunTest, StreamOutOfStepIsALineErrorNeverSuccess) {
    // The answer comes before the echo's last byte.
    const Mangle early = [](int, std::vector<std::uint8_t>& now, std::vector<std::uint8_t>&) {
        std::swap(now[now.size() - 1], now[now.size() - 2]);
    };
    // One byte 0x11 too many after the echo, then the real answer.
    const Mangle extra = [](int, std::vector<std::uint8_t>& now, std::vector<std::uint8_t>&) {
        now.insert(now.end() - 1, ANSWER_OK);
    };
    // A stray byte long after each answer: it arrives during the next frame.
    const Mangle noise = [](int, std::vector<std::uint8_t>&, std::vector<std::uint8_t>& late) {
        late.push_back(ANSWER_OK);
    };
    // A stray byte right after the first answer, before anything else is sent.
    const Mangle trailing = [](int write, std::vector<std::uint8_t>& now,
                               std::vector<std::uint8_t>&) {
        if (write == 1) {
            now.push_back(0x00);
        }
    };
    struct Case {
        const char* what;
        std::deque<int> answers;
        Mangle mangle;
        unsigned threeFrames; // the end of a three-frame package
        unsigned oneFrame;    // and of a one-frame one, answered with the last answer
    };
    const std::vector<Case> cases = {
        {"early answer", {0x44, 0x44, 0x44}, early, WM_FLASH_LINE_ERROR, WM_FLASH_LINE_ERROR},
        {"extra echo byte", {0x44, 0x44, 0x44}, extra, WM_FLASH_LINE_ERROR, WM_FLASH_LINE_ERROR},
        // With no frame after it the noise cannot shift anything: the verdict stands.
        {"noise, refused",
         {0x11, 0x11, 0x44},
         noise,
         WM_FLASH_LINE_ERROR,
         WM_FLASH_SIGNATURE_ERROR},
        {"noise, link failure",
         {0x11, 0x11, 0x77},
         noise,
         WM_FLASH_LINE_ERROR,
         WM_FLASH_LINK_ERROR},
        {"stray byte after a verdict",
         {0x11, 0x11, 0x11},
         trailing,
         WM_FLASH_LINE_ERROR,
         WM_FLASH_LINE_ERROR},
    };
    for (const Case& c : cases) {
        for (const bool oneFrame : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (oneFrame ? ", one frame" : ", three frames"));
            recorder_.reports.clear();
            log_ = {};
            std::deque<int> answers = c.answers;
            if (oneFrame) {
                WritePackage("0002 5AA5");
                answers = {c.answers.back()};
            } else {
                WriteThreeFrames();
            }
            const auto& reports = Run(answers, true, true, std::nullopt, c.mangle);
            EXPECT_EQ(reports.back(), (Report{oneFrame ? c.oneFrame : c.threeFrames, 0, kIdle}));
            EXPECT_TRUE(log_.closedAtEnd);
        }
    }
}

TEST_F(FlashRunTest, StopEndsSilentlyAfterTheCurrentAnswer) {
    WriteThreeFrames();
    recorder_.onReport = [&](unsigned message, std::int64_t) {
        if (message == WM_FLASH_PROGRESS) {
            state_.runAllowed = 0;
        }
    };
    const auto& reports = Run({0x11, 0x11, 0x11});
    EXPECT_EQ(reports.back().message, static_cast<unsigned>(WM_FLASH_PROGRESS));
    EXPECT_EQ(log_.writes, Frames({0}));
    EXPECT_TRUE(log_.closedAtEnd);
    EXPECT_EQ(state_.busy, 0);

    // Failures after a stop stay silent too: the user is told of the cancellation instead.
    for (const std::deque<int>& answers :
         std::vector<std::deque<int>>{{0x44}, {}, {0x22, 0x22, 0x22, 0x22}}) {
        recorder_.reports.clear();
        log_ = {};
        state_.runAllowed = 1;
        const auto& silent = Run(answers);
        EXPECT_EQ(silent.back().message, static_cast<unsigned>(WM_FLASH_PROGRESS));
        EXPECT_EQ(state_.busy, 0);
    }

    // A stop that comes once the last frame is out cancels nothing the computer accepts: the
    // whole package is in, and that is what the user hears.
    recorder_.onReport = [&](unsigned message, std::int64_t lParam) {
        if (message == WM_FLASH_PROGRESS && lParam == 9) {
            state_.runAllowed = 0;
        }
    };
    recorder_.reports.clear();
    state_.runAllowed = 1;
    EXPECT_EQ(Run({0x11, 0x11, 0x11}).back(), (Report{WM_FLASH_DONE, 9, kIdle}));
}

// Nothing escapes a run: a failure of the program itself is an ending like any other, with
// the line closed and `busy` down.
TEST_F(FlashRunTest, FailureOfTheProgramEndsWithInternalError) {
    WriteThreeFrames();
    FlashRun::Options options;
    options.makeLine = []() -> std::unique_ptr<SerialLine> { throw std::bad_alloc(); };
    FlashRun(state_, recorder_, options).Run(FlashInputsFrom(state_));
    EXPECT_EQ(recorder_.reports, (std::vector<Report>{{WM_FLASH_INTERNAL_ERROR, 0, kIdle}}));

    recorder_.reports.clear();
    recorder_.onReport = [](unsigned message, std::int64_t) {
        if (message == WM_FLASH_PROGRESS) {
            throw std::runtime_error("the receiver failed");
        }
    };
    EXPECT_EQ(Run({0x11, 0x11, 0x11}).back(), (Report{WM_FLASH_INTERNAL_ERROR, 0, kIdle}));
    EXPECT_TRUE(log_.closedAtEnd);
    EXPECT_EQ(log_.writes.size(), 1u);
}

TEST_F(FlashRunTest, StartUpFailuresAreReportedEvenAfterAStop) {
    state_.runAllowed = 0;
    EXPECT_EQ(Run({}), (std::vector<Report>{{WM_FLASH_FILE_ERROR, 0, kIdle}}));
    EXPECT_FALSE(log_.openAttempted);
    EXPECT_TRUE(log_.destroyed);

    WriteThreeFrames();
    recorder_.reports.clear();
    log_ = {};
    EXPECT_EQ(Run({}, false), (std::vector<Report>{{WM_FLASH_PORT_ERROR, 0, kIdle}}));
    EXPECT_TRUE(log_.openAttempted);
    EXPECT_TRUE(log_.writes.empty());

    // A folder named like a package opens on some systems but cannot be read.
    std::filesystem::remove(dir_ / "updates" / "bk.enc");
    std::filesystem::create_directory(dir_ / "updates" / "bk.enc");
    recorder_.reports.clear();
    log_ = {};
    state_.runAllowed = 1;
    EXPECT_EQ(Run({}), (std::vector<Report>{{WM_FLASH_FILE_ERROR, 0, kIdle}}));
    EXPECT_TRUE(log_.writes.empty());

    // Nor is a FIFO a package: with no writer at the other end it would block the run.
    std::filesystem::remove(dir_ / "updates" / "bk.enc");
    ASSERT_EQ(::mkfifo((dir_ / "updates" / "bk.enc").c_str(), 0600), 0);
    recorder_.reports.clear();
    log_ = {};
    EXPECT_EQ(Run({}), (std::vector<Report>{{WM_FLASH_FILE_ERROR, 0, kIdle}}));

    // A port name that names no device is refused before anything is opened.
    recorder_.reports.clear();
    log_ = {};
    state_.portName.clear();
    state_.firmwareName = "absent.enc";
    EXPECT_EQ(Run({}), (std::vector<Report>{{WM_FLASH_PORT_ERROR, 0, kIdle}}));
    EXPECT_FALSE(log_.openAttempted);
}

TEST_F(FlashRunTest, MalformedPackageIsRefusedBeforeAnythingIsSent) {
    // A good package first, so that a stale image would be there to send.
    WriteThreeFrames();
    Run({0x11, 0x11, 0x11});
    const std::vector<std::pair<std::string, PackageError>> cases = {
        {"", PackageError::Empty},
        {"0001AA\r\n0002BB", PackageError::FrameOverrun},
        {"0001AA\r\nzz", PackageError::InvalidCharacter}};
    for (const auto& [text, reason] : cases) {
        SCOPED_TRACE(text);
        recorder_.reports.clear();
        log_ = {};
        WritePackage(text);
        EXPECT_EQ(Run({0x11, 0x11}),
                  (std::vector<Report>{{WM_FLASH_PACKAGE_ERROR, int(reason), kIdle}}));
        EXPECT_TRUE(log_.writes.empty());
        EXPECT_TRUE(log_.closedAtEnd);
    }
}

} // namespace
} // namespace tamsivo
