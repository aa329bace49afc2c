#include "ControlActions.h"

#include "text/Cp1251.h"

#include <commctrl.h>

#include <algorithm>
#include <cwctype>

namespace tamsivo::test {
namespace {

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result,
          std::string* error) {
    DWORD_PTR value = 0;
    if (::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                              ControlActions::kSendTimeoutMs, &value) == 0) {
        *error = "message " + std::to_string(message) + " got no answer (error " +
                 std::to_string(::GetLastError()) + ")";
        return false;
    }
    if (result != nullptr) {
        *result = value;
    }
    return true;
}

bool Post(HWND window, UINT message, WPARAM wParam, LPARAM lParam, std::string* error) {
    if (!::PostMessageW(window, message, wParam, lParam)) {
        *error = "PostMessage " + std::to_string(message) + " failed (error " +
                 std::to_string(::GetLastError()) + ")";
        return false;
    }
    return true;
}

std::string ToCp1251(const std::wstring& text) {
    return Utf16ToCp1251(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

bool IsButton(HWND window) {
    wchar_t name[32] = {};
    ::GetClassNameW(window, name, 32);
    return ::lstrcmpiW(name, L"Button") == 0;
}

bool Reachable(HWND control, std::string* error) {
    if (!::IsWindowVisible(control)) {
        *error = "the control is hidden";
        return false;
    }
    if (!::IsWindowEnabled(control)) {
        *error = "the control is disabled";
        return false;
    }
    return true;
}

LPARAM ClientPoint(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y));
}

bool SendButton(DWORD flags, std::string* error) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (::SendInput(1, &input, sizeof(input)) != 1) {
        *error = "SendInput failed (error " + std::to_string(::GetLastError()) + ")";
        return false;
    }
    return true;
}

bool MoveCursor(int x, int y, std::string* error) {
    if (!::SetCursorPos(x, y)) {
        *error = "SetCursorPos failed (error " + std::to_string(::GetLastError()) + ")";
        return false;
    }
    return true;
}

} // namespace

bool ControlActions::Text(HWND window, std::string* text, std::string* error) {
    DWORD_PTR length = 0;
    if (!Send(window, WM_GETTEXTLENGTH, 0, 0, &length, error)) {
        return false;
    }
    std::wstring buffer(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!Send(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), &copied,
              error)) {
        return false;
    }
    buffer.resize(copied);
    *text = ToCp1251(buffer);
    return true;
}

bool ControlActions::ListItems(HWND list, std::vector<std::string>* items, int* selected,
                               std::string* error) {
    DWORD_PTR count = 0;
    if (!Send(list, LB_GETCOUNT, 0, 0, &count, error)) {
        return false;
    }
    items->clear();
    for (DWORD_PTR i = 0; i < count; ++i) {
        DWORD_PTR length = 0;
        if (!Send(list, LB_GETTEXTLEN, i, 0, &length, error)) {
            return false;
        }
        std::wstring buffer(length + 1, L'\0');
        DWORD_PTR copied = 0;
        if (!Send(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer.data()), &copied, error)) {
            return false;
        }
        buffer.resize(copied);
        items->push_back(ToCp1251(buffer));
    }
    DWORD_PTR current = 0;
    if (!Send(list, LB_GETCURSEL, 0, 0, &current, error)) {
        return false;
    }
    *selected = static_cast<int>(static_cast<LRESULT>(current));
    return true;
}

bool ControlActions::Progress(HWND bar, int* position, int* upper, std::string* error) {
    DWORD_PTR pos = 0;
    DWORD_PTR high = 0;
    // PBM_GETRANGE with no structure answers one end: wParam FALSE asks for the upper one.
    if (!Send(bar, PBM_GETPOS, 0, 0, &pos, error) ||
        !Send(bar, PBM_GETRANGE, FALSE, 0, &high, error)) {
        return false;
    }
    *position = static_cast<int>(static_cast<LRESULT>(pos));
    *upper = static_cast<int>(static_cast<LRESULT>(high));
    return true;
}

HWND ControlActions::Focus(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) {
        return nullptr;
    }
    return info.hwndFocus;
}

bool ControlActions::Drain(HWND window, int rounds, std::string* error) {
    for (int i = 0; i < rounds; ++i) {
        if (!::IsWindow(window)) {
            return true; // nothing left to wait for
        }
        DWORD_PTR ignored = 0;
        if (::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &ignored) ==
                0 &&
            ::IsWindow(window)) {
            *error = "the program did not answer within " + std::to_string(kSendTimeoutMs) + " ms";
            return false;
        }
    }
    return true;
}

bool ControlActions::Click(HWND control, std::string* error) {
    if (!Reachable(control, error)) {
        return false;
    }
    if (IsButton(control)) {
        return Post(control, BM_CLICK, 0, 0, error) && Drain(control, 4, error);
    }
    RECT client{};
    ::GetClientRect(control, &client);
    const LPARAM point = ClientPoint(client.right / 2, client.bottom / 2);
    return Post(control, WM_LBUTTONDOWN, MK_LBUTTON, point, error) &&
           Post(control, WM_LBUTTONUP, 0, point, error) && Drain(control, 6, error);
}

bool ControlActions::PressKey(HWND window, WORD virtualKey, std::string* error) {
    HWND target = Focus(window);
    if (target == nullptr) {
        target = window;
    }
    const UINT scan = ::MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    const LPARAM down = 1 | static_cast<LPARAM>(scan << 16);
    const LPARAM up = down | (1LL << 30) | (1LL << 31);
    // A translated key adds its character message to the queue: more rounds than messages.
    return Post(target, WM_KEYDOWN, virtualKey, down, error) &&
           Post(target, WM_KEYUP, virtualKey, up, error) && Drain(window, 8, error);
}

bool ControlActions::ClickListItem(HWND list, int index, bool doubleClick, std::string* error) {
    if (!Reachable(list, error)) {
        return false;
    }
    DWORD_PTR top = 0;
    DWORD_PTR height = 0;
    if (!Send(list, LB_GETTOPINDEX, 0, 0, &top, error) ||
        !Send(list, LB_GETITEMHEIGHT, 0, 0, &height, error)) {
        return false;
    }
    const int row = index - static_cast<int>(top);
    RECT client{};
    ::GetClientRect(list, &client);
    const int y = row * static_cast<int>(height) + static_cast<int>(height) / 2;
    if (row < 0 || y >= client.bottom) {
        *error = "item " + std::to_string(index) + " is not in view";
        return false;
    }
    const LPARAM point = ClientPoint(client.right / 2, y);
    if (!Post(list, WM_LBUTTONDOWN, MK_LBUTTON, point, error) ||
        !Post(list, WM_LBUTTONUP, 0, point, error)) {
        return false;
    }
    if (doubleClick && (!Post(list, WM_LBUTTONDBLCLK, MK_LBUTTON, point, error) ||
                        !Post(list, WM_LBUTTONUP, 0, point, error))) {
        return false;
    }
    return Drain(list, 8, error);
}

POINT ControlActions::Centre(HWND control) {
    RECT rect{};
    ::GetWindowRect(control, &rect);
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

bool ControlActions::FreeSpot(HWND window, POINT* spot, std::string* error) {
    RECT client{};
    ::GetClientRect(window, &client);
    for (int y = 6; y < client.bottom; y += 6) {
        for (int x = 6; x < client.right; x += 6) {
            const POINT point{x, y};
            if (::ChildWindowFromPointEx(window, point, CWP_SKIPINVISIBLE) == window) {
                *spot = point;
                ::ClientToScreen(window, spot);
                return true;
            }
        }
    }
    *error = "every point of the client area lies under a control";
    return false;
}

bool ControlActions::DragMouse(HWND window, POINT start, int dx, int dy, std::string* error) {
    // SetCursorPos moves the pointer through the input queue like a mouse does, to the exact
    // pixel; the button goes through SendInput at wherever the pointer is. Under Wine every
    // such move also warps the X pointer, and the program's process turns the X server's
    // report of that warp into a move of its own, later. So after each step the program is
    // given time to catch up, and the button is released only once the pointer is found
    // where the last step put it.
    constexpr int kSteps = 4;
    constexpr int kSettleTries = 20;
    const auto moveTo = [&](int x, int y) {
        return MoveCursor(x, y, error) && Drain(window, 2, error);
    };
    if (!moveTo(start.x, start.y) || !SendButton(MOUSEEVENTF_LEFTDOWN, error)) {
        return false;
    }
    const POINT end{start.x + dx, start.y + dy};
    bool settled = false;
    for (int step = 1; step <= kSteps + kSettleTries && !settled; ++step) {
        const int part = std::min(step, kSteps);
        if (!moveTo(start.x + dx * part / kSteps, start.y + dy * part / kSteps)) {
            SendButton(MOUSEEVENTF_LEFTUP, error);
            return false;
        }
        POINT cursor{};
        settled =
            step >= kSteps && ::GetCursorPos(&cursor) && cursor.x == end.x && cursor.y == end.y;
    }
    if (!SendButton(MOUSEEVENTF_LEFTUP, error) || !Drain(window, 8, error)) {
        return false;
    }
    if (!settled) {
        *error = "the pointer did not stay where it was moved";
        return false;
    }
    const DWORD thread = ::GetWindowThreadProcessId(window, nullptr);
    const ULONGLONG deadline = ::GetTickCount64() + kSendTimeoutMs;
    for (;;) {
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        if (!::GetGUIThreadInfo(thread, &info) || (info.flags & GUI_INMOVESIZE) == 0) {
            return true;
        }
        if (::GetTickCount64() >= deadline) {
            *error = "the window is still in its move loop";
            return false;
        }
        if (!Drain(window, 1, error)) {
            return false;
        }
    }
}

} // namespace tamsivo::test
