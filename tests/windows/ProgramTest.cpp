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
#include <string>
#include <vector>

#include <windows.h>

#include <commctrl.h>

namespace tamsivo::test {
namespace {

constexpr const wchar_t* kSettings = L"Software\\TORVIK\\Tamsivo\\Tamsivo";
constexpr DWORD kShowMs = 20000;

std::string StoredPort() {
    wchar_t value[64] = {};
    DWORD bytes = sizeof value;
    if (::RegGetValueW(HKEY_CURRENT_USER, kSettings, L"Port", RRF_RT_REG_SZ, nullptr, value,
                       &bytes) != ERROR_SUCCESS) {
        return "<none>";
    }
    return Narrow(value);
}

void StorePort(const wchar_t* port) {
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kSettings, L"Port", REG_SZ, port,
                      static_cast<DWORD>((std::wcslen(port) + 1) * sizeof(wchar_t)));
}

// The program, started in its folder (with `port` remembered, unless null); ended by force
// if a test leaves it running.
class Program {
public:
    explicit Program(const wchar_t* port = L"COM5") {
        if (port != nullptr) {
            StorePort(port);
        }
        const std::wstring folder = WideEnvironment(L"TAMSIVO_PROGRAM_DIR");
        std::wstring command = L"\"" + folder + L"\\Tamsivo.exe\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        started_ = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                    folder.c_str(), &startup, &process_) != FALSE;
    }
    ~Program() {
        if (started_) {
            if (::WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0) {
                ::TerminateProcess(process_.hProcess, 99);
            }
            ::CloseHandle(process_.hThread);
            ::CloseHandle(process_.hProcess);
        }
    }
    // The program's visible dialog whose title is `title`, once it shows.
    HWND Window(const std::string& title) const {
        struct Search {
            DWORD process;
            std::wstring title;
            HWND found;
        } search{process_.dwProcessId, Widen(title), nullptr};
        PumpUntil(
            [&] {
                ::EnumWindows(
                    [](HWND window, LPARAM parameter) -> BOOL {
                        auto& s = *reinterpret_cast<Search*>(parameter);
                        DWORD process = 0;
                        ::GetWindowThreadProcessId(window, &process);
                        wchar_t text[64] = {};
                        ::GetWindowTextW(window, text, 64);
                        if (process == s.process && ::IsWindowVisible(window) && s.title == text) {
                            s.found = window;
                        }
                        return s.found == nullptr;
                    },
                    reinterpret_cast<LPARAM>(&search));
                return search.found != nullptr;
            },
            kShowMs);
        return search.found;
    }
    bool WaitText(HWND window, int id, const std::string& text) const {
        return PumpUntil([&] { return TextOf(window, id) == text; }, kShowMs);
    }
    // The command a click on the control sends, posted: the program may take its time.
    static void Press(HWND window, int id) {
        ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(window, id)));
    }
    // Escape, as the user leaves; whether the program ended.
    bool Quit(HWND window) const {
        ::PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        return PumpUntil(
            [&] { return ::WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }, kShowMs);
    }

private:
    bool started_ = false;
    PROCESS_INFORMATION process_{};
};

constexpr const char* kMainTitle = "Tamsivo";

// Two free ports, COM5 and COM6; the remembered COM6 is shown, a click steps to the next, and
// the port shown at the end is remembered.
TEST(Program, GreetsWithTheRememberedPortAndRemembersTheOneShown) {
    Program program(L"COM6");
    const HWND main = program.Window(kMainTitle);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(program.WaitText(main, IDC_TITLE, "Tamsivo"));
    EXPECT_EQ(TextOf(main, IDC_MESSAGE),
              kCp1251<"Утилита обновления ПО бортовых компьютеров. Версия 1.6">);
    EXPECT_EQ(TextOf(main, IDC_PORT_NAME), "COM6");
    EXPECT_EQ(TextOf(main, IDC_PACKAGE_NAME), "bk.enc");
    Program::Press(main, IDC_PORT_NAME);
    EXPECT_TRUE(program.WaitText(main, IDC_PORT_NAME, "COM5"));
    ASSERT_TRUE(program.Quit(main));
    EXPECT_EQ(StoredPort(), "COM5");
}

// One update through COM5 from start to "ВЫПОЛНЕНО"; the harness checks what arrived.
// TAMSIVO_PACKAGE names the package when it is not bk.enc.
TEST(Program, UpdatesAndShowsTheOutcome) {
    std::wstring package = WideEnvironment(L"TAMSIVO_PACKAGE");
    package = package.empty() ? L"bk.enc" : package;
    const std::u8string recorded = std::filesystem::path(package).u8string();
    Program program;
    const HWND main = program.Window(kMainTitle);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(program.WaitText(main, IDC_PORT_NAME, "COM5"));
    EXPECT_EQ(TextOf(main, IDC_PACKAGE_NAME), Narrow(package));
    const OutcomeRow& outcome = RowOf(Outcome::Done);
    const RunLog log(RunLog::DefaultPath());
    const std::size_t before = log.Last(SIZE_MAX, nullptr).size();
    Program::Press(main, IDC_START_BUTTON);
    EXPECT_TRUE(program.WaitText(main, IDC_TITLE, outcome.caption)) << TextOf(main, IDC_TITLE);
    EXPECT_EQ(TextOf(main, IDC_MESSAGE),
              OutcomeText(outcome, "COM5", Narrow(package), PackageError::None));
    // The run left its record in the user's log.
    std::vector<RunRecord> records;
    ASSERT_TRUE(PumpUntil(
        [&] { return (records = log.Last(SIZE_MAX, nullptr)).size() == before + 1; }, kShowMs))
        << log.Path();
    const RunRecord& record = records.back();
    EXPECT_EQ(record.program, "Tamsivo");
    EXPECT_EQ(record.package, std::string(recorded.begin(), recorded.end())) << "its own name";
    EXPECT_EQ(record.port, "COM5");
    // Between records the log is the user's: the program keeps no handle of it open.
    const HANDLE alone =
        ::CreateFileW(log.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(alone, INVALID_HANDLE_VALUE) << ::GetLastError();
    ::CloseHandle(alone);
    EXPECT_EQ(record.outcome, outcome.key);
    EXPECT_EQ(record.sha256.size(), 64u);
    EXPECT_TRUE(record.lastAnswers.empty());
    EXPECT_TRUE(program.Quit(main));
}

// A stop TAMSIVO_STOP_AFTER_MS after the start, while the title still animates, the package is
// still being read or a frame is in flight, cancels the run all the same; the next run,
// started at once, gets the port and completes.
TEST(Program, CancelsEvenRightAfterTheStart) {
    const std::string after = Environment(L"TAMSIVO_STOP_AFTER_MS");
    if (after.empty()) {
        GTEST_SKIP() << "TAMSIVO_STOP_AFTER_MS says when to stop";
    }
    Program program;
    const HWND main = program.Window(kMainTitle);
    ASSERT_NE(main, nullptr);
    ASSERT_TRUE(program.WaitText(main, IDC_PORT_NAME, "COM5"));
    Program::Press(main, IDC_START_BUTTON);
    // The user's reaction, not a wait for the program.
    ::Sleep(static_cast<DWORD>(std::stoul(after)));
    Program::Press(main, IDC_STOP_BUTTON);
    EXPECT_TRUE(program.WaitText(main, IDC_TITLE, kCp1251<"ОТМЕНА">)) << TextOf(main, IDC_TITLE);
    EXPECT_EQ(TextOf(main, IDC_MESSAGE), kCp1251<"Обновление отменено пользователем">);
    Program::Press(main, IDC_START_BUTTON);
    EXPECT_TRUE(program.WaitText(main, IDC_TITLE, kCp1251<"ВЫПОЛНЕНО">)) << TextOf(main, IDC_TITLE);
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

// Several packages: the selection lists them sorted; the one chosen is shown and written.
TEST(Program, LetsTheUserChooseAmongSeveralPackages) {
    Program program;
    const HWND selection = program.Window(kCp1251<"Выбор файла">);
    ASSERT_NE(selection, nullptr);
    const HWND list = ::GetDlgItem(selection, IDC_FIRMWARE_LIST);
    ASSERT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 2);
    ::SendMessageW(list, LB_SETCURSEL, 1, 0);
    ::PostMessageW(selection, WM_COMMAND, MAKEWPARAM(IDC_FIRMWARE_LIST, LBN_DBLCLK),
                   reinterpret_cast<LPARAM>(list));
    const HWND main = program.Window(kMainTitle);
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(program.WaitText(main, IDC_PACKAGE_NAME, "bk.enc")) << "b after a, sorted";
    Program::Press(main, IDC_START_BUTTON);
    EXPECT_TRUE(program.WaitText(main, IDC_TITLE, kCp1251<"ВЫПОЛНЕНО">));
    EXPECT_TRUE(program.Quit(main));
}

} // namespace
} // namespace tamsivo::test
