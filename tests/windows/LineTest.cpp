// The engine's Windows half: the serial line and the port list on a COM port served by the
// device simulator (TAMSIVO_TEST_PORT), package paths, and the worker thread that reports a
// run to a window.
#include "TestPackage.h"
#include "WinSupport.h"

#include "app/AppState.h"
#include "flash/FlashRun.h"
#include "flash/Platform.h"
#include "flash/PortProblem.h"
#include "flash/SerialLine.h"
#include "flash/SerialPorts.h"
#include "flash/StayAwake.h"
#include "flash/win32/ExecutionStateSetter.h"
#include "flash/win32/PortLock.h"
#include "framework/WideText.h"
#include "record/RunLog.h"
#include "ui/FlashNotifications.h"
#include "ui/win32/FlashThread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>
#include <vector>

#include <windows.h>

namespace tamsivo::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint32_t kTimeoutMs = 500;
const std::string kPort = Environment(L"TAMSIVO_TEST_PORT"); // served by the simulator
const std::vector<std::uint32_t> kFrameEnds = WindowsPackage().frameEnds;

TEST(SerialLineWin32, ClosedOrAbsentLinesRefuseEverythingAndSayWhy) {
    SerialLine line;
    std::uint8_t byte = 0x11;
    EXPECT_FALSE(line.Write(&byte, 1));
    EXPECT_EQ(line.LastError(), ERROR_INVALID_HANDLE);
    std::uint32_t waiting = 0;
    EXPECT_FALSE(line.Read(&byte, 1) || line.Purge() || line.SetTimeouts(kTimeoutMs) ||
                 line.BytesWaiting(&waiting));
    EXPECT_FALSE(line.Open("\\\\.\\COM200", kFlashBaudRate, kTimeoutMs));
    EXPECT_EQ(line.LastError(), ERROR_FILE_NOT_FOUND);
    // The system's own words, converted whole: a failed conversion would leave NULs.
    EXPECT_TRUE(!line.LastErrorMessage().empty() &&
                line.LastErrorMessage().find('\0') == std::string::npos);
    EXPECT_FALSE(line.Open("\\\\.\\COM200", kFlashBaudRate, kTimeoutMs));
    EXPECT_EQ(line.LastError(), ERROR_FILE_NOT_FOUND) << "the failed open kept its claim";
    // A device that opens but is no serial line cannot be configured: it is closed again, its
    // claim let go, and the system's reason kept.
    const std::string file = (std::filesystem::temp_directory_path() / "tamsivo-no-line").string();
    std::ofstream(file) << "x";
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_FALSE(line.Open(file.c_str(), kFlashBaudRate, kTimeoutMs) || line.IsOpen());
        EXPECT_NE(line.LastError(), ERROR_BUSY);
    }
}

TEST(PlatformWin32, PathsReachTheSystemWhateverItsCodePage) {
    // Folders named in and outside Windows-1251, whatever the ANSI code page: a path reaches
    // the system as it is, in UTF-16.
    for (const wchar_t* name : {L"тест", L"Jürgen", L"Әлия", L"Ολγα"}) {
        const std::filesystem::path folder =
            std::filesystem::temp_directory_path() / (std::wstring(L"tamsivo-") + name);
        std::filesystem::create_directories(folder);
        std::ofstream(folder / L"прошивка.enc") << "0000";
        EXPECT_TRUE(OpenForReading(folder / L"прошивка.enc")) << Narrow(folder.native());
        // A package is a file on a disk: a folder or a device would keep the run waiting.
        EXPECT_FALSE(OpenForReading(folder));
        // Nor is a folder, or a device, a run log: the refusal names it as it is, with why.
        std::string error;
        EXPECT_FALSE(RunLog(folder).Append(RunRecord{}, &error));
        const std::u8string named = u8"cannot open " + folder.u8string() + u8": ";
        EXPECT_EQ(error.rfind(std::string(named.begin(), named.end()), 0), 0u) << error;
        std::filesystem::remove_all(folder);
    }
    EXPECT_FALSE(OpenForReading(L"CON"));
    std::string error;
    EXPECT_FALSE(RunLog(L"NUL").Append(RunRecord{}, &error));
    EXPECT_EQ(error, "cannot open NUL: not a plain file");

    EXPECT_EQ(DevicePathForPort("COM256"), "\\\\.\\COM256");
    EXPECT_EQ(DevicePathForPort("COM12345"), "\\\\.\\COM12345") << "twelve characters fit";
    EXPECT_EQ(DevicePathForPort("COM123456"), "");
    EXPECT_EQ(DevicePathForPort(""), "");
    // Device names are blind to case, to the end of the alphabet.
    EXPECT_EQ(CanonicalPortName("\\\\.\\vspz"), CanonicalPortName("\\\\.\\VSPZ"));
    EXPECT_FALSE(IsVanishedDeviceError(ERROR_BUSY)) << "a busy device is still there";

    // A claim holds the port's one name, whatever its characters, and is told apart from
    // another program's open; a claim that somebody only looked at is free once let go.
    for (const auto& [port, other] :
         {std::pair{"COM250", "COM251"}, {"\\\\.\\Odd\\Port-1", "\\\\.\\Odd/Port-1"}}) {
        SerialPortInfo info;
        info.name = port;
        const HANDLE claim = PortLock::Acquire(port);
        ASSERT_NE(claim, nullptr) << port;
        EXPECT_TRUE(PortLock::IsHeld(port) && !PortLock::IsHeld(other)) << port;
        EXPECT_NE(ExplainPortState(info).reason.find("Tamsivo program"), std::string::npos);
        HANDLE look = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), claim, ::GetCurrentProcess(), &look, 0, FALSE,
                          DUPLICATE_SAME_ACCESS);
        PortLock::Release(claim);
        EXPECT_EQ(ExplainPortState(info).reason.find("Tamsivo program"), std::string::npos);
        ::CloseHandle(look);
    }
}

// The simulator on TAMSIVO_TEST_PORT echoes every byte and answers OK to every frame.
class SerialLineOnPort : public ::testing::Test {
protected:
    void SetUp() override {
        if (kPort.empty()) {
            GTEST_SKIP() << "TAMSIVO_TEST_PORT names no port served by the device simulator";
        }
        device_ = DevicePathForPort(kPort);
    }
    bool Open(SerialLine& line) { return line.Open(device_.c_str(), kFlashBaudRate, kTimeoutMs); }
    // One frame out; its echo and the simulator's OK back, byte for byte.
    static void Exchange(SerialLine& line, const Bytes& frame) {
        ASSERT_TRUE(line.Write(frame.data(), static_cast<std::uint32_t>(frame.size())));
        Bytes echo(frame.size() + 1);
        ASSERT_TRUE(line.Read(echo.data(), static_cast<std::uint32_t>(echo.size())));
        EXPECT_EQ(Bytes(echo.begin(), echo.end() - 1), frame);
        EXPECT_EQ(echo.back(), ANSWER_OK);
    }
    std::string device_;
};

// Another program's last settings stay with the port: XON/XOFF both ways, NUL stripping, error
// replacement, abort on error; every byte passes all the same. Wine applies share modes to
// regular files only: there the port's claim keeps others out.
TEST_F(SerialLineOnPort, EveryBytePassesWhateverWasLeftSetAndTheClaimKeepsOtherOpenersOut) {
    const HANDLE earlier = ::CreateFileA(device_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(earlier, INVALID_HANDLE_VALUE);
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    ASSERT_TRUE(::GetCommState(earlier, &dcb));
    dcb.fOutX = dcb.fInX = dcb.fNull = dcb.fErrorChar = dcb.fAbortOnError = TRUE;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    ::SetCommState(earlier, &dcb);
    ::CloseHandle(earlier);

    SerialLine holder;
    ASSERT_TRUE(Open(holder));
    EXPECT_FALSE(Open(holder)) << "an open line is not opened over";
    SerialLine other;
    EXPECT_FALSE(Open(other));
    EXPECT_EQ(other.LastError(), ERROR_BUSY);
    // The system reaches the port by other spellings too; none of them gets past the claim,
    // and each is the one port's name.
    const std::string number = kPort.substr(3);
    for (const std::string& spelling :
         {"\\\\.\\com" + number, "\\\\.\\COM0" + number + " ", "\\\\.\\COM" + number + ".",
          "\\\\.\\\\\\.\\COM" + number + ":", "com" + number}) {
        EXPECT_FALSE(other.Open(spelling.c_str(), kFlashBaudRate, kTimeoutMs)) << spelling;
        EXPECT_EQ(CanonicalPortName(spelling), kPort) << spelling;
    }
    EXPECT_EQ(std::ranges::count(FreeSerialPorts(), kPort), 0);
    // The refused opens left the holder working.
    Exchange(holder, MakePackage({0x1311}, AwkwardBytes(), 3).bytes);
    Exchange(holder, MakePackage({0x0A0D}, AwkwardBytes(), 5).bytes);

    // Nothing arrives: the read waits for its total limit, then fails with a timeout.
    std::uint8_t byte = 0;
    ULONGLONG start = ::GetTickCount64();
    EXPECT_FALSE(holder.Read(&byte, 1));
    EXPECT_EQ(holder.LastError(), ERROR_TIMEOUT);
    EXPECT_GE(::GetTickCount64() - start, kTimeoutMs / 2);
    // One byte fewer than asked for: the pause after the last byte ends the read long before
    // its total limit of 10 ms per byte + t. What waits unread is counted.
    const Bytes frame = MakePackage({1000}, AwkwardBytes(), 4).bytes;
    ASSERT_TRUE(holder.Write(frame.data(), static_cast<std::uint32_t>(frame.size())));
    Bytes buffer(frame.size() + 2);
    start = ::GetTickCount64();
    EXPECT_FALSE(holder.Read(buffer.data(), static_cast<std::uint32_t>(buffer.size())));
    EXPECT_LT(::GetTickCount64() - start, 10 * buffer.size());
    ASSERT_TRUE(holder.Write(frame.data(), 2 + 3));
    std::uint32_t waiting = 0;
    ASSERT_TRUE(PumpUntil([&] { return holder.BytesWaiting(&waiting) && waiting == 5; }));
    ASSERT_TRUE(holder.Purge());
    ASSERT_TRUE(holder.BytesWaiting(&waiting));
    EXPECT_EQ(waiting, 0u);

    holder.Close();
    const std::vector<std::string> free = FreeSerialPorts();
    EXPECT_EQ(std::ranges::count(free, kPort), 1);
    for (std::size_t i = 1; i < free.size(); ++i) {
        EXPECT_LT(std::stoi(free[i - 1].substr(3)), std::stoi(free[i].substr(3)));
    }
    EXPECT_TRUE(Open(other));
}

// Plays the dialog for a run: a message-only window that hands every notification to onNotice.
std::function<void(unsigned, LPARAM)> onNotice;

HWND MakeRunWindow() {
    const HWND window = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          nullptr, nullptr);
    const WNDPROC proc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message > WM_USER && message <= WM_USER + 15) {
            onNotice(message, lParam);
            return 1;
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    };
    ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
    return window;
}

// What StayAwake asked of the system's execution state, and on which thread. The worker writes
// it only before a report, which it sends and waits on, or before it ends: never while read.
using StateCall = std::pair<DWORD, EXECUTION_STATE>;
std::vector<StateCall> stateCalls;

EXECUTION_STATE stateAnswer = ES_CONTINUOUS; // the system's answer: 0 refuses

EXECUTION_STATE WINAPI RecordState(EXECUTION_STATE state) {
    stateCalls.emplace_back(::GetCurrentThreadId(), state);
    return stateAnswer;
}

// The product's own thread start with the product's timeouts. Asleep, the computer would cut a
// run short: the worker keeps it awake from before its first report to after its last, and lets
// it sleep again however the run ends; a hold the system refused is not released, the thread's
// state being left as it was. A whole run, for a bar of a pixel a byte, reports its size, one
// progress per frame with the running total, and done; the port is free again by the time the
// end is shown.
TEST_F(SerialLineOnPort, TheWorkerReportsTheRunAndKeepsTheComputerAwakeThroughEveryEnding) {
    const std::filesystem::path package = std::filesystem::temp_directory_path() / L"bk.enc";
    std::ofstream(package, std::ios::binary) << WindowsPackage().text;
    FlashInputs inputs{package, "bk.enc", kPort, nullptr};
    const HWND window = MakeRunWindow();
    TheAppState().busy = 0;
    using Notice = std::tuple<unsigned, LPARAM, std::uint8_t>; // with the run's busy flag
    std::vector<Notice> notices;
    const ExecutionStateSetter system = ReplaceExecutionStateSetter(RecordState);
    bool portFreeAtEnd = false;
    for (const auto& [what, port, runAllowed, answer] :
         {std::tuple<const char*, std::string, std::uint8_t, EXECUTION_STATE>{
              "no port, the hold refused", "COM200", 1, 0},
          {"stopped", kPort, 0, ES_CONTINUOUS},
          {"done", kPort, 1, ES_CONTINUOUS}}) {
        SCOPED_TRACE(what);
        stateAnswer = answer;
        stateCalls.clear();
        std::vector<StateCall> atFirstReport;
        notices.clear();
        onNotice = [&](unsigned message, LPARAM lParam) {
            notices.emplace_back(message, lParam, TheAppState().busy.load());
            if (notices.size() == 1) {
                atFirstReport = stateCalls;
            }
            if (message == WM_FLASH_DONE) {
                SerialLine probe;
                portFreeAtEnd = Open(probe);
            }
        };
        TheAppState().runAllowed = runAllowed;
        inputs.portName = port;
        const HANDLE thread = StartFlashThread(window, inputs, kFrameEnds.back());
        EXPECT_TRUE(
            PumpUntil([&] { return ::WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }, 120000));
        const DWORD worker = ::GetThreadId(thread);
        ::CloseHandle(thread);
        const StateCall awake{worker, ES_CONTINUOUS | ES_SYSTEM_REQUIRED};
        // A run stopped before it began reports nothing at all.
        EXPECT_EQ(atFirstReport, runAllowed != 0 ? std::vector{awake} : std::vector<StateCall>{});
        EXPECT_EQ(stateCalls, (answer != 0 ? std::vector{awake, StateCall{worker, ES_CONTINUOUS}}
                                           : std::vector{awake}));
    }
    ReplaceExecutionStateSetter(system);
    ::DestroyWindow(window);
    const auto size = static_cast<LPARAM>(kFrameEnds.back());
    std::vector<Notice> expected{{WM_FLASH_SIZE, size, 1}};
    for (const std::uint32_t end : kFrameEnds) {
        expected.emplace_back(WM_FLASH_PROGRESS, end, 1);
    }
    expected.emplace_back(WM_FLASH_DONE, size, 0);
    EXPECT_EQ(notices, expected);
    EXPECT_TRUE(portFreeAtEnd);
}

} // namespace
} // namespace tamsivo::test
