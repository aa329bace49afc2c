#include "controls/win32/BkModeGuard.h"

#include <windows.h>

namespace tamsivo {

BkModeGuard::BkModeGuard(DCView dc, int mode) : DCAttributeGuard(dc) {
    Set(mode);
}

BkModeGuard::~BkModeGuard() {
    Restore();
}

void BkModeGuard::Set(int mode) {
    const int previous = ::SetBkMode(Target().Handle(), mode);
    if (!Saved()) {
        previous_ = previous;
    }
}

void BkModeGuard::Restore() {
    if (Saved()) {
        ::SetBkMode(Target().Handle(), previous_);
    }
    previous_ = kNothingSaved;
}

} // namespace tamsivo
