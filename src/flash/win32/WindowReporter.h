#pragma once

#include "flash/FlashReporter.h"
#include "flash/ProgressFilter.h"

#include <cstdint>

#include <windows.h>

namespace tamsivo {

// Hands a run's notifications to the dialog as window messages (wParam 0). SendMessageW
// returns only after the dialog's window procedure has handled the message, so the run waits
// for the dialog, as FlashReporter requires; the dialog must keep dispatching messages while
// it waits for `busy` to fall. Progress that would not change the dialog's bar of
// `barExtent` pixels is not sent at all (ProgressFilter).
class WindowReporter : public FlashReporter {
public:
    WindowReporter(HWND window, std::uint32_t barExtent) : window_(window), filter_(barExtent) {}

    void Report(unsigned message, std::int64_t lParam) override;

private:
    HWND window_;
    ProgressFilter filter_;
};

} // namespace tamsivo
