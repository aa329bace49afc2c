#pragma once

#include <functional>

#include <windows.h>

namespace tamsivo::test {

// Drives a modal dialog that code under test opens by itself (a template dialog or a message
// box): catches the next dialog the calling thread initialises and runs `step` with it from
// inside that dialog's own modal loop, once, after initialisation. The step acts as a user
// would (posts keys, presses buttons) and normally ends the dialog. A watchdog ends a dialog
// still open after `deadlineMs` with kWatchdogResult, so that a fault fails the test instead
// of hanging it. One driver per thread at a time.
class ModalDriver {
public:
    using Step = std::function<void(HWND dialog)>;

    static constexpr INT_PTR kWatchdogResult = 0x7D07;

    explicit ModalDriver(Step step, UINT deadlineMs = 20000);
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    // A dialog was initialised while the driver was armed.
    bool SawDialog() const noexcept { return dialog_ != nullptr; }
    bool StepRan() const noexcept { return stepRan_; }
    bool WatchdogExpired() const noexcept { return watchdogExpired_; }

private:
    static LRESULT CALLBACK AfterWindowProc(int code, WPARAM wParam, LPARAM lParam);
    static void CALLBACK OnStepTimer(HWND, UINT, UINT_PTR id, DWORD);
    static void CALLBACK OnWatchdogTimer(HWND, UINT, UINT_PTR id, DWORD);

    Step step_;
    UINT deadlineMs_;
    HHOOK hook_ = nullptr;
    HWND dialog_ = nullptr;
    UINT_PTR stepTimer_ = 0;
    UINT_PTR watchdogTimer_ = 0;
    bool stepRan_ = false;
    bool watchdogExpired_ = false;
};

// Presses and releases the left mouse button at the centre of `window`, as a user's click
// reaches it.
void ClickCentre(HWND window);

} // namespace tamsivo::test
