#pragma once

#include "framework/DCView.h"

#include <windows.h>

namespace tamsivo {

// A memory context (CreateCompatibleDC), deleted with DeleteDC. Move-only. It starts with a
// one-pixel monochrome bitmap selected; select a bitmap of your own through a SelectGuard.
class MemoryDC {
public:
    MemoryDC() = default;
    // Compatible with `like`, or with the screen when `like` is empty.
    explicit MemoryDC(DCView like);
    ~MemoryDC();
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    MemoryDC(MemoryDC&& other) noexcept;
    MemoryDC& operator=(MemoryDC&& other) noexcept;

    DCView View() const noexcept { return DCView(dc_); }
    operator DCView() const noexcept { return View(); }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HDC dc_ = nullptr;
};

} // namespace tamsivo
