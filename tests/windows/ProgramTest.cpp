// The real Tamsivo.exe, started in a folder the harness prepared (TAMSIVO_PROGRAM_DIR) and
// driven as a user would, through its windows, while the harness's simulators serve its COM
// ports and check what arrives.
#include "WinSupport.h"

#include "flash/Outcome.h"
#include "framework/WideText.h"
#include "record/RunLog.h"
#include "res/resource.h"
#include "text/Cp1251Literal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <windows.h>

namespace tamsivo::test {
namespace {

constexpr const wchar_t* kSettings = L"Software\\TORVIK\\Tamsivo\\Tamsivo";
constexpr DWORD kShowMs = 20000;

// The program, started in its folder (with `port` remembered, unless null); ended by force
// if a test leaves it running.
class Program {
public:
    explicit Program(const wchar_t* port = L"COM5") {
        if (port != nullptr) {
            ::RegSetKeyValueW(HKEY_CURRENT_USER, kSettings, L"Port", REG_SZ, port,
                              static_cast<DWORD>((std::wcslen(port) + 1) * sizeof(wchar_t)));
        }
        const std::wstring folder = WideEnvironment(L"TAMSIVO_PROGRAM_DIR");
        std::wstring command = L"\"" + folder + L"\\Tamsivo.exe\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         folder.c_str(), &startup, &process_);
    }
    ~Program() {
        ::TerminateProcess(process_.hProcess, 99); // fails harmlessly once it has ended
        ::CloseHandle(process_.hThread);
        ::CloseHandle(process_.hProcess);
    }
    // The program's visible window whose title is `title`, once it shows.
    HWND Window(const std::string& title) const {
        const std::wstring wanted = Widen(title);
        HWND found = nullptr;
        PumpUntil(
            [&] {
                HWND next = nullptr; // every process's top-level windows of that title in turn
                while ((next = ::FindWindowExW(nullptr, next, nullptr, wanted.c_str()))) {
                    DWORD process = 0;
                    ::GetWindowThreadProcessId(next, &process);
                    if (process == process_.dwProcessId && ::IsWindowVisible(next)) {
                        found = next;
                    }
                }
                return found != nullptr;
            },
            kShowMs);
        return found;
    }
    bool WaitText(HWND window, int id, const std::string& text) const {
        return PumpUntil([&] { return TextOf(window, id) == text; }, kShowMs);
    }
    // Escape, as the user leaves; whether the program ended.
    bool Quit(HWND window) const {
        ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        return PumpUntil(
            [&] { return ::WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }, kShowMs);
    }

private:
    PROCESS_INFORMATION process_{};
};

constexpr const char* kMainTitle = "Tamsivo";

// Two free ports, COM5 and COM6: the remembered COM6 is shown and a click steps to COM5; one
// update through it, of the package TAMSIVO_PACKAGE, from start to "ВЫПОЛНЕНО" (the harness
// checks what arrived); the port shown at the end is remembered.
TEST(Program, GreetsWithTheRememberedPortUpdatesAndRemembersThePortShown) {
    const std::u8string recorded =
        std::filesystem::path(WideEnvironment(L"TAMSIVO_PACKAGE")).u8string();
    ASSERT_FALSE(recorded.empty()) << "TAMSIVO_PACKAGE names the package";
    Program program(L"COM6");
    const HWND main = program.Window(kMainTitle);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(program.WaitText(main, IDC_TITLE, "Tamsivo"));
    EXPECT_EQ(TextOf(main, IDC_MESSAGE),
              kCp1251<"Утилита обновления ПО бортовых компьютеров. Версия 1.6">);
    EXPECT_EQ(TextOf(main, IDC_PORT_NAME), "COM6");
    PostClick(main, IDC_PORT_NAME);
    ASSERT_TRUE(program.WaitText(main, IDC_PORT_NAME, "COM5"));
    const OutcomeRow& outcome = RowOf(Outcome::Done);
    const RunLog log(RunLog::DefaultPath());
    const std::size_t before = log.Last(SIZE_MAX, nullptr).size();
    PostClick(main, IDC_START_BUTTON);
    EXPECT_TRUE(program.WaitText(main, IDC_TITLE, outcome.caption)) << TextOf(main, IDC_TITLE);
    // The run left its record in the user's log.
    std::vector<RunRecord> records;
    ASSERT_TRUE(PumpUntil(
        [&] { return (records = log.Last(SIZE_MAX, nullptr)).size() == before + 1; }, kShowMs))
        << log.Path();
    // The package by its own name.
    const RunRecord& record = records.back();
    EXPECT_EQ(
        std::tie(record.program, record.package, record.port, record.outcome),
        std::tuple("Tamsivo", std::string(recorded.begin(), recorded.end()), "COM5", outcome.key));
    // Between records the log is the user's: the program keeps no handle of it open.
    const HANDLE alone =
        ::CreateFileW(log.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(alone, INVALID_HANDLE_VALUE) << ::GetLastError();
    ::CloseHandle(alone);
    ASSERT_TRUE(program.Quit(main));
    wchar_t stored[64] = {}; // the port remembered
    DWORD bytes = sizeof stored;
    ::RegGetValueW(HKEY_CURRENT_USER, kSettings, L"Port", RRF_RT_REG_SZ, nullptr, stored, &bytes);
    EXPECT_EQ(Narrow(stored), "COM5");
}

// A stop after each of the TAMSIVO_STOP_AFTER_MS times (comma separated) after the start, while
// the title still animates, the package is still being read or a frame is in flight, cancels
// the run all the same; the next run, started at once, gets the port and completes.
TEST(Program, CancelsEvenRightAfterTheStart) {
    std::istringstream after(Environment(L"TAMSIVO_STOP_AFTER_MS"));
    ASSERT_FALSE(after.str().empty()) << "TAMSIVO_STOP_AFTER_MS says when to stop";
    Program program;
    const HWND main = program.Window(kMainTitle);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(program.WaitText(main, IDC_PORT_NAME, "COM5"));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(main, IDC_START_BUTTON))) << "one port is enough";
    for (std::string ms; std::getline(after, ms, ',');) {
        PostClick(main, IDC_START_BUTTON);
        // The user's reaction, not a wait for the program.
        ::Sleep(static_cast<DWORD>(std::stoul(ms)));
        PostClick(main, IDC_STOP_BUTTON);
        EXPECT_TRUE(program.WaitText(main, IDC_TITLE, kCp1251<"ОТМЕНА">)) << ms;
        PostClick(main, IDC_START_BUTTON);
        EXPECT_TRUE(program.WaitText(main, IDC_TITLE, kCp1251<"ВЫПОЛНЕНО">)) << ms;
    }
    EXPECT_TRUE(program.Quit(main));
}

// No package: the message box names the folder, and the program ends after it.
TEST(Program, WithoutAPackageSaysWhereItLookedAndEnds) {
    Program program(nullptr);
    const HWND box = program.Window("Tamsivo");
    ASSERT_NE(box, nullptr);
    // Its words are the selection's own (DialogTest); here it names the program's folder.
    EXPECT_NE(TextOf(box, 0xFFFF).find(Environment(L"TAMSIVO_PROGRAM_DIR") + "\\updates\\"),
              std::string::npos);
    EXPECT_TRUE(program.Quit(box)); // Escape answers the box as its OK does
}

} // namespace
} // namespace tamsivo::test
