#include "framework/MemoryDC.h"

#include <utility>

namespace tamsivo {

MemoryDC::MemoryDC(DCView like) : dc_(::CreateCompatibleDC(like.Handle())) {}

MemoryDC::~MemoryDC() {
    if (dc_ != nullptr) {
        ::DeleteDC(dc_);
    }
}

MemoryDC::MemoryDC(MemoryDC&& other) noexcept : dc_(std::exchange(other.dc_, nullptr)) {}

MemoryDC& MemoryDC::operator=(MemoryDC&& other) noexcept {
    if (this != &other) {
        if (dc_ != nullptr) {
            ::DeleteDC(dc_);
        }
        dc_ = std::exchange(other.dc_, nullptr);
    }
    return *this;
}

} // namespace tamsivo
