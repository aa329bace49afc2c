#include "flash/win32/WindowReporter.h"

namespace tamsivo {

void WindowReporter::Report(unsigned message, std::int64_t lParam) {
    ::SendMessageW(window_, message, 0, static_cast<LPARAM>(lParam));
}

} // namespace tamsivo
