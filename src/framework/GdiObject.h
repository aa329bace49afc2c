#pragma once

#include <utility>

#include <windows.h>

namespace tamsivo {

// Sole owner of one GDI object: deletes it when destroyed or replaced. Move-only. An object
// still selected into a device context cannot be deleted, so a SelectGuard that selects it must
// be declared after its owner (and after the context), which makes the guard put the old object
// back first.
template <class Handle> class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) noexcept : handle_(handle) {}
    ~GdiObject() { Reset(); }

    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;
    GdiObject(GdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.handle_, nullptr));
        }
        return *this;
    }

    Handle Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

    // Gives the object up without deleting it.
    Handle Release() noexcept { return std::exchange(handle_, nullptr); }

    // Deletes the current object, then owns `handle`.
    void Reset(Handle handle = nullptr) noexcept {
        if (handle_ != nullptr && handle_ != handle) {
            ::DeleteObject(handle_);
        }
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

using Brush = GdiObject<HBRUSH>;
using Font = GdiObject<HFONT>;
using Bitmap = GdiObject<HBITMAP>;
using Region = GdiObject<HRGN>;

} // namespace tamsivo
