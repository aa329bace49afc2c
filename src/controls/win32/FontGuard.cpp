#include "controls/win32/FontGuard.h"

#include <utility>

namespace tamsivo {

FontGuard::FontGuard(DCView dc, HFONT font) : DCAttributeGuard(dc) {
    Set(font);
}

FontGuard::FontGuard(DCView dc, Font font) : DCAttributeGuard(dc), owned_(std::move(font)) {
    Set(owned_.Get());
}

FontGuard::~FontGuard() {
    Restore();
}

void FontGuard::Set(HFONT font) {
    HGDIOBJ previous = nullptr;
    if (font != nullptr) {
        previous = ::SelectObject(Target().Handle(), font);
    }
    if (!Saved()) {
        previous_ = previous;
    }
}

void FontGuard::Restore() {
    if (Saved()) {
        ::SelectObject(Target().Handle(), previous_);
    }
    previous_ = nullptr;
    // Only now is the guard's own font out of the context and free to go.
    owned_.Reset();
}

} // namespace tamsivo
