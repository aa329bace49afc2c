#pragma once

#include <utility>

#include <windows.h>

namespace tamsivo {

// Sole owner of one kernel object handle (a thread, an event, a mutex): closes it when
// destroyed or replaced. Move-only. Null is the empty value; functions that fail with
// INVALID_HANDLE_VALUE are turned into null by the caller before the handle is taken.
class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE handle) noexcept : handle_(handle) {}
    ~OwnedHandle() { Reset(); }

    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) {
            Reset(std::exchange(other.handle_, nullptr));
        }
        return *this;
    }

    HANDLE Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

    // Closes the current handle, then owns `handle`.
    void Reset(HANDLE handle = nullptr) noexcept {
        if (handle_ != nullptr && handle_ != handle) {
            ::CloseHandle(handle_);
        }
        handle_ = handle;
    }

private:
    HANDLE handle_ = nullptr;
};

} // namespace tamsivo
