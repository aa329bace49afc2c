#include "framework/MemoryDc.h"

#include <utility>

namespace tamsivo {

MemoryDc::MemoryDc(DcView like) : dc_(::CreateCompatibleDC(like.Handle())) {}

MemoryDc::~MemoryDc() {
    if (dc_ != nullptr) {
        ::DeleteDC(dc_);
    }
}

MemoryDc::MemoryDc(MemoryDc&& other) noexcept : dc_(std::exchange(other.dc_, nullptr)) {}

MemoryDc& MemoryDc::operator=(MemoryDc&& other) noexcept {
    if (this != &other) {
        if (dc_ != nullptr) {
            ::DeleteDC(dc_);
        }
        dc_ = std::exchange(other.dc_, nullptr);
    }
    return *this;
}

} // namespace tamsivo
