#include "TestEnvironment.h"
#include "TestFrames.h"

#include "flash/FlashProtocol.h"
#include "flash/Platform.h"
#include "flash/SerialLine.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include <windows.h>

namespace {

using namespace tamsivo;
using namespace tamsivo::test;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr std::uint32_t kShortTimeoutMs = 300;

milliseconds Since(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

// Sends one frame and expects its full echo and the simulator's OK.
void ExchangeFrame(SerialLine& line, const std::vector<std::uint8_t>& frame) {
    const auto count = static_cast<std::uint32_t>(frame.size());
    ASSERT_TRUE(line.Purge());
    ASSERT_TRUE(line.Write(frame.data(), count));
    std::vector<std::uint8_t> echo(frame.size(), 0x5A);
    ASSERT_TRUE(line.Read(echo.data(), count));
    EXPECT_EQ(echo, frame);
    std::uint8_t answer = 0;
    ASSERT_TRUE(line.Read(&answer, 1));
    EXPECT_EQ(answer, ANSWER_OK);
}

TEST(SerialLineWin32Closed, RefusesTransfersAndClosesHarmlessly) {
    SerialLine line;
    std::uint8_t byte = 0x11;
    EXPECT_FALSE(line.IsOpen());
    EXPECT_FALSE(line.Write(&byte, 1));
    EXPECT_FALSE(line.Read(&byte, 1));
    EXPECT_FALSE(line.Purge());
    EXPECT_FALSE(line.SetTimeouts(kShortTimeoutMs));
    EXPECT_TRUE(line.Close());
    EXPECT_TRUE(line.Close());
    EXPECT_FALSE(line.IsOpen());
}

// The system's reason is kept, in the system's words.
TEST(SerialLineWin32Closed, AbsentPortDoesNotOpenAndSaysWhy) {
    SerialLine line;
    EXPECT_FALSE(line.Open("\\\\.\\COM200", kFlashBaudRate, kShortTimeoutMs));
    EXPECT_FALSE(line.IsOpen());
    EXPECT_EQ(line.LastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_NE(line.LastErrorMessage(), "");
    std::uint8_t byte = 0;
    EXPECT_FALSE(line.Read(&byte, 1));
    EXPECT_EQ(line.LastError(), ERROR_INVALID_HANDLE);
}

// The simulator on TAMSIVO_TEST_PORT echoes every byte and answers OK to every frame.
class SerialLineWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string port = TestPortName();
        if (port.empty()) {
            GTEST_SKIP() << "TAMSIVO_TEST_PORT is not set: these cases need a COM port served by "
                            "the device simulator (bksim)";
        }
        device_ = DevicePathForPort(port);
        ASSERT_FALSE(device_.empty()) << "port name " << port;
    }

    bool OpenLine(SerialLine& line) {
        return line.Open(device_.c_str(), kFlashBaudRate, kShortTimeoutMs);
    }

    std::string device_;
};

TEST_F(SerialLineWin32, OpenLineRefusesSecondOpenAndOpensAgainAfterClose) {
    SerialLine line;
    ASSERT_TRUE(OpenLine(line));
    EXPECT_TRUE(line.IsOpen());
    EXPECT_FALSE(OpenLine(line)) << "an open line must not be opened over";
    ASSERT_TRUE(line.IsOpen());
    ExchangeFrame(line, AwkwardFrame(5, 1)); // the refused open left the line as it was

    EXPECT_TRUE(line.Close());
    EXPECT_FALSE(line.IsOpen());
    EXPECT_TRUE(line.Close());
    std::uint8_t byte = 0;
    EXPECT_FALSE(line.Write(&byte, 1));

    ASSERT_TRUE(OpenLine(line));
    ExchangeFrame(line, AwkwardFrame(7, 2));
}

// Wine applies share modes to regular files only, so there it is the port's claim that keeps
// the second opener out.
TEST_F(SerialLineWin32, HeldPortRefusesSecondOpener) {
    SerialLine holder;
    SerialLine other;
    ASSERT_TRUE(OpenLine(holder));
    EXPECT_FALSE(OpenLine(other));
    EXPECT_EQ(other.LastError(), ERROR_BUSY);
    EXPECT_FALSE(other.IsOpen());
    holder.Close();
    EXPECT_TRUE(OpenLine(other));
}

TEST_F(SerialLineWin32, AwkwardBytesPassBothWaysInFull) {
    SerialLine line;
    ASSERT_TRUE(OpenLine(line));
    // XON/XOFF, CR/LF, NUL and 0xFF in the length bytes and the payloads: neither flow
    // control nor a text mode may stall, drop or change any of them.
    ExchangeFrame(line, AwkwardFrame(0x1311, 0));
    ExchangeFrame(line, AwkwardFrame(0x0A0D, 5));
    ExchangeFrame(line, AwkwardFrame(0x13, 9));
}

TEST_F(SerialLineWin32, FlowControlLeftByAnEarlierProgramIsSwitchedOff) {
    {
        // Another program's last settings stay with the port: XON/XOFF both ways, NUL
        // stripping, error replacement, abort on error.
        const std::wstring wide(device_.begin(), device_.end());
        const HANDLE earlier = ::CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                             OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(earlier, INVALID_HANDLE_VALUE) << "error " << ::GetLastError();
        DCB dcb{};
        dcb.DCBlength = sizeof(dcb);
        ASSERT_TRUE(::GetCommState(earlier, &dcb));
        dcb.fOutX = TRUE;
        dcb.fInX = TRUE;
        dcb.XonChar = 0x11;
        dcb.XoffChar = 0x13;
        dcb.fNull = TRUE;
        dcb.fErrorChar = TRUE;
        dcb.fAbortOnError = TRUE;
        EXPECT_TRUE(::SetCommState(earlier, &dcb)) << "error " << ::GetLastError();
        ::CloseHandle(earlier);
    }
    SerialLine line;
    ASSERT_TRUE(OpenLine(line));
    // Full of XOFF and NUL both in the frame and in its echo.
    ExchangeFrame(line, AwkwardFrame(0x1311, 3));
}

TEST_F(SerialLineWin32, ReadGivesUpAtItsTimeouts) {
    SerialLine line;
    ASSERT_TRUE(OpenLine(line));

    // Nothing arrives: the read waits for its total limit (10 ms + t), then fails.
    std::uint8_t byte = 0;
    auto start = Clock::now();
    EXPECT_FALSE(line.Read(&byte, 1));
    auto elapsed = Since(start);
    EXPECT_GE(elapsed, milliseconds(kShortTimeoutMs / 2)) << "the read did not wait";
    EXPECT_LT(elapsed, milliseconds(10000)) << "the read did not give up";

    // A frame's echo and answer arrive, one byte fewer than asked for: the pause after the
    // last byte ends the read long before its total limit of 10 ms per byte + t.
    const std::vector<std::uint8_t> frame = AwkwardFrame(1000, 4);
    const auto asked = static_cast<std::uint32_t>(frame.size() + 2);
    std::vector<std::uint8_t> buffer(asked);
    ASSERT_TRUE(line.Purge());
    ASSERT_TRUE(line.Write(frame.data(), static_cast<std::uint32_t>(frame.size())));
    start = Clock::now();
    EXPECT_FALSE(line.Read(buffer.data(), asked));
    elapsed = Since(start);
    EXPECT_LT(elapsed, milliseconds(10 * asked)) << "the pause between bytes was not honoured";

    // The line is still usable afterwards.
    ExchangeFrame(line, AwkwardFrame(3, 6));
}

} // namespace
