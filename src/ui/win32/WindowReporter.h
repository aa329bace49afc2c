#pragma once

#include "flash/FlashObserver.h"
#include "ui/ProgressFilter.h"

#include <cstdint>

#include <windows.h>

namespace tamsivo {

// Tells the dialog what a run does, as the WM_FLASH_* window messages of FlashNotifications.h.
// SendMessageW returns only after the dialog's window procedure has handled the message, so
// the run waits for the dialog, as FlashObserver requires; the dialog must keep dispatching
// messages while it waits for the run to end. Progress that would not change the dialog's bar
// of `barExtent` pixels is not sent at all (ProgressFilter).
class WindowReporter : public FlashObserver {
public:
    WindowReporter(HWND window, std::uint32_t barExtent) : window_(window), filter_(barExtent) {}

    void Sized(std::uint32_t byteCount) override;
    void Progressed(std::uint32_t sent) override;
    void Ended(const RunEnd& end) override;

private:
    HWND window_;
    ProgressFilter filter_;
};

} // namespace tamsivo
