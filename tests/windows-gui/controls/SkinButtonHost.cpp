#include "SkinButtonHost.h"

namespace tamsivo::test {
namespace {

constexpr const wchar_t* kClassName = L"TamsivoSkinButtonHost";

} // namespace

const MessageEntry SkinButtonHost::messageEntries[] = {
    On<WM_COMMAND, &SkinButtonHost::OnCommand>(),
};
const MessageMap SkinButtonHost::messageMap{&Window::messageMap, messageEntries};

SkinButtonHost::SkinButtonHost(int left, int top) {
    static const ATOM registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &::DefWindowProcW;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH));
        windowClass.lpszClassName = kClassName;
        return ::RegisterClassExW(&windowClass);
    }();
    (void)registered;
    const HWND hwnd =
        ::CreateWindowExW(0, kClassName, L"SkinButton host", WS_POPUP | WS_VISIBLE, left, top, 400,
                          300, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    SubclassWindow(hwnd);
    UpdateWindow();
}

SkinButtonHost::~SkinButtonHost() {
    if (const HWND hwnd = Hwnd()) {
        ::DestroyWindow(hwnd);
    }
}

HWND SkinButtonHost::AddButton(const std::wstring& caption, int controlId, const RECT& rect) const {
    return ::CreateWindowExW(0, L"BUTTON", caption.c_str(),
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, rect.left,
                             rect.top, rect.right - rect.left, rect.bottom - rect.top, Hwnd(),
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId)),
                             ::GetModuleHandleW(nullptr), nullptr);
}

int SkinButtonHost::Count(UINT code, int controlId) const {
    int count = 0;
    for (const Command& command : commands_) {
        count += (command.code == code && command.controlId == controlId) ? 1 : 0;
    }
    return count;
}

LRESULT SkinButtonHost::OnCommand(WPARAM wParam, LPARAM) {
    commands_.push_back(Command{HIWORD(wParam), LOWORD(wParam)});
    return 0;
}

} // namespace tamsivo::test
