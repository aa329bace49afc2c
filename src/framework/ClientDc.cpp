#include "framework/ClientDc.h"

#include <utility>

namespace tamsivo {

ClientDc::ClientDc(HWND window) : window_(window), dc_(::GetDC(window)) {}

ClientDc::~ClientDc() {
    Release();
}

ClientDc::ClientDc(ClientDc&& other) noexcept
    : window_(std::exchange(other.window_, nullptr)), dc_(std::exchange(other.dc_, nullptr)) {}

ClientDc& ClientDc::operator=(ClientDc&& other) noexcept {
    if (this != &other) {
        Release();
        window_ = std::exchange(other.window_, nullptr);
        dc_ = std::exchange(other.dc_, nullptr);
    }
    return *this;
}

void ClientDc::Release() noexcept {
    if (dc_ != nullptr) {
        ::ReleaseDC(window_, dc_);
    }
    window_ = nullptr;
    dc_ = nullptr;
}

} // namespace tamsivo
