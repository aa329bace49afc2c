#include "ui/win32/WindowReporter.h"

#include "ui/FlashNotifications.h"

namespace tamsivo {

void WindowReporter::Sized(std::uint32_t byteCount) {
    filter_.Start(byteCount);
    ::SendMessageW(window_, WM_FLASH_SIZE, 0, static_cast<LPARAM>(byteCount));
}

void WindowReporter::Progressed(std::uint32_t sent) {
    if (filter_.Passes(sent)) {
        ::SendMessageW(window_, WM_FLASH_PROGRESS, 0, static_cast<LPARAM>(sent));
    }
}

void WindowReporter::Ended(const RunEnd& end) {
    LPARAM lParam = 0;
    if (end.outcome == Outcome::Done) {
        lParam = static_cast<LPARAM>(end.sent);
    } else if (end.outcome == Outcome::PackageError) {
        lParam = static_cast<LPARAM>(end.packageError);
    }
    ::SendMessageW(window_, RowOf(end.outcome).notification, 0, lParam);
}

} // namespace tamsivo
