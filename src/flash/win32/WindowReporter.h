#pragma once

#include "flash/FlashReporter.h"

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

} // namespace tamsivo
