#pragma once

#include <vector>

#include <windows.h>

namespace tamsivo::test {

// A hidden window whose own procedure records the user messages and WM_NCDESTROY that reach
// it: the "original procedure" a subclassing replaces. It answers a user message with
// wParam * 2 + lParam.
class RecorderWindow {
public:
    struct Received {
        UINT id;
        WPARAM wParam;
        LPARAM lParam;
        bool operator==(const Received&) const = default;
    };

    RecorderWindow();
    ~RecorderWindow();
    RecorderWindow(const RecorderWindow&) = delete;
    RecorderWindow& operator=(const RecorderWindow&) = delete;

    HWND Hwnd() const { return hwnd_; }
    const std::vector<Received>& Log() const { return log_; }
    bool Saw(UINT id) const;
    // Destroys the window now.
    void Destroy();

    static WNDPROC Procedure() { return &RecorderWindow::Proc; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    std::vector<Received> log_;
};

} // namespace tamsivo::test
