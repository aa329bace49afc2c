#include "controls/win32/SkinButtonToolTip.h"

#include "framework/WideText.h"

#include <string>

#include <commctrl.h>

namespace tamsivo {
namespace {

// The tool record of the first common-controls version: later versions accept it, while a
// record of the newest size is refused by the older library a program without a manifest gets.
TTTOOLINFOW ToolOf(HWND button, wchar_t* text) {
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V1_SIZE;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = ::GetParent(button);
    tool.uId = reinterpret_cast<UINT_PTR>(button);
    tool.lpszText = text;
    return tool;
}

} // namespace

SkinButtonToolTip::~SkinButtonToolTip() {
    // The tip is an owned pop-up: destroying its owner first has already destroyed it.
    if (hwnd_ != nullptr && ::IsWindow(hwnd_)) {
        ::DestroyWindow(hwnd_);
    }
}

bool SkinButtonToolTip::Create(HWND button, std::string_view text) {
    const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&classes);
    hwnd_ = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, button, nullptr,
                              ::GetModuleHandleW(nullptr), nullptr);
    if (hwnd_ == nullptr) {
        return false;
    }
    std::wstring wide = Widen(text);
    TTTOOLINFOW tool = ToolOf(button, wide.data());
    if (::SendMessageW(hwnd_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) == FALSE) {
        return false;
    }
    ::SendMessageW(hwnd_, TTM_ACTIVATE, TRUE, 0);
    return true;
}

void SkinButtonToolTip::UpdateText(HWND button, std::string_view text) const {
    if (hwnd_ == nullptr) {
        return;
    }
    std::wstring wide = Widen(text);
    TTTOOLINFOW tool = ToolOf(button, wide.data());
    ::SendMessageW(hwnd_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void SkinButtonToolTip::Relay(HWND button, UINT message, WPARAM wParam, LPARAM lParam) const {
    if (hwnd_ == nullptr) {
        return;
    }
    MSG record{};
    record.hwnd = button;
    record.message = message;
    record.wParam = wParam;
    record.lParam = lParam;
    record.time = 0;
    record.pt = POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    ::SendMessageW(hwnd_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&record));
}

} // namespace tamsivo
