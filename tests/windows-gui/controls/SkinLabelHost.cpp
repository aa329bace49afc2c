#include "SkinLabelHost.h"

namespace tamsivo::test {
namespace {

constexpr const wchar_t* kClassName = L"TamsivoSkinLabelHost";

} // namespace

SkinLabelHost::SkinLabelHost(bool visible) : brush_(::CreateSolidBrush(kColor)) {
    static const ATOM registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &SkinLabelHost::Proc;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.lpszClassName = kClassName;
        return ::RegisterClassExW(&windowClass);
    }();
    (void)registered;
    hwnd_ =
        ::CreateWindowExW(0, kClassName, L"SkinLabel host", WS_POPUP | (visible ? WS_VISIBLE : 0),
                          40, 40, 420, 320, nullptr, nullptr, ::GetModuleHandleW(nullptr), this);
    if (visible) {
        ::UpdateWindow(hwnd_);
    }
}

SkinLabelHost::~SkinLabelHost() {
    ::DestroyWindow(hwnd_);
    ::DeleteObject(brush_);
}

HWND SkinLabelHost::AddStatic(const std::wstring& text, DWORD style, int x, int y, int width,
                              int height, int controlId) const {
    return ::CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, width,
                             height, hwnd_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
                             ::GetModuleHandleW(nullptr), nullptr);
}

LRESULT CALLBACK SkinLabelHost::Proc(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam) {
    if (id == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                            reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<SkinLabelHost*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) {
        return ::DefWindowProcW(hwnd, id, wParam, lParam);
    }
    switch (id) {
    case WM_COMMAND:
        self->events_.push_back(
            Event{WM_COMMAND, HIWORD(wParam), LOWORD(wParam), reinterpret_cast<HWND>(lParam)});
        return 0;
    case WM_NOTIFY: {
        const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
        self->events_.push_back(Event{WM_NOTIFY, header.code, header.idFrom, header.hwndFrom});
        return 0;
    }
    case WM_CTLCOLORSTATIC:
        ++self->colorRequests_;
        break;
    case WM_ERASEBKGND: {
        RECT client{};
        ::GetClientRect(hwnd, &client);
        ::FillRect(reinterpret_cast<HDC>(wParam), &client, self->brush_);
        return TRUE;
    }
    default:
        break;
    }
    return ::DefWindowProcW(hwnd, id, wParam, lParam);
}

} // namespace tamsivo::test
