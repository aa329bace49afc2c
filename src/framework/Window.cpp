#include "framework/Window.h"

#include "framework/HandlerError.h"
#include "framework/WideText.h"

#include <exception>

namespace tamsivo {
namespace {

// Window properties: the object bound to a window, and the procedure a subclassing replaced.
// The second outlives the first when another procedure subclassed the window after ours, so
// that ours can still pass messages on after its object is gone.
constexpr const wchar_t* kObjectProperty = L"Tamsivo.Window";
constexpr const wchar_t* kOriginalProcProperty = L"Tamsivo.OriginalProc";

// Handlers may send messages to their own window, so the messages being handled by one window
// nest; this puts the outer one back however the handler ends.
class CurrentMessageScope {
public:
    CurrentMessageScope(const Message*& current, const Message& message)
        : current_(current), outer_(current) {
        current_ = &message;
    }
    ~CurrentMessageScope() { current_ = outer_; }
    CurrentMessageScope(const CurrentMessageScope&) = delete;
    CurrentMessageScope& operator=(const CurrentMessageScope&) = delete;

private:
    const Message*& current_;
    const Message* outer_;
};

} // namespace

const MessageMap Window::messageMap{nullptr, {}};

bool MessageEntry::Matches(const Message& message) const {
    switch (kind) {
    case Kind::Message:
        return message.id >= firstMessage && message.id <= lastMessage;
    case Kind::Command:
        return message.id == WM_COMMAND && HIWORD(message.wParam) == code &&
               LOWORD(message.wParam) == controlId;
    case Kind::Notify: {
        if (message.id != WM_NOTIFY || message.lParam == 0) {
            return false;
        }
        const auto& header = *reinterpret_cast<const NMHDR*>(message.lParam);
        return header.code == code && header.idFrom == controlId;
    }
    }
    return false;
}

const MessageEntry* MessageMap::Find(const Message& message) const {
    for (const MessageEntry& entry : entries) {
        if (entry.Matches(message)) {
            return &entry;
        }
    }
    return nullptr;
}

Window::~Window() {
    Detach();
}

Window* Window::FromHandle(HWND hwnd) {
    if (hwnd == nullptr) {
        return nullptr;
    }
    return static_cast<Window*>(::GetPropW(hwnd, kObjectProperty));
}

bool Window::SubclassWindow(HWND hwnd) {
    if (hwnd_ != nullptr || hwnd == nullptr || !::IsWindow(hwnd) || FromHandle(hwnd) != nullptr) {
        return false;
    }
    Attach(hwnd);
    PreSubclassWindow();
    const auto original = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Window::SubclassProc)));
    if (original == nullptr) {
        Detach();
        return false;
    }
    originalProc_ = original;
    ::SetPropW(hwnd, kOriginalProcProperty, reinterpret_cast<HANDLE>(original));
    return true;
}

bool Window::SubclassDlgItem(int controlId, HWND parent) {
    return SubclassWindow(::GetDlgItem(parent, controlId));
}

HWND Window::UnsubclassWindow() {
    const HWND hwnd = hwnd_;
    Detach();
    return hwnd;
}

void Window::Attach(HWND hwnd) {
    hwnd_ = hwnd;
    ::SetPropW(hwnd, kObjectProperty, this);
}

void Window::Detach() {
    if (hwnd_ == nullptr) {
        return;
    }
    if (originalProc_ != nullptr) {
        const auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(hwnd_, GWLP_WNDPROC));
        if (current == &Window::SubclassProc) {
            ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(originalProc_));
            ::RemovePropW(hwnd_, kOriginalProcProperty);
        }
        originalProc_ = nullptr;
    }
    if (FromHandle(hwnd_) == this) {
        ::RemovePropW(hwnd_, kObjectProperty);
    }
    hwnd_ = nullptr;
}

LRESULT CALLBACK Window::SubclassProc(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam) {
    Window* self = FromHandle(hwnd);
    if (self == nullptr) {
        const auto original = reinterpret_cast<WNDPROC>(::GetPropW(hwnd, kOriginalProcProperty));
        if (id == WM_NCDESTROY) {
            ::RemovePropW(hwnd, kOriginalProcProperty);
        }
        return original != nullptr ? ::CallWindowProcW(original, hwnd, id, wParam, lParam)
                                   : ::DefWindowProcW(hwnd, id, wParam, lParam);
    }
    if (id == WM_NCDESTROY) {
        // The last message: let the window's own procedure see it, then forget the window.
        const WNDPROC original = self->originalProc_;
        self->Detach();
        return ::CallWindowProcW(original, hwnd, id, wParam, lParam);
    }
    LRESULT result = 0;
    try {
        if (!self->Route(Message{id, wParam, lParam}, result)) {
            result = self->DefaultProc(id, wParam, lParam);
        }
    } catch (...) {
        HandlerError::Keep(std::current_exception());
        result = 0;
    }
    return result;
}

bool Window::Route(const Message& message, LRESULT& result) {
    for (const MessageMap* map = &GetMessageMap(); map != nullptr; map = map->base) {
        if (const MessageEntry* entry = map->Find(message)) {
            CurrentMessageScope scope(currentMessage_, message);
            result = entry->thunk(*this, message);
            return true;
        }
    }
    if (Window* child = ReflectionTarget(message)) {
        return child->Route(Message{Reflected(message.id), message.wParam, message.lParam}, result);
    }
    return false;
}

Window* Window::ReflectionTarget(const Message& message) const {
    HWND control = nullptr;
    if (message.id == WM_DRAWITEM && message.lParam != 0) {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(message.lParam);
        if (item.CtlType != ODT_MENU) {
            control = item.hwndItem;
        }
    } else if (message.id >= WM_CTLCOLORMSGBOX && message.id <= WM_CTLCOLORSTATIC) {
        control = reinterpret_cast<HWND>(message.lParam);
    }
    Window* child = FromHandle(control);
    return child != this ? child : nullptr;
}

LRESULT Window::Default() {
    if (currentMessage_ == nullptr) {
        return 0;
    }
    const Message message = *currentMessage_;
    return DefaultProc(message.id, message.wParam, message.lParam);
}

LRESULT Window::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd_ == nullptr) {
        return 0;
    }
    if (originalProc_ != nullptr) {
        return ::CallWindowProcW(originalProc_, hwnd_, message, wParam, lParam);
    }
    return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

std::string Window::Text() const {
    const int length = ::GetWindowTextLengthW(hwnd_);
    if (length <= 0) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = ::GetWindowTextW(hwnd_, text.data(), length + 1);
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return Narrow(text);
}

void Window::SetText(std::string_view text) const {
    ::SetWindowTextW(hwnd_, Widen(text).c_str());
}

LRESULT Window::Send(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageW(hwnd_, message, wParam, lParam);
}

bool Window::Post(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::PostMessageW(hwnd_, message, wParam, lParam) != FALSE;
}

HWND Window::GetDlgItem(int controlId) const {
    return ::GetDlgItem(hwnd_, controlId);
}

int Window::GetDlgCtrlID() const {
    return ::GetDlgCtrlID(hwnd_);
}

HWND Window::GetParent() const {
    return ::GetParent(hwnd_);
}

RECT Window::GetClientRect() const {
    RECT rect{0, 0, 0, 0};
    ::GetClientRect(hwnd_, &rect);
    return rect;
}

RECT Window::GetWindowRect() const {
    RECT rect{0, 0, 0, 0};
    ::GetWindowRect(hwnd_, &rect);
    return rect;
}

void Window::ScreenToClient(RECT& rect) const {
    ::MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&rect), 2);
}

bool Window::ShowWindow(int command) const {
    return ::ShowWindow(hwnd_, command) != FALSE;
}

bool Window::EnableWindow(bool enable) const {
    return ::EnableWindow(hwnd_, enable ? TRUE : FALSE) != FALSE;
}

bool Window::IsIconic() const {
    return ::IsIconic(hwnd_) != FALSE;
}

void Window::SetFocus() const {
    ::SetFocus(hwnd_);
}

void Window::UpdateWindow() const {
    ::UpdateWindow(hwnd_);
}

void Window::Invalidate(bool erase) const {
    ::InvalidateRect(hwnd_, nullptr, erase ? TRUE : FALSE);
}

void Window::InvalidateRect(const RECT* rect, bool erase) const {
    ::InvalidateRect(hwnd_, rect, erase ? TRUE : FALSE);
}

void Window::ValidateRect(const RECT* rect) const {
    ::ValidateRect(hwnd_, rect);
}

void Window::RedrawWindow(const RECT* rect, HRGN region, UINT flags) const {
    ::RedrawWindow(hwnd_, rect, region, flags);
}

bool Window::SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags) const {
    return ::SetWindowPos(hwnd_, insertAfter, x, y, cx, cy, flags) != FALSE;
}

DWORD Window::GetStyle() const {
    return static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_STYLE));
}

DWORD Window::GetExStyle() const {
    return static_cast<DWORD>(::GetWindowLongPtrW(hwnd_, GWL_EXSTYLE));
}

namespace {

bool ModifyStyleBits(HWND hwnd, int index, DWORD remove, DWORD add, UINT swpFlags) {
    const auto style = static_cast<DWORD>(::GetWindowLongPtrW(hwnd, index));
    const DWORD changed = (style & ~remove) | add;
    if (changed == style) {
        return false;
    }
    ::SetWindowLongPtrW(hwnd, index, static_cast<LONG_PTR>(changed));
    if (swpFlags != 0) {
        ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | swpFlags);
    }
    return true;
}

} // namespace

bool Window::ModifyStyle(DWORD remove, DWORD add, UINT swpFlags) const {
    return ModifyStyleBits(hwnd_, GWL_STYLE, remove, add, swpFlags);
}

bool Window::ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags) const {
    return ModifyStyleBits(hwnd_, GWL_EXSTYLE, remove, add, swpFlags);
}

void Window::SetFont(HFONT font, bool redraw) const {
    ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw ? TRUE : FALSE);
}

HFONT Window::GetFont() const {
    return reinterpret_cast<HFONT>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0));
}

HICON Window::SetIcon(HICON icon, bool big) const {
    return reinterpret_cast<HICON>(::SendMessageW(hwnd_, WM_SETICON, big ? ICON_BIG : ICON_SMALL,
                                                  reinterpret_cast<LPARAM>(icon)));
}

UINT_PTR Window::SetTimer(UINT_PTR id, UINT elapseMs) const {
    return ::SetTimer(hwnd_, id, elapseMs, nullptr);
}

bool Window::KillTimer(UINT_PTR id) const {
    return ::KillTimer(hwnd_, id) != FALSE;
}

} // namespace tamsivo
