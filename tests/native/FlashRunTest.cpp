// The flash run against a scripted device: every answer, every fault of the line or of the
// stream, a stop at any point, and every way the start can fail; which of its reports reach a
// window.
#include "flash/FlashRun.h"
#include "PosixHelpers.h"
#include "ScratchDir.h"
#include "flash/Sha256.h"
#include "ui/ProgressFilter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <filesystem>
#include <functional>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace tamsivo {
namespace {

using Bytes = std::vector<std::uint8_t>;

// How the scripted device mangles one frame's exchange: `now` holds the echo and the answers
// as they come back at once, `late` what arrives only once the host writes again.
using Mangle = std::function<void(int write, Bytes& now, Bytes& late)>;

struct Device {
    Device(std::deque<int> script = {}) : answers(std::move(script)) {}
    std::deque<int> answers;
    bool opens = true;
    // What a read that finds the stream dry fails with: its timeout, or the system's word on an
    // adapter that went away meanwhile.
    int dry = ETIMEDOUT;
    int echoFailsOnWrite = 0; // that write's echo lacks its last byte, and nothing follows
    Mangle mangle;
};

// What the line saw.
struct LineLog {
    std::vector<Bytes> writes;
    std::vector<std::size_t> purgedAfter; // so many writes
    std::uint32_t timeoutMs = 0;
    std::vector<std::uint32_t> laterTimeouts; // set on the open line
    bool openAttempted = false;
    bool closed = false;
};

// The adapter and the computer as one byte stream: each write comes back as its echo followed
// by the next scripted answer (a wait is followed at once by the answer after it); an empty
// script is silence. Reads take bytes from the stream in order.
class ScriptedLine : public SerialLine {
public:
    ScriptedLine(LineLog& log, Device device) : log_(log), device_(std::move(device)) {}

    bool Open(const char*, std::uint32_t, std::uint32_t timeoutMs) override {
        log_.openAttempted = true;
        log_.timeoutMs = timeoutMs;
        return device_.opens;
    }
    bool SetTimeouts(std::uint32_t timeoutMs) override {
        log_.laterTimeouts.push_back(timeoutMs);
        // Only the quiet wait after the last verdict sets them: what is late comes in meanwhile.
        input_.insert(input_.end(), late_.begin(), late_.end());
        late_.clear();
        return true;
    }
    bool Purge() override {
        log_.purgedAfter.push_back(log_.writes.size());
        input_.clear();
        return true;
    }
    bool Close() override {
        log_.closed = true;
        return true;
    }
    bool Write(const std::uint8_t* data, std::uint32_t count) override {
        log_.writes.emplace_back(data, data + count);
        const int write = static_cast<int>(log_.writes.size());
        input_.insert(input_.end(), late_.begin(), late_.end());
        late_.clear();
        Bytes now(data, data + count);
        if (device_.echoFailsOnWrite == write) {
            now.pop_back();
            device_.answers.clear();
        }
        while (!device_.answers.empty()) {
            now.push_back(static_cast<std::uint8_t>(device_.answers.front()));
            device_.answers.pop_front();
            if (now.back() != ANSWER_WAIT) {
                break;
            }
        }
        if (device_.mangle) {
            device_.mangle(write, now, late_);
        }
        input_.insert(input_.end(), now.begin(), now.end());
        return true;
    }
    bool Read(std::uint8_t* buffer, std::uint32_t count) override {
        const std::uint32_t got = std::min<std::uint32_t>(count, input_.size());
        std::copy_n(input_.begin(), got, buffer);
        input_.erase(input_.begin(), input_.begin() + got);
        return got == count ? Succeed() : Fail(device_.dry);
    }
    EchoCheck WriteEchoed(const std::uint8_t* data, std::uint32_t count,
                          std::uint8_t* echo) override {
        if (!Write(data, count) || !Read(echo, count)) {
            return EchoCheck::Failed;
        }
        return std::equal(data, data + count, echo) ? EchoCheck::Same : EchoCheck::Differs;
    }
    bool BytesWaiting(std::uint32_t* count) override {
        *count = static_cast<std::uint32_t>(input_.size());
        return true;
    }

private:
    LineLog& log_;
    Device device_;
    std::deque<std::uint8_t> input_;
    Bytes late_;
};

// What the run told its observer: its size ("S9"), a progress ("P3"), or its end with the
// end's number, the bytes sent when done or the reason of a refused package ("E done 9").
using Report = std::string;

Report Size(std::int64_t bytes) {
    return "S" + std::to_string(bytes);
}
Report Progress(std::int64_t sent) {
    return "P" + std::to_string(sent);
}
Report End(Outcome outcome, std::int64_t value = 0) {
    return "E " + std::string(RowOf(outcome).key) + " " + std::to_string(value);
}

// Three frames: 3, 4 and 2 bytes on the line.
const std::string kThreeFrames = "0001AA\r\n0002BBCC\r\n0000\r\n";
const Bytes kFrame0 = {0x00, 0x01, 0xAA};
const Bytes kFrame1 = {0x00, 0x02, 0xBB, 0xCC};
const Bytes kFrame2 = {0x00, 0x00};

class FlashRunTest : public ::testing::Test {
protected:
    void WritePackage(const std::string& text) {
        test::WriteWhole(dir_ / "updates" / "bk.enc", text);
    }

    // One run; `stopAt` clears runAllowed when the progress reaches that many bytes, and
    // `allowed` false starts it as stopped already.
    std::vector<Report> Run(Device device, std::int64_t stopAt = -1, bool allowed = true) {
        log_ = {};
        reports_.clear();
        control_.runAllowed = allowed ? 1 : 0;
        FlashRun::Options options;
        options.timeoutMs = 321;
        options.makeLine =
            makeLine ? makeLine : [&] { return std::make_unique<ScriptedLine>(log_, device); };
        Reporter reporter(*this, stopAt);
        FlashRun run(control_, reporter, options);
        run.Run(inputs_);
        stats_ = run.Stats();
        EXPECT_EQ(control_.busy, 0);
        return reports_;
    }

    class Reporter : public FlashObserver {
    public:
        Reporter(FlashRunTest& test, std::int64_t stopAt) : test_(test), stopAt_(stopAt) {}
        // 0: stops before the first frame goes out.
        void Sized(std::uint32_t byteCount) override { Told(Size(byteCount), stopAt_ == 0); }
        void Progressed(std::uint32_t sent) override { Told(Progress(sent), sent == stopAt_); }
        void Ended(const RunEnd& end) override {
            const std::int64_t value = end.outcome == Outcome::Done ? end.sent
                                       : end.outcome == Outcome::PackageError
                                           ? static_cast<int>(end.packageError)
                                           : 0;
            // The port is closed and busy down before the end is told.
            EXPECT_TRUE(test_.log_.closed || !test_.log_.openAttempted);
            Told(End(end.outcome, value), false);
        }

    private:
        void Told(const Report& report, bool stop) {
            test_.reports_.push_back(report);
            EXPECT_EQ(test_.control_.busy.load(), report[0] == 'E' ? 0 : 1) << report;
            if (stop) {
                test_.control_.runAllowed = 0;
            }
            if (test_.onReport) {
                test_.onReport(report[0]);
            }
        }
        FlashRunTest& test_;
        std::int64_t stopAt_;
    };

    const test::ScratchDir dir_{"run"};
    RunControl control_;
    FlashInputs inputs_{dir_ / "updates" / "bk.enc", "bk.enc", "ttyFAKE", nullptr};
    LineLog log_;
    std::vector<Report> reports_;
    FlashRun::Statistics stats_;
    std::function<void(char)> onReport;
    FlashRun::LineFactory makeLine;
};

TEST_F(FlashRunTest, AnswersAndTheLineDecideWhatIsSentAndHowTheRunEnds) {
    // `frames` are the frames written, in order: each write whose echo came back reports the
    // progress to that frame's end, whether it was sent before or not; then the run ends with
    // `ending`, having counted `resends` frames sent again. A read that finds the stream dry
    // fails for the system's reason `dry`, which the run keeps (0: it timed out, which is no
    // reason), and the echo of write `echoFails` lacks its last byte.
    struct Case {
        const char* what;
        std::deque<int> answers;
        std::string frames;
        Outcome ending;
        std::uint32_t resends = 0;
        int dry = 0;
        int echoFails = 0;
    };
    // A computer that alternates waits and resend requests resets the count of resends each
    // time; the frame still goes out sixteen times at most.
    const auto afterWaits = [](int answer, std::deque<int> end) {
        for (int i = 0; i < 15; ++i) {
            end.insert(end.begin(), {0x88, answer});
        }
        return end;
    };
    const std::string sixteenTimes(16, '0');
    const std::vector<Case> cases = {
        {"all accepted", {0x11, 0x11, 0x11}, "012", Outcome::Done},
        // Both retryable answers share one counter, which OK and WAIT reset.
        {"resends", {0x22, 0x33, 0x11, 0x11, 0x11}, "00012", Outcome::Done, 2},
        {"checksum limit", {0x22, 0x22, 0x22, 0x22}, "0000", Outcome::ChecksumError, 3},
        {"mixed limit", {0x22, 0x33, 0x22, 0x33}, "0000", Outcome::LineError, 3},
        {"reset by ok and wait",
         {0x22, 0x22, 0x22, 0x11, 0x22, 0x22, 0x22, 0x88, 0x33, 0x33, 0x33, 0x22},
         "00001111111",
         Outcome::ChecksumError,
         9},
        {"sixteen sends", afterWaits(0x22, {0x88, 0x22}), sixteenTimes, Outcome::ChecksumError, 15},
        {"sixteenth send accepted", afterWaits(0x22, {0x88, 0x11, 0x11, 0x11}), sixteenTimes + "12",
         Outcome::Done, 15},
        // A wait sends nothing and reads another answer, the last frame's verdict too.
        {"waits", {0x11, 0x88, 0x88, 0x11, 0x11}, "012", Outcome::Done},
        {"last refused after a wait", {0x11, 0x11, 0x88, 0x22, 0x11}, "0122", Outcome::Done, 1},
        {"wait without a verdict", {0x11, 0x11, 0x88}, "012", Outcome::NoAnswer},
        {"signature", {0x11, 0x44}, "01", Outcome::SignatureError},
        {"adapter sync", {0x66}, "0", Outcome::AdapterSyncError},
        {"link", {0x77}, "0", Outcome::LinkError},
        {"unknown 0x55", {0x55}, "0", Outcome::BadAnswer},
        {"unknown 0x00", {0x00}, "0", Outcome::BadAnswer},
        {"silence", {0x11}, "01", Outcome::NoAnswer},
        {"pulled before the answer", {0x11}, "01", Outcome::NoAnswer, 0, ENODEV},
        // A frame that did not go out whole ends the run at once.
        {"pulled mid-frame", {0x11}, "01", Outcome::NoEcho, 0, EIO, 2},
        // The last verdict is believed only once the line has stayed quiet, and only a read
        // that ran out its time is quiet.
        {"pulled while confirming", {0x11, 0x11, 0x11}, "012", Outcome::LineError, 0, EIO},
    };
    const Bytes frames[] = {kFrame0, kFrame1, kFrame2};
    const std::int64_t ends[] = {3, 7, 9};
    WritePackage(kThreeFrames);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Bytes> writes;
        std::vector<Report> reports{Size(9)};
        for (const char frame : c.frames) {
            writes.push_back(frames[frame - '0']);
            if (writes.size() != static_cast<std::size_t>(c.echoFails)) {
                reports.push_back(Progress(ends[frame - '0']));
            }
        }
        reports.push_back(End(c.ending, c.ending == Outcome::Done ? 9 : 0));
        Device device{c.answers};
        device.dry = c.dry == 0 ? ETIMEDOUT : c.dry;
        device.echoFailsOnWrite = c.echoFails;
        EXPECT_EQ(Run(device), reports);
        EXPECT_EQ(log_.writes, writes);
        EXPECT_EQ(stats_.end.lineError, c.dry);
        // The record of the run: every answer read, the newest sixteen kept in order.
        EXPECT_EQ(stats_.framesWritten, c.frames.size());
        EXPECT_EQ(stats_.waits, std::count(c.answers.begin(), c.answers.end(), 0x88));
        EXPECT_EQ(stats_.resends, c.resends);
        std::vector<int> kept;
        std::ranges::transform(stats_.lastAnswers, std::back_inserter(kept), &AnswerAt::answer);
        const std::size_t from = c.answers.size() - std::min<std::size_t>(16, c.answers.size());
        EXPECT_EQ(kept, std::vector<int>(c.answers.begin() + from, c.answers.end()));
        // Purged before the first frame only: later anything waiting is a fault, not litter.
        EXPECT_EQ(log_.purgedAfter, std::vector<std::size_t>{0});
        EXPECT_EQ(log_.timeoutMs, 321u);
        if (c.ending == Outcome::Done) {
            EXPECT_EQ(log_.laterTimeouts,
                      std::vector<std::uint32_t>{FlashRun::QuietAfterVerdictMs({}, 321)});
        }
    }
}

// One byte too many or too early shifts the stream, so that a payload or a stray byte would
// be read as the verdict. Whatever follows, the run must not report success.
TEST_F(FlashRunTest, StreamOutOfStepIsALineErrorNeverSuccess) {
    const Mangle early = [](int, Bytes& now, Bytes&) {
        std::swap(now[now.size() - 1], now[now.size() - 2]);
    };
    const Mangle extra = [](int, Bytes& now, Bytes&) { now.insert(now.end() - 1, ANSWER_OK); };
    const Mangle noise = [](int, Bytes&, Bytes& late) { late.push_back(ANSWER_OK); };
    const Mangle trailing = [](int write, Bytes& now, Bytes&) {
        if (write == 1) {
            now.push_back(0x00);
        }
    };
    struct Case {
        const char* what;
        std::deque<int> answers;
        Mangle mangle;
        Outcome threeFrames; // the end of a three-frame package
        Outcome oneFrame;    // and of a one-frame one, answered with the last answer
    };
    constexpr Outcome kLine = Outcome::LineError;
    const std::vector<Case> cases = {
        {"answer before the echo's last byte", {0x44, 0x44, 0x44}, early, kLine, kLine},
        {"0x11 too many after the echo", {0x44, 0x44, 0x44}, extra, kLine, kLine},
        // With no frame after it the noise cannot shift anything: the verdict stands.
        {"noise, refused", {0x11, 0x11, 0x44}, noise, kLine, Outcome::SignatureError},
        {"stray byte after a verdict", {0x11, 0x11, 0x11}, trailing, kLine, kLine},
        {"a byte during the quiet wait", {0x11, 0x11, 0x11}, noise, kLine, kLine},
    };
    for (const Case& c : cases) {
        for (const bool oneFrame : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (oneFrame ? ", one frame" : ", three frames"));
            WritePackage(oneFrame ? "0002 5AA5" : kThreeFrames);
            Device device{oneFrame ? std::deque<int>{c.answers.back()} : c.answers};
            device.mangle = c.mangle;
            EXPECT_EQ(Run(device).back(), End(oneFrame ? c.oneFrame : c.threeFrames));
        }
    }
}

TEST(QuietAfterVerdict, ASecondAtLeastThreeLongestAnswersAndNoMoreThanTheTimeout) {
    using std::chrono::milliseconds;
    EXPECT_EQ(FlashRun::QuietAfterVerdictMs(milliseconds(5), 50), 1000u) << "no option shortens it";
    EXPECT_EQ(FlashRun::QuietAfterVerdictMs(milliseconds(400), 900), 1000u);
    EXPECT_EQ(FlashRun::QuietAfterVerdictMs(milliseconds(5), 10000), 1000u);
    EXPECT_EQ(FlashRun::QuietAfterVerdictMs(milliseconds(400), 10000), 1200u);
    EXPECT_EQ(FlashRun::QuietAfterVerdictMs(milliseconds(4000), 10000), 10000u);
}

TEST_F(FlashRunTest, AStopEndsSilentlyAfterTheFrameInFlightUnlessThatWasTheLast) {
    WritePackage(kThreeFrames);
    // Nothing reaches the vehicle after a stop: not the port's open, not the first frame.
    EXPECT_EQ(Run(Device{{0x11, 0x11, 0x11}}, -1, false), std::vector<Report>{});
    EXPECT_FALSE(log_.openAttempted);
    EXPECT_EQ(Run(Device{{0x11, 0x11, 0x11}}, 0), std::vector<Report>{Size(9)});
    EXPECT_TRUE(log_.writes.empty());
    // A stop ends the run once the frame in flight is answered, and failures after it stay
    // silent: the user is told of the cancellation instead.
    for (const std::deque<int>& answers :
         std::vector<std::deque<int>>{{0x11, 0x11, 0x11}, {0x44}, {}, {0x22, 0x22, 0x22, 0x22}}) {
        EXPECT_EQ(Run(Device{answers}, 3), (std::vector<Report>{Size(9), Progress(3)}));
        EXPECT_EQ(log_.writes.size(), 1u);
    }
    // Once the last frame is accepted the whole package is in, and that is what is reported.
    EXPECT_EQ(Run(Device{{0x11, 0x11, 0x11}}, 9).back(), End(Outcome::Done, 9));
    EXPECT_EQ(Run(Device{{0x11, 0x11, 0x88, 0x11}}, 9).back(), Progress(9))
        << "a wait leaves the verdict open, and the stop is obeyed";
}

TEST_F(FlashRunTest, FailuresAtTheStartAreReportedEvenAfterAStop) {
    const std::vector<Report> fileError{End(Outcome::FileError)};
    const std::vector<Report> portError{End(Outcome::PortError)};
    EXPECT_EQ(Run(Device{}, -1, false), fileError) << "no package";
    EXPECT_FALSE(log_.openAttempted);

    // A folder named like a package, and a FIFO, which would block the run, are no packages.
    std::filesystem::create_directories(dir_ / "updates" / "bk.enc");
    EXPECT_EQ(Run(Device{}), fileError);
    std::filesystem::remove(dir_ / "updates" / "bk.enc");
    ASSERT_EQ(::mkfifo((dir_ / "updates" / "bk.enc").c_str(), 0600), 0);
    EXPECT_EQ(Run(Device{}), fileError);
    std::filesystem::remove(dir_ / "updates" / "bk.enc");

    WritePackage(kThreeFrames);
    Device absent;
    absent.opens = false;
    EXPECT_EQ(Run(absent), portError);
    EXPECT_TRUE(log_.writes.empty());
    inputs_.portName.clear();
    EXPECT_EQ(Run(Device{}, -1, false), portError) << "a port name that names no device";
    EXPECT_FALSE(log_.openAttempted);
    inputs_.portName = "ttyFAKE";

    // A malformed package is refused before anything is sent, whatever the image held before,
    // with the reader's reason (which the package tests pin for each kind).
    EXPECT_EQ(Run(Device{{0x11, 0x11, 0x11}}).back(), End(Outcome::Done, 9));
    for (const auto& [text, reason] : std::vector<std::pair<std::string, PackageError>>{
             {"", PackageError::Empty}, {"0001AA\r\n0002BB", PackageError::FrameOverrun}}) {
        WritePackage(text);
        EXPECT_EQ(Run(Device{{0x11, 0x11}}),
                  (std::vector<Report>{End(Outcome::PackageError, static_cast<int>(reason))}));
        EXPECT_TRUE(log_.writes.empty());
    }
}

// A package read once for several ports: each run sends that image, whatever has become of the
// file, and names its bytes in the statistics for the record.
TEST_F(FlashRunTest, ARunGivenThePackageSendsItAndOpensNoFile) {
    auto loaded = std::make_shared<LoadedPackage>();
    loaded->read = {PackageRead::Status::Read};
    ASSERT_EQ(loaded->image.Decode(kThreeFrames), PackageError::None);
    WritePackage("0002 5AA5"); // the file changed since
    inputs_.package = loaded;
    EXPECT_EQ(Run(Device{{0x11, 0x11, 0x11}}).back(), End(Outcome::Done, 9));
    EXPECT_EQ(log_.writes, (std::vector<Bytes>{kFrame0, kFrame1, kFrame2}));
    Sha256 sha256;
    sha256.Update(kThreeFrames.data(), kThreeFrames.size());
    EXPECT_EQ(stats_.packageSha256, sha256.HexDigest());
    EXPECT_EQ(stats_.packageBytes, kThreeFrames.size());
    // Refused once, refused for every port, after the port was found to work.
    loaded->read = {PackageRead::Status::Refused, PackageError::FrameOverrun};
    EXPECT_EQ(Run(Device{{0x11, 0x11, 0x11}}), std::vector<Report>{End(Outcome::PackageError, 4)});
    EXPECT_TRUE(log_.openAttempted);
    EXPECT_TRUE(log_.writes.empty());
}

// Nothing escapes a run: a failure of the program itself is an ending like any other.
TEST_F(FlashRunTest, FailureOfTheProgramEndsWithInternalError) {
    WritePackage(kThreeFrames);
    makeLine = []() -> std::unique_ptr<SerialLine> { throw std::bad_alloc(); };
    EXPECT_EQ(Run(Device{}), std::vector<Report>{End(Outcome::InternalError)});
    makeLine = nullptr;
    onReport = [](char kind) {
        if (kind == 'P') {
            throw std::runtime_error("the receiver failed");
        }
    };
    EXPECT_EQ(Run(Device{{0x11, 0x11, 0x11}}).back(), End(Outcome::InternalError));
    EXPECT_EQ(log_.writes.size(), 1u);
}

// The amounts sent, of those given in order, that the filter lets through to the window.
std::vector<std::uint32_t> Passed(ProgressFilter& filter, const std::vector<std::uint32_t>& sent) {
    std::vector<std::uint32_t> passed;
    std::ranges::copy_if(sent, std::back_inserter(passed),
                         [&](std::uint32_t amount) { return filter.Passes(amount); });
    return passed;
}

// Only progress that moves the bar's drawn edge or its percentage (both rounded down, as the
// bar draws them) reaches the window; the first and the whole package sent always do.
TEST(ProgressFilter, PassesWhatChangesTheBarAndEveryMilestone) {
    using Sent = std::vector<std::uint32_t>;
    // 10 pixels for 1000 bytes: the percentage moves before the edge; a resent frame repeats
    // its total; a resent last frame is the whole package again; a new run starts afresh.
    ProgressFilter narrow(10);
    narrow.Start(1000);
    EXPECT_EQ(Passed(narrow, {3, 9, 10, 19, 100, 100, 1000, 1000}), (Sent{3, 10, 100, 1000, 1000}));
    narrow.Start(1000);
    EXPECT_EQ(Passed(narrow, {3}), Sent{3});
    // 400 pixels: nothing sent yet is shown once; the edge moves before the percentage.
    ProgressFilter wide(400);
    wide.Start(1000);
    EXPECT_EQ(Passed(wide, {0, 0, 2, 3, 4}), (Sent{0, 3}));
}

} // namespace
} // namespace tamsivo
