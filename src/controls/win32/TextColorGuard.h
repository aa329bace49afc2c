#pragma once

#include "controls/win32/DCAttributeGuard.h"

#include <windows.h>

namespace tamsivo {

// Sets the text colour of a context for the length of a block.
class TextColorGuard final : public DCAttributeGuard {
public:
    TextColorGuard(DCView dc, COLORREF color);
    ~TextColorGuard() override;

    // Changes the colour again (one text in two colours, say); the colour from before the first
    // change is the one kept.
    void Set(COLORREF color);
    // Puts the kept colour back, if any; nothing is kept afterwards.
    void Restore();
    bool Saved() const noexcept { return previous_ != kNothingSaved; }

private:
    // SetTextColor's failure value, which no real colour has.
    static constexpr COLORREF kNothingSaved = CLR_INVALID;
    COLORREF previous_ = kNothingSaved;
};

} // namespace tamsivo
