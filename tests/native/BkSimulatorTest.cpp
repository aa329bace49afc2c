#include "BkSimulator.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace tamsivo::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Generous: the suite also runs under the sanitizers on a loaded machine.
constexpr milliseconds kDeadline{10000};
// How long a test listens to be sure that nothing more arrives.
constexpr milliseconds kSilence{300};

Bytes Frame(const Bytes& payload) {
    Bytes frame{static_cast<std::uint8_t>(payload.size() >> 8),
                static_cast<std::uint8_t>(payload.size() & 0xFF)};
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

std::string UniquePath(const std::string& stem) {
    static int counter = 0;
    return ::testing::TempDir() + "bksim-" + std::to_string(::getpid()) + "-" +
           std::to_string(++counter) + "-" + stem;
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int MsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}

// The host side: the slave opened with plain POSIX calls, as a serial line would.
class Host {
public:
    explicit Host(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        termios raw{};
        if (fd_ >= 0 && ::tcgetattr(fd_, &raw) == 0) {
            ::cfmakeraw(&raw);
            ::tcsetattr(fd_, TCSANOW, &raw);
        }
    }
    ~Host() { Close(); }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    void Purge() { ::tcflush(fd_, TCIOFLUSH); }

    // Writes everything before returning, as a serial line's write does; reads nothing.
    bool Write(const Bytes& bytes) {
        const Clock::time_point deadline = Clock::now() + kDeadline;
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) {
                return false;
            }
            pollfd p{fd_, POLLOUT, 0};
            if (::poll(&p, 1, MsLeft(deadline)) == 0 || (p.revents & (POLLHUP | POLLERR))) {
                return false;
            }
        }
        return true;
    }

    // Up to `count` bytes: fewer when the wait passes or the line fails first.
    Bytes Read(std::size_t count, milliseconds wait = kDeadline) {
        const Clock::time_point deadline = Clock::now() + wait;
        Bytes got;
        std::uint8_t buffer[4096];
        while (got.size() < count) {
            const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - got.size()));
            if (n > 0) {
                got.insert(got.end(), buffer, buffer + n);
                continue;
            }
            if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                break;
            }
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, MsLeft(deadline)) == 0) {
                break;
            }
        }
        return got;
    }

    // True when the adapter side hangs up before the deadline.
    bool WaitHangUp() {
        const Clock::time_point deadline = Clock::now() + kDeadline;
        std::uint8_t buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            if (n == 0 || (n < 0 && errno == EIO)) {
                return true;
            }
            if (n > 0 || errno == EINTR) {
                continue;
            }
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, MsLeft(deadline)) == 0) {
                return false;
            }
        }
    }

    // One exchange: the frame out, its echo and `answers` answer bytes back.
    Bytes Send(const Bytes& frame, std::size_t answers = 1) {
        Purge();
        if (!Write(frame)) {
            return {};
        }
        return Read(frame.size() + answers);
    }

private:
    int fd_ = -1;
};

std::unique_ptr<BkSimulator> Started(BkSimConfig config) {
    auto simulator = std::make_unique<BkSimulator>(std::move(config));
    std::string error;
    EXPECT_TRUE(simulator->Start(&error)) << error;
    return simulator;
}

TEST(BkSimulatorScript, AcceptsItemsAnswersAndRepetition) {
    Bytes answers{0x99};
    bool repeat = true;
    ASSERT_TRUE(BkSimulator::ParseAnswers("", &answers, &repeat));
    EXPECT_TRUE(answers.empty());
    EXPECT_FALSE(repeat);

    ASSERT_TRUE(BkSimulator::ParseAnswers("ok", &answers, &repeat));
    EXPECT_EQ(answers, Bytes{0x11});
    ASSERT_TRUE(BkSimulator::ParseAnswers("11", &answers, &repeat));
    EXPECT_EQ(answers, Bytes{0x11});
    EXPECT_FALSE(repeat);

    ASSERT_TRUE(BkSimulator::ParseAnswers("22,22,11,ok*", &answers, &repeat));
    EXPECT_EQ(answers, (Bytes{0x22, 0x22, 0x11, 0x11}));
    EXPECT_TRUE(repeat);

    ASSERT_TRUE(BkSimulator::ParseAnswers(" 88 , Ff,OK,aB , 0 * ", &answers, &repeat));
    EXPECT_EQ(answers, (Bytes{0x88, 0xFF, 0x11, 0xAB, 0x00}));
    EXPECT_TRUE(repeat);
}

TEST(BkSimulatorScript, RejectsMalformedScriptsWithoutTouchingTheResult) {
    for (const char* bad : {"ok*,22", "22*,11", "zz", "123", "11,", ",11", "11,,22", "*", "0x11",
                            "o k", "1 1", "11**", "okay", "11;22", "-1"}) {
        Bytes answers{0x42};
        bool repeat = true;
        EXPECT_FALSE(BkSimulator::ParseAnswers(bad, &answers, &repeat)) << bad;
        EXPECT_EQ(answers, Bytes{0x42}) << bad;
        EXPECT_TRUE(repeat) << bad;
    }

    BkSimConfig config;
    config.answers = "11,zz";
    BkSimulator simulator(config);
    std::string error;
    EXPECT_FALSE(simulator.Start(&error));
    EXPECT_NE(error.find("11,zz"), std::string::npos) << error;
}

TEST(BkSimulatorExchange, EchoesAFrameAndAnswersOk) {
    auto simulator = Started({});
    Host host(simulator->SlavePath());
    ASSERT_TRUE(host.IsOpen());

    const Bytes frame = Frame({0x01, 0x02, 0x03});
    EXPECT_EQ(host.Send(frame), Concat({frame, {0x11}}));
    EXPECT_EQ(simulator->FramesReceived(), 1u);
    EXPECT_EQ(simulator->FramesAccepted(), 1u);
    EXPECT_EQ(simulator->Accepted(), frame);

    // A frame without payload is two length bytes on the line.
    EXPECT_EQ(host.Send(Frame({})), (Bytes{0x00, 0x00, 0x11}));
    EXPECT_EQ(simulator->Accepted(), Concat({frame, Frame({})}));
}

TEST(BkSimulatorExchange, AnswersFollowTheScriptAcrossResends) {
    BkSimConfig config;
    config.answers = "22,22,11";
    auto simulator = Started(config);
    Host host(simulator->SlavePath());

    const Bytes frame = Frame({0xA0, 0xA1});
    EXPECT_EQ(host.Send(frame), Concat({frame, {0x22}}));
    EXPECT_EQ(host.Send(frame), Concat({frame, {0x22}}));
    EXPECT_TRUE(simulator->Accepted().empty());
    EXPECT_EQ(host.Send(frame), Concat({frame, {0x11}}));
    // After the script every frame is accepted.
    const Bytes next = Frame({0xB0});
    EXPECT_EQ(host.Send(next), Concat({next, {0x11}}));

    EXPECT_EQ(simulator->FramesReceived(), 4u);
    EXPECT_EQ(simulator->Accepted(), Concat({frame, next}));
}

TEST(BkSimulatorExchange, WaitIsFollowedByTheNextAnswerForTheSameFrame) {
    BkSimConfig config;
    config.answers = "88,88,22,88,11";
    auto simulator = Started(config);
    Host host(simulator->SlavePath());

    const Bytes frame = Frame({0x10, 0x20, 0x30});
    EXPECT_EQ(host.Send(frame, 3), Concat({frame, {0x88, 0x88, 0x22}}));
    EXPECT_EQ(host.Send(frame, 2), Concat({frame, {0x88, 0x11}}));
    EXPECT_TRUE(host.Read(1, kSilence).empty());
    EXPECT_EQ(simulator->FramesReceived(), 2u);
    EXPECT_EQ(simulator->Accepted(), frame);
}

TEST(BkSimulatorExchange, ARepeatedLastItemAnswersEveryLaterFrame) {
    BkSimConfig config;
    config.answers = "11,33*";
    auto simulator = Started(config);
    Host host(simulator->SlavePath());

    const Bytes frame = Frame({0x55});
    EXPECT_EQ(host.Send(frame), Concat({frame, {0x11}}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(host.Send(frame), Concat({frame, {0x33}}));
    }
    EXPECT_EQ(simulator->Accepted(), frame);
}

TEST(BkSimulatorExchange, AFrameSplitAcrossWritesIsAnsweredOnceComplete) {
    auto simulator = Started({});
    Host host(simulator->SlavePath());

    const Bytes frame = Frame({0x01, 0x02, 0x03, 0x04, 0x05, 0x06});
    // Each piece's echo comes back before the next piece leaves, so the simulator really
    // receives the frame in pieces; an early answer would shift every later byte.
    const std::vector<Bytes> pieces{
        {frame[0]}, {frame[1], frame[2]}, {frame[3], frame[4]}, {frame[5], frame[6], frame[7]}};
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
        ASSERT_TRUE(host.Write(pieces[i]));
        EXPECT_EQ(host.Read(pieces[i].size()), pieces[i]);
    }
    ASSERT_TRUE(host.Write(pieces.back()));
    EXPECT_EQ(host.Read(pieces.back().size() + 1), Concat({pieces.back(), {0x11}}));
    EXPECT_EQ(simulator->FramesReceived(), 1u);
    EXPECT_EQ(simulator->Accepted(), frame);
}

TEST(BkSimulatorExchange, BinaryPayloadIsEchoedByteExact) {
    auto simulator = Started({});
    Host host(simulator->SlavePath());

    // Line ends, flow-control characters and the answer codes themselves.
    Bytes payload{0x00, 0x0A, 0x0D, 0x11, 0x13, 0xFF, 0x0D, 0x0A, 0x03,
                  0x04, 0x1A, 0x7F, 0x88, 0x22, 0x0A, 0x0A, 0x00};
    for (int value = 0; value < 256; ++value) {
        payload.push_back(static_cast<std::uint8_t>(value));
    }
    const Bytes frame = Frame(payload);
    EXPECT_EQ(host.Send(frame), Concat({frame, {0x11}}));
    EXPECT_EQ(simulator->Accepted(), frame);
}

TEST(BkSimulatorExchange, ALargeFrameWrittenWholeBeforeAnyEchoIsRead) {
    auto simulator = Started({});
    Host host(simulator->SlavePath());

    Bytes payload(65535);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
    }
    const Bytes frame = Frame(payload);
    ASSERT_EQ(frame.size(), 65537u);
    // Far more than the pseudo-terminal buffers: the simulator must keep reading while its
    // echo waits for the host.
    ASSERT_TRUE(host.Write(frame));
    EXPECT_EQ(host.Read(frame.size() + 1), Concat({frame, {0x11}}));
    EXPECT_EQ(simulator->Accepted(), frame);
}

TEST(BkSimulatorExchange, RecordHoldsExactlyTheAcceptedFramesBeforeTheirOk) {
    BkSimConfig config;
    config.answers = "22,11,44,11";
    config.recordPath = UniquePath("record.bin");
    {
        std::ofstream earlier(config.recordPath, std::ios::binary);
        earlier << "old";
    }
    auto simulator = Started(config);
    Host host(simulator->SlavePath());

    const Bytes first = Frame({0x01, 0x11, 0x02});
    const Bytes second = Frame({0x03, 0x00, 0x04, 0x05});
    const Bytes old{'o', 'l', 'd'};
    EXPECT_EQ(host.Send(first), Concat({first, {0x22}}));
    EXPECT_EQ(ReadFile(config.recordPath), old);
    // The record is read as soon as the OK is seen: it must already be there.
    EXPECT_EQ(host.Send(first), Concat({first, {0x11}}));
    EXPECT_EQ(ReadFile(config.recordPath), Concat({old, first}));
    EXPECT_EQ(host.Send(second), Concat({second, {0x44}}));
    EXPECT_EQ(host.Send(second), Concat({second, {0x11}}));
    EXPECT_EQ(ReadFile(config.recordPath), Concat({old, first, second}));

    EXPECT_EQ(simulator->Accepted(), Concat({first, second}));
    EXPECT_EQ(simulator->FramesAccepted(), 2u);
    EXPECT_EQ(simulator->FramesReceived(), 4u);
    simulator->Stop();
    EXPECT_EQ(simulator->ServeError(), "");
    ::unlink(config.recordPath.c_str());
}

TEST(BkSimulatorSessions, ANewHostStartsCleanAfterOneThatLeftMidFrame) {
    BkSimConfig config;
    config.answers = "11,22";
    auto simulator = Started(config);
    const Bytes frame = Frame({0x61, 0x62, 0x63, 0x64});
    // Half a frame: its length promises more than ever comes. Its echo is awaited so that
    // the simulator surely holds the half frame when the host leaves.
    const Bytes longer = Frame({0x71, 0x72, 0x73, 0x74, 0x75, 0x76});
    const Bytes half(longer.begin(), longer.begin() + 4);
    {
        Host first(simulator->SlavePath());
        ASSERT_TRUE(first.IsOpen());
        EXPECT_EQ(first.Send(frame), Concat({frame, {0x11}}));
        ASSERT_TRUE(first.Write(half));
        EXPECT_EQ(first.Read(half.size()), half);
    }
    {
        // Reopened at once and without a purge: only the close itself tells the sessions
        // apart.
        Host second(simulator->SlavePath());
        ASSERT_TRUE(second.IsOpen());
        ASSERT_TRUE(second.Write(frame));
        EXPECT_EQ(second.Read(frame.size() + 1), Concat({frame, {0x22}}));
        // Within a session, a purge abandons the frame in progress.
        ASSERT_TRUE(second.Write(half));
        EXPECT_EQ(second.Read(half.size()), half);
        EXPECT_EQ(second.Send(frame), Concat({frame, {0x11}}));
    }
    for (int run = 0; run < 3; ++run) {
        Host next(simulator->SlavePath());
        ASSERT_TRUE(next.IsOpen());
        EXPECT_EQ(next.Send(frame), Concat({frame, {0x11}})) << "run " << run;
    }
    EXPECT_EQ(simulator->FramesReceived(), 6u);
    EXPECT_EQ(simulator->Accepted(), Concat({frame, frame, frame, frame, frame}));
}

TEST(BkSimulatorSessions, AnswersOwedToAHostThatLeftNeverReachTheNext) {
    BkSimConfig config;
    config.processingDelayMs = 200;
    config.answers = "22";
    auto simulator = Started(config);
    const Bytes first = Frame({0x01, 0x02});
    const Bytes second = Frame({0x03, 0x04});
    {
        Host leaving(simulator->SlavePath());
        ASSERT_TRUE(leaving.Write(first));
        EXPECT_EQ(leaving.Read(first.size()), first);
    }
    Host next(simulator->SlavePath());
    ASSERT_TRUE(next.Write(second));
    // The 22 meant for the host that left would arrive in the middle of this.
    EXPECT_EQ(next.Read(second.size() + 1), Concat({second, {0x11}}));
    EXPECT_TRUE(next.Read(1, kSilence).empty());
    EXPECT_EQ(simulator->FramesReceived(), 2u);
    EXPECT_EQ(simulator->Accepted(), second);
}

TEST(BkSimulatorSessions, LinkPointsAtTheSlaveAndGoesAwayOnStop) {
    BkSimConfig config;
    config.linkPath = UniquePath("com5");
    // A link left behind by an earlier run is replaced.
    ASSERT_EQ(::symlink("/nonexistent/device", config.linkPath.c_str()), 0);
    auto simulator = Started(config);

    char target[PATH_MAX];
    const ssize_t length = ::readlink(config.linkPath.c_str(), target, sizeof target);
    ASSERT_GT(length, 0);
    EXPECT_EQ(std::string(target, static_cast<std::size_t>(length)), simulator->SlavePath());
    {
        Host host(config.linkPath);
        ASSERT_TRUE(host.IsOpen());
        const Bytes frame = Frame({0x0D, 0x0A});
        EXPECT_EQ(host.Send(frame), Concat({frame, {0x11}}));
    }
    simulator->Stop();
    struct stat st {};
    EXPECT_NE(::lstat(config.linkPath.c_str(), &st), 0);

    // Anything but a link is left alone, and the simulator refuses to start.
    {
        std::ofstream file(config.linkPath);
        file << "keep";
    }
    BkSimulator blocked(config);
    std::string error;
    EXPECT_FALSE(blocked.Start(&error));
    EXPECT_NE(error.find(config.linkPath), std::string::npos) << error;
    EXPECT_EQ(ReadFile(config.linkPath), (Bytes{'k', 'e', 'e', 'p'}));
    ::unlink(config.linkPath.c_str());
}

TEST(BkSimulatorFaults, NoEchoSwallowsTheFrame) {
    BkSimConfig config;
    config.fault = Fault::NoEcho;
    config.faultFrame = 2;
    config.answers = "11,22";
    auto simulator = Started(config);
    const Bytes first = Frame({0x01});
    const Bytes second = Frame({0x02, 0x03});
    {
        Host host(simulator->SlavePath());
        EXPECT_EQ(host.Send(first), Concat({first, {0x11}}));
        ASSERT_TRUE(host.Write(second));
        EXPECT_TRUE(host.Read(1, kSilence).empty());
    }
    // The swallowed frame counts but takes no answer from the script.
    Host again(simulator->SlavePath());
    EXPECT_EQ(again.Send(second), Concat({second, {0x22}}));
    EXPECT_EQ(simulator->FramesReceived(), 3u);
    EXPECT_EQ(simulator->Accepted(), first);
}

TEST(BkSimulatorFaults, ShortEchoLacksTheLastByteAndTheAnswer) {
    BkSimConfig config;
    config.fault = Fault::ShortEcho;
    config.faultFrame = 1;
    auto simulator = Started(config);
    const Bytes frame = Frame({0x0A, 0x0B, 0x0C});
    {
        Host host(simulator->SlavePath());
        ASSERT_TRUE(host.Write(frame));
        EXPECT_EQ(host.Read(frame.size() + 1, kSilence), Bytes(frame.begin(), frame.end() - 1));
    }
    Host again(simulator->SlavePath());
    EXPECT_EQ(again.Send(frame), Concat({frame, {0x11}}));
    EXPECT_EQ(simulator->FramesReceived(), 2u);
    EXPECT_EQ(simulator->Accepted(), frame);
}

TEST(BkSimulatorFaults, NoAnswerEchoesThenStaysSilent) {
    BkSimConfig config;
    config.fault = Fault::NoAnswer;
    config.faultFrame = 2;
    auto simulator = Started(config);
    const Bytes frame = Frame({0x21, 0x22});
    Host host(simulator->SlavePath());
    EXPECT_EQ(host.Send(frame), Concat({frame, {0x11}}));
    ASSERT_TRUE(host.Write(frame));
    EXPECT_EQ(host.Read(frame.size() + 1, kSilence), frame);
    EXPECT_EQ(simulator->FramesReceived(), 2u);
    EXPECT_EQ(simulator->Accepted(), frame);
}

TEST(BkSimulatorFaults, AnswerFaultReplacesTheScriptWithoutConsumingIt) {
    BkSimConfig config;
    config.fault = Fault::Answer;
    config.faultFrame = 1;
    config.faultAnswer = 0x44;
    config.answers = "22";
    auto simulator = Started(config);
    const Bytes frame = Frame({0x31, 0x32, 0x33});
    Host host(simulator->SlavePath());
    EXPECT_EQ(host.Send(frame), Concat({frame, {0x44}}));
    EXPECT_EQ(host.Send(frame), Concat({frame, {0x22}}));
    EXPECT_EQ(host.Send(frame), Concat({frame, {0x11}}));
    EXPECT_EQ(simulator->Accepted(), frame);
}

TEST(BkSimulatorFaults, DropLineHangsUpMidFrameAndRemovesTheLink) {
    BkSimConfig config;
    config.fault = Fault::DropLine;
    config.faultFrame = 2;
    config.linkPath = UniquePath("com7");
    auto simulator = Started(config);
    const Bytes first = Frame({0x41, 0x42});
    Host host(config.linkPath);
    ASSERT_TRUE(host.IsOpen());
    EXPECT_EQ(host.Send(first), Concat({first, {0x11}}));

    // The write itself may already fail on the hang-up; the host must see it either way.
    const Bytes second = Frame(Bytes(20000, 0x5A));
    host.Write(second);
    EXPECT_TRUE(host.WaitHangUp());
    struct stat st {};
    EXPECT_NE(::lstat(config.linkPath.c_str(), &st), 0);
    EXPECT_EQ(simulator->FramesReceived(), 1u);
    EXPECT_EQ(simulator->Accepted(), first);
    simulator->Stop();
    EXPECT_EQ(simulator->ServeError(), "");
}

TEST(BkSimulatorPacing, EchoAndAnswerTakeAtLeastTheLineTime) {
    BkSimConfig config;
    config.baud = 9600;
    config.processingDelayMs = 100;
    auto simulator = Started(config);
    Host host(simulator->SlavePath());

    const Bytes frame = Frame(Bytes(190, 0x3C));
    const auto lineTime = std::chrono::microseconds(frame.size() * 10 * 1000000 / config.baud);
    const Clock::time_point sent = Clock::now();
    ASSERT_TRUE(host.Write(frame));
    EXPECT_EQ(host.Read(frame.size()), frame);
    const Clock::time_point echoed = Clock::now();
    EXPECT_EQ(host.Read(1), Bytes{0x11});
    const Clock::time_point answered = Clock::now();

    // Bounds from the moment of writing, which precedes every arrival: the whole echo, the
    // processing, then the answer byte's own ten bit times.
    EXPECT_GE(echoed - sent, lineTime);
    const auto answerTime = std::chrono::microseconds(10 * 1000000 / config.baud);
    EXPECT_GE(answered - sent, lineTime + milliseconds(config.processingDelayMs) + answerTime);
}

} // namespace
} // namespace tamsivo::sim
