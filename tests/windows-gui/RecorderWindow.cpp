#include "RecorderWindow.h"

#include <algorithm>

namespace tamsivo::test {
namespace {

constexpr const wchar_t* kClassName = L"TamsivoTestRecorder";

void RegisterRecorderClass(WNDPROC procedure) {
    static const ATOM atom = [procedure] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        return ::RegisterClassW(&windowClass);
    }();
    (void)atom;
}

} // namespace

RecorderWindow::RecorderWindow() {
    RegisterRecorderClass(&RecorderWindow::Proc);
    hwnd_ = ::CreateWindowExW(0, kClassName, L"", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr,
                              ::GetModuleHandleW(nullptr), this);
}

RecorderWindow::~RecorderWindow() {
    Destroy();
}

void RecorderWindow::Destroy() {
    if (hwnd_ != nullptr && ::IsWindow(hwnd_)) {
        ::DestroyWindow(hwnd_);
    }
    hwnd_ = nullptr;
}

bool RecorderWindow::Saw(UINT id) const {
    return std::any_of(log_.begin(), log_.end(), [id](const Received& r) { return r.id == id; });
}

LRESULT CALLBACK RecorderWindow::Proc(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam) {
    if (id == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<RecorderWindow*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr && (id >= WM_USER || id == WM_NCDESTROY)) {
        self->log_.push_back(Received{id, wParam, lParam});
        if (id >= WM_USER && id < WM_APP) {
            return static_cast<LRESULT>(wParam) * 2 + lParam;
        }
    }
    return ::DefWindowProcW(hwnd, id, wParam, lParam);
}

} // namespace tamsivo::test
