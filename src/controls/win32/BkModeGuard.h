#pragma once

#include "controls/win32/DCAttributeGuard.h"

namespace tamsivo {

// Sets the background mode of a context (OPAQUE, TRANSPARENT) for the length of a block.
class BkModeGuard final : public DCAttributeGuard {
public:
    BkModeGuard(DCView dc, int mode);
    ~BkModeGuard() override;

    // Changes the mode again; the mode from before the first change is the one kept.
    void Set(int mode);
    // Puts the kept mode back, if any; nothing is kept afterwards.
    void Restore();
    bool Saved() const noexcept { return previous_ != kNothingSaved; }

private:
    // SetBkMode's failure value: a mode it refused leaves nothing to restore.
    static constexpr int kNothingSaved = 0;
    int previous_ = kNothingSaved;
};

} // namespace tamsivo
