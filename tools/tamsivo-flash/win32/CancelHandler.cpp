#include "CancelHandler.h"

#include "ExitCode.h"

#include <algorithm>

#include <windows.h>

namespace tamsivo::cli {
namespace {

std::atomic<std::uint8_t>* g_runAllowed[CancelHandler::kMaxRuns] = {};
std::size_t g_runs = 0;

void StopEveryRun() {
    for (std::size_t i = 0; i < g_runs; ++i) {
        g_runAllowed[i]->store(0);
    }
}
std::atomic<bool> g_requested{false};
std::atomic<ULONGLONG> g_firstMs{0};

// Runs on a thread the system creates for the event. Returning FALSE hands the event to the
// default handler, which ends the process: that is what a second Ctrl+C does.
BOOL WINAPI OnConsoleEvent(DWORD event) {
    const ULONGLONG now = GetTickCount64();
    const bool first = !g_requested.exchange(true);
    StopEveryRun();
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE; // closing the console or logging off: the system ends us anyway
    }
    if (!first) {
        // The same stop, delivered twice, is no request to quit.
        return now - g_firstMs.load() < static_cast<ULONGLONG>(CancelHandler::kQuitGapMs) ? TRUE
                                                                                          : FALSE;
    }
    g_firstMs = now;
    static const char kNote[] =
        "\r\nStopping after the frame in flight; press Ctrl+C again to quit at once.\r\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), kNote, sizeof kNote - 1, &written, nullptr);
    return TRUE;
}

} // namespace

CancelHandler::CancelHandler(std::span<std::atomic<std::uint8_t>* const> runAllowed) {
    g_runs = std::min(runAllowed.size(), kMaxRuns);
    std::copy_n(runAllowed.begin(), g_runs, g_runAllowed);
    g_requested = false;
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

CancelHandler::~CancelHandler() {
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
}

bool CancelHandler::Requested() const {
    return g_requested.load();
}

void CancelHandler::StopQuitsBeforeTheRuns() {
    ::SetConsoleCtrlHandler(
        [](DWORD) -> BOOL {
            ::ExitProcess(static_cast<UINT>(EndOf(Outcome::Cancelled).code));
            return TRUE;
        },
        TRUE);
}

} // namespace tamsivo::cli
