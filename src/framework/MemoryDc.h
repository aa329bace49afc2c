#pragma once

#include "framework/DcView.h"

#include <windows.h>

namespace tamsivo {

// A memory context (CreateCompatibleDC), deleted with DeleteDC. Move-only. It starts with a
// one-pixel monochrome bitmap selected; select a bitmap of your own through a SelectGuard.
class MemoryDc {
public:
    MemoryDc() = default;
    // Compatible with `like`, or with the screen when `like` is empty.
    explicit MemoryDc(DcView like);
    ~MemoryDc();
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    MemoryDc(MemoryDc&& other) noexcept;
    MemoryDc& operator=(MemoryDc&& other) noexcept;

    DcView View() const noexcept { return DcView(dc_); }
    operator DcView() const noexcept { return View(); }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HDC dc_ = nullptr;
};

} // namespace tamsivo
