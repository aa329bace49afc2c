#pragma once

#include "flash/FlashReporter.h"
#include "flash/FlashRun.h"

#include <cstdint>

#include <windows.h>

namespace tamsivo {

// Hands a run's notifications to the dialog as window messages (wParam 0). SendMessageW
// returns only after the dialog's window procedure has handled the message, so the run waits
// for the dialog, as FlashReporter requires; the dialog must keep dispatching messages while
// it waits for `busy` to fall.
class WindowReporter : public FlashReporter {
public:
    explicit WindowReporter(HWND window) : window_(window) {}

    void Report(unsigned message, std::int64_t lParam) override;

private:
    HWND window_;
};

// One run, on the calling thread, of the package and port chosen in TheAppState(), reporting
// to `dialog`. Tests pass shorter line timeouts; the product uses the defaults.
void RunFlashToWindow(HWND dialog, FlashRun::Options options);

// The worker thread's entry: `dialogWindow` is the dialog's HWND. Returns 0; nobody reads it.
DWORD WINAPI FlashThreadEntry(LPVOID dialogWindow);

// Starts one run on a new worker thread. False when the thread could not be created; then
// no notification will come.
bool StartFlashThread(HWND dialog);

} // namespace tamsivo
