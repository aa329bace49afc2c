#pragma once

#include "framework/DCView.h"

namespace tamsivo {

// The common base of the guards that change one attribute of a device context for the length of
// a block and put the value from before the first change back when they are destroyed, so that a
// routine drawing into a context it was handed leaves it as it found it. A guard borrows the
// context, which must outlive it; it lives in one block and is neither copied nor moved.
class DCAttributeGuard {
public:
    virtual ~DCAttributeGuard() = default;
    DCAttributeGuard(const DCAttributeGuard&) = delete;
    DCAttributeGuard& operator=(const DCAttributeGuard&) = delete;

    DCView Target() const noexcept { return dc_; }

protected:
    explicit DCAttributeGuard(DCView dc) noexcept : dc_(dc) {}

private:
    DCView dc_;
};

} // namespace tamsivo
