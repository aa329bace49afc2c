// The whole run through the real POSIX serial line into the simulated adapter and on-board
// computer on a pseudo-terminal: what arrives, each device fault, and the simulator's own
// answer scripts.
#include "BkSimulator.h"
#include "PosixHelpers.h"
#include "ScratchDir.h"
#include "TestPackage.h"
#include "flash/FlashRun.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace tamsivo {
namespace {

using ::testing::HasSubstr;

using sim::BkSimConfig;
using sim::BkSimulator;
using sim::Fault;
using sim::kDefaultEchoBuffer;
using sim::kUsbPacketData;
using Bytes = std::vector<std::uint8_t>;

class Unheard : public FlashObserver {
public:
    void Sized(std::uint32_t) override {}
    void Progressed(std::uint32_t) override {}
    void Ended(const RunEnd&) override {}
};

class DeviceRun : public ::testing::Test {
protected:
    Bytes WritePackage(const std::vector<std::uint32_t>& payloads, const Bytes& pattern) {
        return test::WritePackage(dir_ / "updates" / "bk.enc", payloads, pattern);
    }

    // How a run of the package through the simulator's port ended.
    Outcome RunAgainst(const BkSimulator& simulator, std::uint32_t timeoutMs = 300) {
        control_.runAllowed = 1;
        FlashRun::Options options;
        options.timeoutMs = timeoutMs;
        FlashRun run(control_, observer_, options);
        run.Run(FlashInputs{dir_ / "updates" / "bk.enc", "bk.enc", simulator.SlavePath(), nullptr});
        stats_ = run.Stats();
        return stats_.end.outcome;
    }

    const test::ScratchDir dir_{"device"};
    RunControl control_;
    Unheard observer_;
    FlashRun::Statistics stats_;
};

// The simulator's fixed name for its port (a Wine prefix's COM port): made at the start in
// place of a stale link but of nothing else, and gone at the end unless taken over meanwhile.
// A process that starts simulators one after another (the Wine harness) keeps no descriptor of
// one that stopped.
TEST_F(DeviceRun, TheSimulatorsLinkNamesItsPortWhileItRuns) {
    namespace fs = std::filesystem;
    const auto descriptors = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    const auto before = descriptors();
    BkSimConfig config;
    config.linkPath = (dir_ / "com5").string();
    fs::create_symlink("/dev/null", config.linkPath); // left by a simulator that was killed
    {
        auto simulator = test::StartSimulator(config);
        EXPECT_EQ(fs::read_symlink(config.linkPath), simulator->SlavePath());
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(config.linkPath)));
    EXPECT_EQ(descriptors(), before);
    {
        auto simulator = test::StartSimulator(config);
        fs::remove(config.linkPath);
        fs::create_symlink("/dev/zero", config.linkPath);
    }
    EXPECT_EQ(fs::read_symlink(config.linkPath), "/dev/zero");
    fs::remove(config.linkPath);
    test::WriteWhole(config.linkPath, "mine");
    BkSimulator refused(config);
    std::string error;
    EXPECT_FALSE(refused.Start(&error));
    EXPECT_THAT(error, HasSubstr("exists and is not a symbolic link"));
    EXPECT_EQ(test::ReadWhole(config.linkPath), "mine");
}

// Each fault on the second frame, or none; the out-of-step ones at the real line's speed, where
// a byte too early, too many or out of nowhere would otherwise be read as the verdict, also
// through an adapter that holds the echo's tail and the answer for its latency timer. The
// simulator cannot keep its record of the first frame: it says why, and the computer takes
// what it was sent all the same.
TEST_F(DeviceRun, EachDeviceFaultEndsWithItsOwnNotificationAndEachScriptAsAnswered) {
    struct Case {
        Fault fault;
        std::uint8_t byte;
        const char* answers;
        std::uint32_t baud;
        Outcome expected;
        // The first frame only; for a stream out of step, the third may go out before the
        // byte that shows it arrives (0: not checked).
        std::size_t accepted = 402;
        std::uint32_t latencyMs = 0;
    };
    const std::vector<Case> cases = {
        // No fault: resends and waits as scripted, each frame accepted once, also through a
        // latency timer, where a wait and the answer after it reach the host together.
        {Fault::None, 0, "22,33,11,88,11,88,88,22,11", 0, Outcome::Done, 1206, 16},
        {Fault::NoEcho, 0, "", 0, Outcome::NoEcho},
        {Fault::NoAnswer, 0, "", 0, Outcome::NoAnswer},
        {Fault::Answer, 0x44, "", 0, Outcome::SignatureError},
        {Fault::Answer, ANSWER_WAIT, "", 0, Outcome::NoAnswer}, // a wait, and nothing after it
        {Fault::EarlyAnswer, 0, "ok,44", kFlashBaudRate, Outcome::LineError, 0},
        {Fault::ExtraEcho, 0x11, "ok,44", kFlashBaudRate, Outcome::LineError, 0},
        // The noise after the second frame's answer lands in the third frame's echo.
        {Fault::Noise, 0x11, "ok,ok,44", kFlashBaudRate, Outcome::LineError, 0},
        {Fault::EarlyAnswer, 0, "ok,44", kFlashBaudRate, Outcome::LineError, 0, 16},
        {Fault::ExtraEcho, 0x11, "ok,44", kFlashBaudRate, Outcome::LineError, 0, 16},
        {Fault::Noise, 0x11, "ok,ok,44", kFlashBaudRate, Outcome::LineError, 0, 16},
        // A stray wait, before or after a scripted one, is no fault but one wait more, which no
        // host can tell from the computer's own; the scripted wait is still followed by an answer.
        {Fault::ExtraEcho, ANSWER_WAIT, "ok,88", 0, Outcome::Done, 1206},
        {Fault::Noise, ANSWER_WAIT, "ok,88", kFlashBaudRate, Outcome::Done, 1206},
    };
    WritePackage({400, 400, 400}, {0x11, 0x13, 0x44});
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.fault)) + " " + c.answers + " " +
                     std::to_string(c.latencyMs) + " ms");
        BkSimConfig config;
        config.fault = c.fault;
        config.faultFrame = 2;
        config.faultAnswer = c.byte;
        config.answers = c.answers;
        config.baud = c.baud;
        config.latencyMs = c.latencyMs;
        config.recordPath = "/dev/full";
        auto simulator = test::StartSimulator(config);
        EXPECT_EQ(RunAgainst(*simulator), c.expected);
        EXPECT_THAT(simulator->ServeError(), HasSubstr("cannot write the record file /dev/full"));
        if (c.accepted != 0) {
            EXPECT_EQ(simulator->Accepted().size(), c.accepted);
        }
    }
}

// A byte after the last frame's echo was taken for its verdict, and then the adapter vanishes,
// also when it holds the stray byte for a latency timer longer than it takes to vanish: the
// update is not reported done, and the reason is the vanished adapter's.
TEST_F(DeviceRun, TheLastVerdictIsNotBelievedFromAnAdapterThatVanishesMeanwhile) {
    WritePackage({400, 400}, {0x5A});
    BkSimConfig vanishing;
    vanishing.fault = Fault::HangUp;
    vanishing.faultFrame = 2;
    vanishing.faultAnswer = ANSWER_OK;
    vanishing.faultDelayMs = 100;
    for (const std::uint32_t latencyMs : {0u, 150u}) {
        SCOPED_TRACE(std::to_string(latencyMs) + " ms");
        vanishing.latencyMs = latencyMs;
        EXPECT_EQ(RunAgainst(*test::StartSimulator(vanishing)), Outcome::LineError);
        EXPECT_TRUE(IsVanishedDeviceError(stats_.end.lineError)) << stats_.end.lineError;
    }
}

// An adapter echoes every byte as it passes and holds only so much of its echo while the host
// does not read: the largest frame goes through all the same after others, at once or paced,
// bytes a terminal would interpret and an empty frame among them, and the simulator records them.
TEST_F(DeviceRun, TheLargestFramesGoThroughAnAdapterThatEchoesAsItReceives) {
    const Bytes package = WritePackage({3, 0, 0xFFFF}, test::AwkwardBytes());
    for (const std::uint32_t baud : {0u, 921600u}) {
        for (const std::uint32_t buffer : {256u, kDefaultEchoBuffer}) {
            SCOPED_TRACE(std::to_string(baud) + " baud, " + std::to_string(buffer) + " bytes");
            BkSimConfig config;
            config.baud = baud;
            config.echoBuffer = buffer;
            config.recordPath = (dir_ / ("record-" + std::to_string(baud + buffer))).string();
            auto simulator = test::StartSimulator(config);
            EXPECT_EQ(RunAgainst(*simulator), Outcome::Done);
            EXPECT_EQ(simulator->Accepted(), package);
            EXPECT_EQ(test::ReadWhole(config.recordPath),
                      std::string(package.begin(), package.end()));
            EXPECT_EQ(simulator->ServeError(), "");
        }
    }
}

TEST_F(DeviceRun, ADroppedAdapterFailsTheRunAtOnceNotAfterTheTimeout) {
    WritePackage({8, 8, 8}, {0x42});
    BkSimConfig config;
    config.fault = Fault::DropLine;
    config.faultFrame = 2;
    config.linkPath = (dir_ / "com5").string();
    auto simulator = test::StartSimulator(config);
    const auto start = std::chrono::steady_clock::now();
    const Outcome end = RunAgainst(*simulator, 5000);
    EXPECT_TRUE(end == Outcome::NoEcho || end == Outcome::NoAnswer) << RowOf(end).key;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    // The port's name went with the adapter, before the host saw it go.
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(config.linkPath)));
}

// At the line's pace an echo comes a byte or two at a time: the line sleeps through what is
// still on its way and takes it in a few reads, not with a wake-up per byte.
TEST(SerialLineAtPace, AnEchoIsTakenInAFewReadsNotAWakeUpPerByte) {
    BkSimConfig config;
    config.baud = kFlashBaudRate;
    const auto simulator = test::StartSimulator(config);
    SerialLine line;
    int reads = 0;
    line.SetTap([&](LineDirection way, const std::uint8_t*, std::uint32_t) {
        reads += way == LineDirection::Received;
    });
    ASSERT_TRUE(line.Open(simulator->SlavePath().c_str(), kFlashBaudRate, 1000));
    const Bytes frame = test::MakePackage({1998}, {0x5A}).bytes;
    Bytes echo(frame.size());
    EXPECT_EQ(line.WriteEchoed(frame.data(), 2000, echo.data()), EchoCheck::Same);
    EXPECT_LT(reads, 50);
}

// A USB adapter's chip passes what the line brings on in packets: a full one at once, a partial
// one when the latency timer has run since its first byte came in. At 9600 baud a byte takes
// 1.04 ms, so a 20 ms timer cuts a frame's echo, and 62 bytes fill a packet before 80 ms pass.
TEST(BkSimulatorLatency, EchoAndAnswerReachTheHostInPacketsNoSoonerThanTheChipLetsThemGo) {
    struct Packet {
        std::size_t bytes;
        int notBeforeMs; // since the host wrote the frame
    };
    struct Case {
        std::uint32_t latencyMs;
        std::uint32_t frameBytes;
        std::vector<Packet> packets; // the answer ends the last
    };
    const std::vector<Case> cases = {
        {20, 30, {{20, 21}, {11, 41}}},
        {80, 70, {{kUsbPacketData, 64}, {9, 145}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.latencyMs) + " ms");
        // A reader the scheduler kept away may find several packets waiting, never part of one;
        // a chip that held them together would do so every time, so a merge is tried again.
        bool apart = false;
        for (int attempt = 0; attempt < 3 && !apart; ++attempt) {
            BkSimConfig config;
            config.baud = 9600;
            config.latencyMs = c.latencyMs;
            const auto simulator = test::StartSimulator(config);
            const int host = ::open(simulator->SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
            ASSERT_GE(host, 0);
            Bytes frame = test::MakePackage({c.frameBytes - 2}, {0x5A}).bytes;
            const auto start = std::chrono::steady_clock::now();
            ASSERT_EQ(::write(host, frame.data(), frame.size()), std::ssize(frame));
            Bytes received;
            apart = true;
            for (std::size_t whole = 0; whole < c.packets.size();) {
                pollfd readable{host, POLLIN, 0};
                ASSERT_EQ(::poll(&readable, 1, 2000), 1) << "after " << received.size() << " bytes";
                std::uint8_t buffer[256];
                const ssize_t got = ::read(host, buffer, sizeof buffer);
                ASSERT_GT(got, 0);
                received.insert(received.end(), buffer, buffer + got);
                const std::size_t before = whole;
                std::size_t end = 0;
                for (whole = 0; end < received.size() && whole < c.packets.size(); ++whole) {
                    end += c.packets[whole].bytes;
                }
                ASSERT_EQ(received.size(), end) << "a packet cut short";
                EXPECT_GE(std::chrono::steady_clock::now() - start,
                          std::chrono::milliseconds(c.packets[whole - 1].notBeforeMs));
                apart = apart && whole == before + 1;
            }
            frame.push_back(ANSWER_OK);
            EXPECT_EQ(received, frame);
            ::close(host);
        }
        EXPECT_TRUE(apart) << "the packets came together at every try";
    }
}

// A host that opened the port plainly, as a terminal program does: each frame's bytes back as
// the adapter passes them on, also from an adapter that holds a single byte; an answer that
// overtakes the echo's last byte comes before it, not in its place; a host that left before
// its frame's answer leaves nothing to the next host.
TEST(BkSimulatorHost, EachFrameComesBackAsTheAdapterPassesItOn) {
    const Bytes frame = test::MakePackage({28}, {0x5A, 0x13}).bytes;
    const auto exchange = [&](const BkSimulator& simulator, std::size_t count) {
        const int host = ::open(simulator.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        EXPECT_EQ(::write(host, frame.data(), frame.size()), std::ssize(frame));
        const Bytes back = test::ReadAll(host, count);
        ::close(host);
        return back;
    };
    Bytes whole = frame, early = frame;
    whole.push_back(ANSWER_OK);
    early.insert(early.end() - 1, ANSWER_OK);
    BkSimConfig tiny, overtaken, slow;
    tiny.echoBuffer = 1;
    overtaken.fault = Fault::EarlyAnswer;
    overtaken.faultFrame = 1;
    slow.processingDelayMs = 300;
    for (const auto& [name, config, gone, back] :
         {std::tuple("tiny", tiny, false, whole), std::tuple("overtaken", overtaken, false, early),
          std::tuple("after one", slow, true, whole)}) {
        SCOPED_TRACE(name);
        auto simulator = test::StartSimulator(config);
        if (gone) { // took its echo and left
            EXPECT_EQ(exchange(*simulator, frame.size()), frame);
        }
        EXPECT_EQ(exchange(*simulator, back.size()), back);
    }
}

TEST(BkSimulatorScript, ParsesAnswersAndRefusesMalformedScripts) {
    Bytes answers{0x99};
    bool repeat = true;
    ASSERT_TRUE(BkSimulator::ParseAnswers(" 22, ok ,88,5,A0,11*", &answers, &repeat));
    EXPECT_EQ(answers, (Bytes{0x22, 0x11, 0x88, 0x05, 0xA0, 0x11}));
    EXPECT_TRUE(repeat);
    ASSERT_TRUE(BkSimulator::ParseAnswers("", &answers, &repeat));
    EXPECT_TRUE(answers.empty());
    EXPECT_FALSE(repeat);
    for (const char* bad : {"zz", "123", "11*,22", ",", "ok,", "0x11"}) {
        answers = {0x99};
        EXPECT_FALSE(BkSimulator::ParseAnswers(bad, &answers, &repeat)) << bad;
        EXPECT_EQ(answers, Bytes{0x99}) << "a refused script leaves the result alone";
    }
}

} // namespace
} // namespace tamsivo
