#include "framework/SelectGuard.h"

#include <utility>

namespace tamsivo {

SelectGuard::SelectGuard(DCView dc, HGDIOBJ object, int) : dc_(dc.Handle()) {
    if (dc_ != nullptr && object != nullptr) {
        previous_ = ::SelectObject(dc_, object);
        // SelectObject reports failure as HGDI_ERROR for bitmaps and as null for the others.
        if (previous_ == HGDI_ERROR) {
            previous_ = nullptr;
        }
    }
}

SelectGuard::SelectGuard(SelectGuard&& other) noexcept
    : dc_(std::exchange(other.dc_, nullptr)), previous_(std::exchange(other.previous_, nullptr)) {}

SelectGuard& SelectGuard::operator=(SelectGuard&& other) noexcept {
    if (this != &other) {
        Restore();
        dc_ = std::exchange(other.dc_, nullptr);
        previous_ = std::exchange(other.previous_, nullptr);
    }
    return *this;
}

void SelectGuard::Restore() noexcept {
    if (dc_ != nullptr && previous_ != nullptr) {
        ::SelectObject(dc_, previous_);
    }
    dc_ = nullptr;
    previous_ = nullptr;
}

} // namespace tamsivo
