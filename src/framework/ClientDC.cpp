#include "framework/ClientDC.h"

#include <utility>

namespace tamsivo {

ClientDC::ClientDC(HWND window) : window_(window), dc_(::GetDC(window)) {}

ClientDC::~ClientDC() {
    Release();
}

ClientDC::ClientDC(ClientDC&& other) noexcept
    : window_(std::exchange(other.window_, nullptr)), dc_(std::exchange(other.dc_, nullptr)) {}

ClientDC& ClientDC::operator=(ClientDC&& other) noexcept {
    if (this != &other) {
        Release();
        window_ = std::exchange(other.window_, nullptr);
        dc_ = std::exchange(other.dc_, nullptr);
    }
    return *this;
}

void ClientDC::Release() noexcept {
    if (dc_ != nullptr) {
        ::ReleaseDC(window_, dc_);
    }
    window_ = nullptr;
    dc_ = nullptr;
}

} // namespace tamsivo
