#pragma once

#include "framework/DCView.h"

#include <windows.h>

namespace tamsivo {

// A window's client-area context (GetDC), released with ReleaseDC.
class ClientDC {
public:
    ClientDC() = default;
    explicit ClientDC(HWND window);
    ~ClientDC();
    ClientDC(const ClientDC&) = delete;
    ClientDC& operator=(const ClientDC&) = delete;
    ClientDC(ClientDC&&) = delete;
    ClientDC& operator=(ClientDC&&) = delete;

    DCView View() const noexcept { return DCView(dc_); }
    operator DCView() const noexcept { return View(); }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

    // Releases the context now; the object is empty afterwards.
    void Release() noexcept;

private:
    HWND window_ = nullptr;
    HDC dc_ = nullptr;
};

} // namespace tamsivo
