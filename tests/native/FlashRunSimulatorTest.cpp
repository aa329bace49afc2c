// The whole run through the real POSIX serial line into the simulated adapter and on-board
// computer on a pseudo-terminal.
#include "BkSimulator.h"
#include "app/AppState.h"
#include "flash/FlashRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tamsivo {
namespace {

using sim::BkSimConfig;
using sim::BkSimulator;
using sim::Fault;

constexpr std::uint32_t kTestTimeoutMs = 300;

class LastReport : public FlashReporter {
public:
    void Report(unsigned message, std::int64_t lParam) override {
        messages.push_back(message);
        last = lParam;
    }
    std::vector<unsigned> messages;
    std::int64_t last = 0;
};

class FlashRunSimulatorTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("tamsivo-sim-" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir_ / "updates");
        state_.exeDir = dir_.string() + "/";
        state_.firmwareName = "bk.enc";
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Frames of the given payload sizes; payload bytes cycle through `pattern`.
    std::vector<std::uint8_t> WritePackage(const std::vector<std::uint32_t>& payloads,
                                           const std::vector<std::uint8_t>& pattern) {
        std::vector<std::uint8_t> bytes;
        std::size_t k = 0;
        for (std::uint32_t length : payloads) {
            bytes.push_back(static_cast<std::uint8_t>(length >> 8));
            bytes.push_back(static_cast<std::uint8_t>(length));
            for (std::uint32_t i = 0; i < length; ++i) {
                bytes.push_back(pattern[k++ % pattern.size()]);
            }
        }
        std::ofstream out(dir_ / "updates" / "bk.enc", std::ios::binary);
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            char pair[4];
            std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
            out << pair << (i % 16 == 15 ? "\r\n" : " ");
        }
        return bytes;
    }

    unsigned RunAgainst(BkSimulator& simulator) {
        state_.portName = simulator.SlavePath();
        state_.runAllowed = 1;
        reporter_.messages.clear();
        FlashRun::Options options;
        options.timeoutMs = kTestTimeoutMs;
        FlashRun(state_, reporter_, options).Run(FlashInputsFrom(state_));
        return reporter_.messages.empty() ? 0 : reporter_.messages.back();
    }

    std::unique_ptr<BkSimulator> Simulator(BkSimConfig config) {
        auto simulator = std::make_unique<BkSimulator>(std::move(config));
        std::string error;
        EXPECT_TRUE(simulator->Start(&error)) << error;
        return simulator;
    }

    std::filesystem::path dir_;
    AppState state_;
    LastReport reporter_;
};

TEST_F(FlashRunSimulatorTest, DeliversExactlyThePackageWithBinaryPayloads) {
    // Bytes a terminal would love to interpret: NUL, LF, CR, XON, XOFF, 0xFF.
    const auto package =
        WritePackage({1, 300, 0, 4096, 17}, {0x00, 0x0A, 0x0D, 0x11, 0x13, 0xFF, 0x7F, 0x03});
    auto simulator = Simulator({});
    EXPECT_EQ(RunAgainst(*simulator), WM_FLASH_DONE);
    EXPECT_EQ(reporter_.last, static_cast<std::int64_t>(package.size()));
    EXPECT_EQ(simulator->Accepted(), package);
    EXPECT_EQ(state_.busy, 0);

    // The port is free again at once, and the simulator serves the next run.
    EXPECT_EQ(RunAgainst(*simulator), WM_FLASH_DONE);
    EXPECT_EQ(simulator->Accepted().size(), 2 * package.size());
}

TEST_F(FlashRunSimulatorTest, ResentFramesAreAcceptedOnce) {
    const auto package = WritePackage({10, 20, 30}, {0x5A});
    BkSimConfig config;
    config.answers = "22,33,11,88,11,88,88,22,11";
    auto simulator = Simulator(config);
    EXPECT_EQ(RunAgainst(*simulator), WM_FLASH_DONE);
    EXPECT_EQ(simulator->Accepted(), package);
    EXPECT_EQ(simulator->FramesReceived(), 6u);
}

TEST_F(FlashRunSimulatorTest, EachDeviceFaultEndsWithItsNotification) {
    WritePackage({8, 8, 8}, {0x11, 0x13});
    struct Case {
        Fault fault;
        std::uint8_t answer;
        unsigned expected;
    };
    const std::vector<Case> cases = {
        {Fault::NoEcho, 0, WM_FLASH_NO_ECHO},
        {Fault::ShortEcho, 0, WM_FLASH_NO_ECHO},
        {Fault::NoAnswer, 0, WM_FLASH_NO_ANSWER},
        {Fault::Answer, 0x44, WM_FLASH_SIGNATURE_ERROR},
        {Fault::Answer, 0x66, WM_FLASH_ADAPTER_SYNC_ERROR},
        {Fault::Answer, 0x77, WM_FLASH_LINK_ERROR},
        {Fault::Answer, 0x55, WM_FLASH_BAD_ANSWER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.fault));
        BkSimConfig config;
        config.fault = c.fault;
        config.faultFrame = 2;
        config.faultAnswer = c.answer;
        auto simulator = Simulator(config);
        EXPECT_EQ(RunAgainst(*simulator), c.expected);
        EXPECT_EQ(simulator->Accepted().size(), 10u); // the first frame only
        EXPECT_EQ(state_.busy, 0);
    }
}

// A device whose bytes come too early, once too often or out of nowhere: through the real line
// at the real speed, whatever it answers last must not pass as success.
TEST_F(FlashRunSimulatorTest, DeviceOutOfStepNeverPassesAsSuccess) {
    struct Case {
        Fault fault;
        std::uint8_t byte;
        const char* answers;
        std::vector<std::uint32_t> payloads;
    };
    const std::vector<Case> cases = {
        {Fault::EarlyAnswer, 0, "44", {400}},
        {Fault::EarlyAnswer, 0, "ok,44", {400, 400}},
        {Fault::ExtraEcho, 0x11, "44", {400}},
        {Fault::ExtraEcho, 0x11, "44,44", {400, 400}},
        // The noise lands in the middle of the next frame's echo.
        {Fault::Noise, 0x11, "ok,44", {400, 400}},
        {Fault::Noise, 0x11, "ok,77", {400, 400}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(static_cast<int>(c.fault)) + " " + c.answers);
        WritePackage(c.payloads, {0x5A, 0xA5});
        BkSimConfig config;
        config.answers = c.answers;
        config.baud = kFlashBaudRate;
        config.fault = c.fault;
        config.faultFrame = 1;
        config.faultAnswer = c.byte;
        auto simulator = Simulator(config);
        EXPECT_EQ(RunAgainst(*simulator), WM_FLASH_LINE_ERROR);
    }
}

TEST_F(FlashRunSimulatorTest, RetryLimitAndStopAgainstTheDevice) {
    WritePackage({8, 8}, {0xAA});
    BkSimConfig retries;
    retries.answers = "ok,33*";
    auto failing = Simulator(retries);
    EXPECT_EQ(RunAgainst(*failing), WM_FLASH_LINE_ERROR);
    EXPECT_EQ(failing->FramesReceived(), 5u);

    // A stop while the computer thinks: the frame's answer is still awaited, then silence.
    BkSimConfig slow;
    slow.processingDelayMs = 50;
    auto simulator = Simulator(slow);
    state_.portName = simulator->SlavePath();
    state_.runAllowed = 1;
    class StopOnProgress : public FlashReporter {
    public:
        explicit StopOnProgress(AppState& state) : state_(state) {}
        void Report(unsigned message, std::int64_t) override {
            messages.push_back(message);
            if (message == WM_FLASH_PROGRESS) {
                state_.runAllowed = 0;
            }
        }
        std::vector<unsigned> messages;
        AppState& state_;
    } stopper(state_);
    FlashRun::Options options;
    options.timeoutMs = kTestTimeoutMs;
    FlashRun(state_, stopper, options).Run(FlashInputsFrom(state_));
    EXPECT_EQ(stopper.messages, (std::vector<unsigned>{WM_FLASH_SIZE, WM_FLASH_PROGRESS}));
    EXPECT_EQ(simulator->Accepted().size(), 10u);
    EXPECT_EQ(state_.busy, 0);
}

TEST_F(FlashRunSimulatorTest, DroppedLineFailsAtOnceNotAfterTheTimeout) {
    WritePackage({8, 8, 8}, {0x42});
    BkSimConfig config;
    config.fault = Fault::DropLine;
    config.faultFrame = 2;
    auto simulator = Simulator(config);
    state_.portName = simulator->SlavePath();
    state_.runAllowed = 1;
    FlashRun::Options options;
    options.timeoutMs = 5000; // far longer than the run may take
    const auto start = std::chrono::steady_clock::now();
    FlashRun(state_, reporter_, options).Run(FlashInputsFrom(state_));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    ASSERT_FALSE(reporter_.messages.empty());
    const unsigned end = reporter_.messages.back();
    EXPECT_TRUE(end == WM_FLASH_NO_ECHO || end == WM_FLASH_NO_ANSWER) << end;
    EXPECT_LT(elapsed, std::chrono::milliseconds(2500));
}

TEST_F(FlashRunSimulatorTest, PortHeldByAnotherRunIsAPortError) {
    WritePackage({8}, {0x42});
    auto simulator = Simulator({});
    SerialLine holder;
    ASSERT_TRUE(holder.Open(simulator->SlavePath().c_str(), kFlashBaudRate, kTestTimeoutMs));
    EXPECT_EQ(RunAgainst(*simulator), WM_FLASH_PORT_ERROR);
    holder.Close();
    EXPECT_EQ(RunAgainst(*simulator), WM_FLASH_DONE);
}

} // namespace
} // namespace tamsivo
