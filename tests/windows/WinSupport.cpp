#include "WinSupport.h"

#include "framework/GdiObject.h"
#include "framework/MemoryDC.h"
#include "framework/SelectGuard.h"
#include "framework/WideText.h"

#include <algorithm>
#include <vector>

namespace tamsivo::test {

bool PumpUntil(const std::function<bool()>& done, DWORD deadlineMs) {
    const ULONGLONG deadline = ::GetTickCount64() + deadlineMs;
    while (!done() && ::GetTickCount64() < deadline) {
        ::MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG message{};
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    return done();
}

std::wstring WideEnvironment(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD length = ::GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

std::string Environment(const wchar_t* name) {
    return Narrow(WideEnvironment(name));
}

Picture::Picture(HWND window) {
    RECT client{};
    ::GetClientRect(window, &client);
    width_ = client.right;
    height_ = client.bottom;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width_, -height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    const Bitmap bitmap(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    const MemoryDC dc{DCView(nullptr)};
    const SelectGuard selected(dc.View(), bitmap);
    ::SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.View().Handle()),
                   PRF_CLIENT);
    ::GdiFlush();
    const auto* first = static_cast<const std::uint32_t*>(bits);
    pixels_.assign(first, first + static_cast<std::size_t>(width_) * height_);
}

COLORREF Picture::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return CLR_INVALID;
    }
    const std::uint32_t pixel = pixels_[static_cast<std::size_t>(y) * width_ + x];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

int Picture::Count(COLORREF color, RECT rect) const {
    int count = 0;
    for (int y = rect.top; y < rect.bottom; ++y) {
        for (int x = rect.left; x < rect.right; ++x) {
            count += At(x, y) == color ? 1 : 0;
        }
    }
    return count;
}

namespace {
thread_local ModalStep* currentStep = nullptr;

// This thread's visible dialog boxes.
std::vector<HWND> Dialogs() {
    std::vector<HWND> found;
    HWND window = nullptr;
    while ((window = ::FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr) {
        if (::GetWindowThreadProcessId(window, nullptr) == ::GetCurrentThreadId() &&
            ::IsWindowVisible(window)) {
            found.push_back(window);
        }
    }
    return found;
}
} // namespace

ModalStep::ModalStep(std::function<void(HWND)> step, DWORD deadlineMs)
    : step_(std::move(step)), deadline_(::GetTickCount64() + deadlineMs), before_(Dialogs()) {
    currentStep = this;
    // A thread timer: its WM_TIMER reaches whichever modal loop runs on this thread.
    timer_ = ::SetTimer(nullptr, 0, 20, &ModalStep::OnTimer);
}

ModalStep::~ModalStep() {
    ::KillTimer(nullptr, timer_);
    currentStep = nullptr;
}

void CALLBACK ModalStep::OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    ModalStep* self = currentStep;
    if (self == nullptr) {
        return;
    }
    if (self->dialog_ == nullptr) {
        for (HWND dialog : Dialogs()) {
            if (std::ranges::find(self->before_, dialog) == self->before_.end()) {
                self->dialog_ = dialog;
                self->step_(dialog);
                return;
            }
        }
    } else if (::GetTickCount64() > self->deadline_ && ::IsWindow(self->dialog_)) {
        ::EndDialog(self->dialog_, kWatchdogResult);
    }
}

std::string TextOf(HWND window) {
    wchar_t text[1024] = {};
    ::SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return Narrow(text);
}

std::string TextOf(HWND dialog, int controlId) {
    return TextOf(::GetDlgItem(dialog, controlId));
}

void Click(HWND dialog, int controlId) {
    ::SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, controlId)));
}

void PostClick(HWND dialog, int controlId) {
    ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog, controlId)));
}

} // namespace tamsivo::test
