#include "controls/win32/TextColorGuard.h"

namespace tamsivo {

TextColorGuard::TextColorGuard(DCView dc, COLORREF color) : DCAttributeGuard(dc) {
    Set(color);
}

TextColorGuard::~TextColorGuard() {
    Restore();
}

void TextColorGuard::Set(COLORREF color) {
    const COLORREF previous = ::SetTextColor(Target().Handle(), color);
    if (!Saved()) {
        previous_ = previous;
    }
}

void TextColorGuard::Restore() {
    if (Saved()) {
        ::SetTextColor(Target().Handle(), previous_);
    }
    previous_ = kNothingSaved;
}

} // namespace tamsivo
