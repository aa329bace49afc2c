#pragma once

#include "framework/DCView.h"

#include <windows.h>

namespace tamsivo {

// Saves the whole state of a device context (selected objects, colours, modes, clipping,
// origins) and restores it when destroyed, so that a routine drawing into a context it was
// handed leaves it as it found it whatever it changed meanwhile. It borrows the context, which
// must outlive it; guards on one context nest like a stack. Beside SelectGuard, which puts one
// selected object back, this is the one way our drawing code keeps a context's state.
class DCStateGuard {
public:
    explicit DCStateGuard(DCView dc) noexcept : dc_(dc.Handle()), saved_(::SaveDC(dc_)) {}
    ~DCStateGuard() {
        if (saved_ != 0) {
            ::RestoreDC(dc_, saved_);
        }
    }
    DCStateGuard(const DCStateGuard&) = delete;
    DCStateGuard& operator=(const DCStateGuard&) = delete;

private:
    HDC dc_;
    int saved_;
};

} // namespace tamsivo
