#pragma once

#include "controls/win32/DCAttributeGuard.h"
#include "framework/GdiObject.h"

#include <windows.h>

namespace tamsivo {

// Selects a font into a context for the length of a block. The font is either borrowed (its
// owner is declared before the guard, so the previous font is back before the owner deletes it)
// or handed to the guard, which deletes it once the previous font is back: handy for a font
// made for one drawing only, a rotated one say.
class FontGuard final : public DCAttributeGuard {
public:
    FontGuard(DCView dc, HFONT font);
    FontGuard(DCView dc, Font font);
    ~FontGuard() override;

    // Selects another (borrowed) font; the font from before the first change is the one kept.
    void Set(HFONT font);
    // Puts the kept font back, if any, then deletes the font the guard was handed; nothing is
    // kept afterwards.
    void Restore();
    bool Saved() const noexcept { return previous_ != nullptr; }

private:
    // Null is SelectObject's failure value (and what a null font gives): nothing to restore.
    HGDIOBJ previous_ = nullptr;
    Font owned_;
};

} // namespace tamsivo
