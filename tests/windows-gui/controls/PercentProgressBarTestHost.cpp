#include "PercentProgressBarTestHost.h"

#include <algorithm>

#include <commctrl.h>

namespace tamsivo::test {

namespace {

void RegisterProgressClass() {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
        return ::InitCommonControlsEx(&init) != FALSE;
    }();
    (void)registered;
}

} // namespace

PercentProgressBarTestHost::PercentProgressBarTestHost(int clientWidth, int clientHeight,
                                                       DWORD style, bool visible)
    : width_(clientWidth), height_(clientHeight), canvas_(clientWidth, clientHeight, kUnpainted) {
    RegisterProgressClass();
    hwnd_ = ::CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_POPUP | style, 0, 0, clientWidth,
                              clientHeight, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (hwnd_ == nullptr) {
        return;
    }
    // The control gives itself a frame: grow the window until the client area is as asked.
    RECT window{};
    RECT client{};
    ::GetWindowRect(hwnd_, &window);
    ::GetClientRect(hwnd_, &client);
    const int frameX = (window.right - window.left) - client.right;
    const int frameY = (window.bottom - window.top) - client.bottom;
    ::SetWindowPos(hwnd_, nullptr, 0, 0, clientWidth + frameX, clientHeight + frameY,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    subclassed_ = bar_.SubclassWindow(hwnd_);
    if (visible) {
        ::ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
        ::UpdateWindow(hwnd_);
    }
}

PercentProgressBarTestHost::~PercentProgressBarTestHost() {
    if (hwnd_ != nullptr) {
        ::DestroyWindow(hwnd_);
    }
}

bool PercentProgressBarTestHost::Ready() const {
    if (hwnd_ == nullptr || !subclassed_ || !canvas_) {
        return false;
    }
    RECT client{};
    ::GetClientRect(hwnd_, &client);
    return client.right == width_ && client.bottom == height_;
}

const BufferedDCTestCanvas& PercentProgressBarTestHost::Print() {
    canvas_.Fill(kUnpainted);
    ::SendMessageW(hwnd_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas_.Handle()), PRF_CLIENT);
    return canvas_;
}

PercentProgressBarInk FindInk(const BufferedDCTestCanvas& canvas, COLORREF color) {
    return FindInk(canvas, color, RECT{0, 0, canvas.Width(), canvas.Height()});
}

PercentProgressBarInk FindInk(const BufferedDCTestCanvas& canvas, COLORREF color,
                              const RECT& within) {
    PercentProgressBarInk ink;
    ink.bounds = RECT{within.right, within.bottom, within.left, within.top};
    for (int y = within.top; y < within.bottom; ++y) {
        for (int x = within.left; x < within.right; ++x) {
            if (canvas.Pixel(x, y) == color) {
                ++ink.count;
                ink.bounds.left = std::min<LONG>(ink.bounds.left, x);
                ink.bounds.top = std::min<LONG>(ink.bounds.top, y);
                ink.bounds.right = std::max<LONG>(ink.bounds.right, x + 1);
                ink.bounds.bottom = std::max<LONG>(ink.bounds.bottom, y + 1);
            }
        }
    }
    if (ink.count == 0) {
        ink.bounds = RECT{0, 0, 0, 0};
    }
    return ink;
}

std::vector<bool> InkMask(const BufferedDCTestCanvas& canvas, COLORREF first, COLORREF second) {
    std::vector<bool> mask;
    mask.reserve(static_cast<size_t>(canvas.Width()) * canvas.Height());
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            const COLORREF pixel = canvas.Pixel(x, y);
            mask.push_back(pixel == first || pixel == second);
        }
    }
    return mask;
}

} // namespace tamsivo::test
