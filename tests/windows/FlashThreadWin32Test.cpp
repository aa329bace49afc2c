#include "NoticeWindow.h"
#include "TestEnvironment.h"
#include "TestFrames.h"
#include "TestPackage.h"

#include "app/AppState.h"
#include "flash/FlashProtocol.h"
#include "flash/FlashRun.h"
#include "flash/Platform.h"
#include "flash/SerialLine.h"
#include "flash/win32/FlashThread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

namespace {

using namespace tamsivo;
using namespace tamsivo::test;

// Far beyond any run here; only a hung run gets near it.
constexpr DWORD kRunDeadlineMs = 120000;
constexpr std::uint32_t kShortTimeoutMs = 500;

struct WorkerArguments {
    HWND window;
    FlashRun::Options options;
};

DWORD WINAPI RunWorker(LPVOID parameter) {
    const auto* arguments = static_cast<const WorkerArguments*>(parameter);
    RunFlashToWindow(arguments->window, FlashInputsFrom(TheAppState()), arguments->options);
    return 0;
}

// The notifications of a run that goes through without a hitch.
std::vector<FlashNotice> CompleteRun() {
    const std::vector<std::uint32_t> ends = FrameEnds();
    std::vector<FlashNotice> notices{{WM_FLASH_SIZE, ends.back()}};
    for (std::uint32_t end : ends) {
        notices.push_back({WM_FLASH_PROGRESS, end});
    }
    notices.push_back({WM_FLASH_DONE, ends.back()});
    return notices;
}

// Plays the main dialog around one run on the simulator's port: the package sits in a
// Cyrillic folder, the shared state points at it, and a hidden window takes the messages.
class DialogRun : public ::testing::Test {
protected:
    void SetUp() override {
        port_ = TestPortName();
        if (port_.empty()) {
            GTEST_SKIP() << "TAMSIVO_TEST_PORT is not set: these cases need a COM port served by "
                            "the device simulator (bksim)";
        }
        ASSERT_TRUE(package_.Ready()) << package_.Error();
        ASSERT_TRUE(window_.Created()) << "CreateWindowExW error " << ::GetLastError();
        AppState& state = TheAppState();
        state.exeDir = package_.ExeDir();
        state.firmwareName = package_.FirmwareName();
        state.portName = port_;
        state.busy = 0;
        state.runAllowed = 1; // as the start command sets it
    }

    // Runs on a worker of our own, so that its end can be awaited while messages flow.
    void RunOnWorker(std::uint32_t timeoutMs) {
        WorkerArguments arguments{window_.Handle(), FlashRun::Options{}};
        arguments.options.timeoutMs = timeoutMs;
        const HANDLE thread = ::CreateThread(nullptr, 0, RunWorker, &arguments, 0, nullptr);
        ASSERT_NE(thread, nullptr) << "CreateThread error " << ::GetLastError();
        const bool ended = window_.PumpUntilThreadEnds(thread, kRunDeadlineMs);
        if (!ended) {
            // The arguments live on this stack; the process cannot go on safely.
            std::fprintf(stderr, "the flash run did not end within %lu ms\n", kRunDeadlineMs);
            std::fflush(stderr);
            ::ExitProcess(3);
        }
        ::CloseHandle(thread);
    }

    // The line of the run must be closed and `busy` down when the dialog hears the end.
    void ExpectLineFreedBeforeEnding() {
        const FlashObservation* ending = window_.Ending();
        ASSERT_NE(ending, nullptr);
        EXPECT_EQ(ending->busy, 0) << "busy still set when the ending notification came";
        const FlashObservation* progress = window_.FirstProgress();
        if (progress != nullptr) {
            // During the frames the process holds the line and its claim on the port; at the
            // end exactly those two handles must be gone. (Under Wine a reopen of the port
            // proves nothing: its serial devices open any number of times.)
            std::vector<std::uintptr_t> gone;
            std::set_difference(progress->handles.begin(), progress->handles.end(),
                                ending->handles.begin(), ending->handles.end(),
                                std::back_inserter(gone));
            EXPECT_EQ(gone.size(), 2u)
                << "the line was not closed and the port given up before the ending "
                   "notification";
            EXPECT_EQ(ending->handles.size() + gone.size(), progress->handles.size())
                << "handles were opened between the frames and the end";
        }
    }

    std::string port_;
    TestPackage package_;
    NoticeWindow window_;
};

class FlashThreadWin32 : public DialogRun {};
class FlashStopWin32 : public DialogRun {};
class FlashFaultWin32 : public DialogRun {};

// The product's own thread start, with the product's timeouts, against a simulator that
// accepts everything.
TEST_F(FlashThreadWin32, ProductThreadReportsWholeRunToDialog) {
    std::optional<bool> portFreeAtEnding;
    window_.OnNotice([&](const FlashNotice& notice) {
        if (NoticeWindow::IsEnding(notice.message)) {
            SerialLine probe;
            portFreeAtEnding = probe.Open(DevicePathForPort(port_).c_str(), kFlashBaudRate, 300);
        }
    });
    const HANDLE thread = StartFlashThread(window_.Handle(), FlashInputsFrom(TheAppState()));
    ASSERT_NE(thread, nullptr);
    ASSERT_TRUE(window_.PumpUntilEnded(kRunDeadlineMs)) << "no ending notification arrived";
    EXPECT_TRUE(window_.PumpUntilThreadEnds(thread, kRunDeadlineMs));
    ::CloseHandle(thread);

    EXPECT_EQ(window_.Notices(), CompleteRun());
    ExpectLineFreedBeforeEnding();
    EXPECT_EQ(portFreeAtEnding, std::optional<bool>(true));
    SerialLine again;
    EXPECT_TRUE(again.Open(DevicePathForPort(port_).c_str(), kFlashBaudRate, 300));
}

// The stop command clears runAllowed while the run waits in its progress notification:
// the run finishes the frame in flight and ends without a word.
TEST_F(FlashStopWin32, StopDuringRunEndsSilently) {
    window_.OnNotice([](const FlashNotice& notice) {
        if (notice.message == WM_FLASH_PROGRESS) {
            TheAppState().runAllowed = 0;
        }
    });
    RunOnWorker(kShortTimeoutMs);

    const std::vector<std::uint32_t> ends = FrameEnds();
    const std::vector<FlashNotice> expected{{WM_FLASH_SIZE, ends.back()},
                                            {WM_FLASH_PROGRESS, ends.front()}};
    EXPECT_EQ(window_.Notices(), expected);
    EXPECT_EQ(TheAppState().busy.load(), 0);
    SerialLine again;
    EXPECT_TRUE(again.Open(DevicePathForPort(port_).c_str(), kFlashBaudRate, 300));
}

// The simulator is set up by the harness to fail in some way; the environment says how the
// run must end (TAMSIVO_EXPECT_END) and, optionally, how many frames it sends first
// (TAMSIVO_EXPECT_PROGRESS).
TEST_F(FlashFaultWin32, EndsAsTheSimulatorDictates) {
    const std::optional<std::uint32_t> expectedEnd = EnvironmentNumber(L"TAMSIVO_EXPECT_END");
    if (!expectedEnd) {
        GTEST_SKIP() << "TAMSIVO_EXPECT_END is not set: the harness names the ending "
                        "notification of the fault it set up";
    }
    const std::optional<std::uint32_t> expectedProgress =
        EnvironmentNumber(L"TAMSIVO_EXPECT_PROGRESS");
    RunOnWorker(kShortTimeoutMs);

    const std::vector<FlashNotice> notices = window_.Notices();
    const std::vector<std::uint32_t> ends = FrameEnds();
    ASSERT_GE(notices.size(), 2u);
    EXPECT_EQ(notices.front(), (FlashNotice{WM_FLASH_SIZE, ends.back()}));
    // Between size and end only progress, frame by frame; a frame sent again repeats its
    // total.
    std::size_t frame = 0;
    std::uint32_t progressCount = 0;
    for (std::size_t i = 1; i + 1 < notices.size(); ++i) {
        ASSERT_EQ(notices[i].message, WM_FLASH_PROGRESS) << "notice " << i;
        ++progressCount;
        if (progressCount > 1 && notices[i].lParam != ends[frame]) {
            ++frame;
        }
        ASSERT_LT(frame, ends.size());
        EXPECT_EQ(notices[i].lParam, ends[frame]) << "notice " << i;
    }
    EXPECT_EQ(notices.back().message, *expectedEnd);
    if (*expectedEnd == WM_FLASH_DONE) {
        EXPECT_EQ(notices.back().lParam, ends.back());
        EXPECT_EQ(frame + 1, ends.size());
    }
    if (expectedProgress) {
        EXPECT_EQ(progressCount, *expectedProgress);
    }
    ExpectLineFreedBeforeEnding();
    EXPECT_EQ(TheAppState().busy.load(), 0);
}

} // namespace
