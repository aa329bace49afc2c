#include "ModalDriver.h"

#include <stdexcept>

namespace tamsivo::test {

namespace {

thread_local ModalDriver* currentDriver = nullptr;

} // namespace

ModalDriver::ModalDriver(Step step, UINT deadlineMs)
    : step_(std::move(step)), deadlineMs_(deadlineMs) {
    if (currentDriver != nullptr) {
        throw std::logic_error("ModalDriver: one driver per thread at a time");
    }
    hook_ = ::SetWindowsHookExW(WH_CALLWNDPROCRET, &ModalDriver::AfterWindowProc, nullptr,
                                ::GetCurrentThreadId());
    if (hook_ == nullptr) {
        throw std::runtime_error("ModalDriver: the window hook could not be set");
    }
    currentDriver = this;
}

ModalDriver::~ModalDriver() {
    ::UnhookWindowsHookEx(hook_);
    if (stepTimer_ != 0) {
        ::KillTimer(nullptr, stepTimer_);
    }
    if (watchdogTimer_ != 0) {
        ::KillTimer(nullptr, watchdogTimer_);
    }
    currentDriver = nullptr;
}

LRESULT CALLBACK ModalDriver::AfterWindowProc(int code, WPARAM wParam, LPARAM lParam) {
    ModalDriver* driver = currentDriver;
    if (code == HC_ACTION && driver != nullptr && driver->dialog_ == nullptr) {
        const auto& call = *reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        // Top-level dialogs only: the one the code under test opens, or its message box.
        if (call.message == WM_INITDIALOG &&
            ::GetAncestor(call.hwnd, GA_PARENT) == ::GetDesktopWindow()) {
            driver->dialog_ = call.hwnd;
            // Thread timers: their WM_TIMER reaches the dialog's modal loop, which has not
            // started yet while WM_INITDIALOG is being handled.
            driver->stepTimer_ = ::SetTimer(nullptr, 0, 0, &ModalDriver::OnStepTimer);
            driver->watchdogTimer_ =
                ::SetTimer(nullptr, 0, driver->deadlineMs_, &ModalDriver::OnWatchdogTimer);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK ModalDriver::OnStepTimer(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    ModalDriver* driver = currentDriver;
    if (driver == nullptr || id != driver->stepTimer_ || driver->stepRan_) {
        return;
    }
    driver->stepTimer_ = 0;
    driver->stepRan_ = true;
    driver->step_(driver->dialog_);
}

void CALLBACK ModalDriver::OnWatchdogTimer(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    ModalDriver* driver = currentDriver;
    if (driver == nullptr || id != driver->watchdogTimer_) {
        return;
    }
    driver->watchdogTimer_ = 0;
    if (::IsWindow(driver->dialog_)) {
        driver->watchdogExpired_ = true;
        ::EndDialog(driver->dialog_, kWatchdogResult);
    }
}

void ClickCentre(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    const LPARAM centre = MAKELPARAM(client.right / 2, client.bottom / 2);
    ::SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    ::SendMessageW(window, WM_LBUTTONUP, 0, centre);
}

} // namespace tamsivo::test
