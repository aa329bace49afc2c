#include "controls/win32/TextAlignGuard.h"

namespace tamsivo {

TextAlignGuard::TextAlignGuard(DCView dc, UINT flags) : DCAttributeGuard(dc) {
    Set(flags);
}

TextAlignGuard::~TextAlignGuard() {
    Restore();
}

void TextAlignGuard::Set(UINT flags) {
    const UINT previous = ::SetTextAlign(Target().Handle(), flags);
    if (!Saved()) {
        previous_ = previous;
    }
}

void TextAlignGuard::Restore() {
    if (Saved()) {
        ::SetTextAlign(Target().Handle(), previous_);
    }
    previous_ = kNothingSaved;
}

} // namespace tamsivo
