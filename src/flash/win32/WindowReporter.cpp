#include "flash/win32/WindowReporter.h"

namespace tamsivo {

void WindowReporter::Report(unsigned message, std::int64_t lParam) {
    if (filter_.Passes(message, lParam)) {
        ::SendMessageW(window_, message, 0, static_cast<LPARAM>(lParam));
    }
}

} // namespace tamsivo
