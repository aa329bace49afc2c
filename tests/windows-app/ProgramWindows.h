#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tamsivo::test {

// The three kinds of top-level window the program under test shows, told apart by their
// controls: the main dialog has the start and exit buttons, the selection dialog the package
// list, and a message box neither.
enum class WindowKind { Main, Select, MessageBox };

bool ParseWindowKind(const std::string& name, WindowKind* kind);

// Finds the windows of the program under test, which the harness starts on its own: its
// processes are recognised by their image name, and every process seen is kept open so that
// its end and exit code can still be read after it has gone.
class ProgramWindows {
public:
    explicit ProgramWindows(std::wstring imageName);
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    // The visible window of `kind`, or null.
    HWND Find(WindowKind kind);
    // Waits until a window of `kind` is visible; null with a reason after `timeoutMs`.
    HWND WaitFor(WindowKind kind, DWORD timeoutMs, std::string* error);
    // Waits until no window of `kind` is visible any more.
    bool WaitGone(WindowKind kind, DWORD timeoutMs, std::string* error);
    // "main", "select", "message-box" or the class name of each visible top-level window.
    std::vector<std::string> VisibleWindows();
    // Waits until every process of the program seen so far (at least one) has ended, and
    // gives the exit code of the last one.
    bool WaitForExit(DWORD timeoutMs, DWORD* exitCode, std::string* error);

    // Calls `condition` until it holds or `timeoutMs` passes. The program runs in another
    // process, and nothing tells this one when a window there appears or changes, so the
    // condition is looked at again every few milliseconds; the wait also ends early when a
    // process of the program ends.
    bool PollUntil(DWORD timeoutMs, const std::function<bool()>& condition);

private:
    struct Process {
        DWORD id = 0;
        HANDLE handle = nullptr;
    };

    void RefreshProcesses();
    bool IsOurs(HWND window) const;
    static bool IsKind(HWND window, WindowKind kind);

    std::wstring imageName_;
    std::vector<Process> processes_;
};

} // namespace tamsivo::test
