#pragma once

#include <cstdint>

namespace tamsivo {

// Receives a flash run's notifications (WM_FLASH_*) in order. Report returns only once the
// receiver has handled the notification, as a synchronous window message does.
class FlashReporter {
public:
    virtual ~FlashReporter() = default;
    virtual void Report(unsigned message, std::int64_t lParam) = 0;
    // The last frame was accepted, and the run makes sure that nothing follows the verdict
    // before it believes it; the bar has reached its end meanwhile.
    virtual void ConfirmingLastFrame() {}
};

} // namespace tamsivo
