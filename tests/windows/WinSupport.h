#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <windows.h>

namespace tamsivo::test {

// Serves this thread's messages, other threads' sends included, until `done` or the deadline;
// returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD deadlineMs = 10000);

// An environment variable as the system keeps it, or as Windows-1251 text; empty when unset.
std::wstring WideEnvironment(const wchar_t* name);
std::string Environment(const wchar_t* name);

// A picture of a window's client area as its paint routine draws it into any context: the
// window is asked to print itself (WM_PRINTCLIENT) into a 32-bit memory bitmap.
class Picture {
public:
    explicit Picture(HWND window);
    COLORREF At(int x, int y) const;
    // How many pixels of `rect` have exactly `color`.
    int Count(COLORREF color, RECT rect) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_;
};

// Runs `step` once with the next dialog box this thread opens (a template dialog or a message
// box), from inside that dialog's own modal loop, as a user acting on it would. A dialog still
// open after the deadline is ended with kWatchdogResult, so that a fault fails the test
// instead of hanging it. One at a time per thread.
class ModalStep {
public:
    static constexpr INT_PTR kWatchdogResult = 0x7D07;
    explicit ModalStep(std::function<void(HWND dialog)> step, DWORD deadlineMs = 20000);
    ~ModalStep();
    ModalStep(const ModalStep&) = delete;
    ModalStep& operator=(const ModalStep&) = delete;
    bool Saw() const { return dialog_ != nullptr; }

private:
    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD);
    std::function<void(HWND)> step_;
    ULONGLONG deadline_;
    std::vector<HWND> before_; // the dialogs that were open already
    UINT_PTR timer_ = 0;
    HWND dialog_ = nullptr;
};

// The text of a dialog's control or of any window, as Windows-1251.
std::string TextOf(HWND window);
std::string TextOf(HWND dialog, int controlId);
// Presses a button or notifies a click on a static control, as a click by the user does.
void Click(HWND dialog, int controlId);
// Queues the command of such a click, as a click on a busy window does, and returns at once.
void PostClick(HWND dialog, int controlId);

} // namespace tamsivo::test
