#include "framework/ClientDC.h"

namespace tamsivo {

ClientDC::ClientDC(HWND window) : window_(window), dc_(::GetDC(window)) {}

ClientDC::~ClientDC() {
    Release();
}

void ClientDC::Release() noexcept {
    if (dc_ != nullptr) {
        ::ReleaseDC(window_, dc_);
    }
    window_ = nullptr;
    dc_ = nullptr;
}

} // namespace tamsivo
