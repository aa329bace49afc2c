#pragma once

#include "framework/DcView.h"

#include <windows.h>

namespace tamsivo {

// A window's client-area context (GetDC), released with ReleaseDC. Move-only.
class ClientDc {
public:
    ClientDc() = default;
    explicit ClientDc(HWND window);
    ~ClientDc();
    ClientDc(const ClientDc&) = delete;
    ClientDc& operator=(const ClientDc&) = delete;
    ClientDc(ClientDc&& other) noexcept;
    ClientDc& operator=(ClientDc&& other) noexcept;

    DcView View() const noexcept { return DcView(dc_); }
    operator DcView() const noexcept { return View(); }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

    // Releases the context now; the object is empty afterwards.
    void Release() noexcept;

private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

} // namespace tamsivo
