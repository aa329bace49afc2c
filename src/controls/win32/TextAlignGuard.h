#pragma once

#include "controls/win32/DCAttributeGuard.h"

#include <windows.h>

namespace tamsivo {

// Sets the text alignment flags of a context (TA_CENTER | TA_BOTTOM, say) for the length of a
// block.
class TextAlignGuard final : public DCAttributeGuard {
public:
    TextAlignGuard(DCView dc, UINT flags);
    ~TextAlignGuard() override;

    // Changes the flags again; the flags from before the first change are the ones kept.
    void Set(UINT flags);
    // Puts the kept flags back, if any; nothing is kept afterwards.
    void Restore();
    bool Saved() const noexcept { return previous_ != kNothingSaved; }

private:
    // SetTextAlign's failure value (GDI_ERROR).
    static constexpr UINT kNothingSaved = 0xFFFFFFFF;
    UINT previous_ = kNothingSaved;
};

} // namespace tamsivo
