#pragma once

#include <cstdint>

namespace tamsivo {

// Receives a flash run's notifications (WM_FLASH_*) in order. Report returns only once the
// receiver has handled the notification, as a synchronous window message does.
class FlashReporter {
public:
    virtual ~FlashReporter() = default;
    virtual void Report(unsigned message, std::int64_t lParam) = 0;
};

} // namespace tamsivo
