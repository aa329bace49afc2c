#pragma once

#include "framework/MessageMap.h"

#include <string>
#include <string_view>

#include <windows.h>

namespace tamsivo {

// A window of this program: a dialog, or a system control taken over by subclassing. Messages
// reach member handlers through the static message map of the most derived class, then those
// of its bases; what no entry handles goes to the default procedure (the control's own window
// procedure, or the dialog manager's). A class with handlers declares
//     const MessageMap& GetMessageMap() const override { return messageMap; }
//     static const MessageMap messageMap;          // protected, for derived classes
//     static const MessageEntry messageEntries[];  // private
// and defines both in its .cpp:
//     const MessageEntry Label::messageEntries[] = {On<WM_PAINT, &Label::Paint>(), ...};
//     const MessageMap Label::messageMap{&Window::messageMap, messageEntries};
// Handlers run on the window's thread. An exception leaving a handler is kept (HandlerError)
// instead of unwinding through the system's code.
class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Hwnd() const noexcept { return hwnd_; }

    // The object of this program attached to `hwnd`, or null.
    static Window* FromHandle(HWND hwnd);

    // Takes over an existing window: PreSubclassWindow(), then this object's procedure in
    // place of the window's own, which keeps receiving what no entry handles. False when
    // `hwnd` is no window, this object already has one, or the window already has an object.
    bool SubclassWindow(HWND hwnd);
    // The same for the child control `controlId` of `parent`.
    bool SubclassDlgItem(int controlId, HWND parent);
    // Gives the window its own procedure back and forgets it; returns it. Also done when the
    // window is destroyed (WM_NCDESTROY) and when this object is.
    HWND UnsubclassWindow();

    // The window text, as Windows-1251.
    std::string Text() const;
    void SetText(std::string_view text) const;

    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    bool Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

    HWND GetDlgItem(int controlId) const;
    int GetDlgCtrlID() const;
    HWND GetParent() const;
    RECT GetClientRect() const;
    // In screen coordinates.
    RECT GetWindowRect() const;
    void ScreenToClient(RECT& rect) const;
    bool ShowWindow(int command) const;
    bool EnableWindow(bool enable) const;
    bool IsIconic() const;
    void SetFocus() const;
    void UpdateWindow() const;
    void Invalidate(bool erase = true) const;
    void InvalidateRect(const RECT* rect, bool erase = true) const;
    void ValidateRect(const RECT* rect = nullptr) const;
    void RedrawWindow(const RECT* rect, HRGN region, UINT flags) const;
    bool SetWindowPos(HWND insertAfter, int x, int y, int cx, int cy, UINT flags) const;
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    // Remove, then add style bits. A non-zero `swpFlags` (SWP_FRAMECHANGED, say) is passed to
    // SetWindowPos afterwards, without moving, sizing or reordering. True when bits changed.
    bool ModifyStyle(DWORD remove, DWORD add, UINT swpFlags = 0) const;
    bool ModifyStyleEx(DWORD remove, DWORD add, UINT swpFlags = 0) const;
    void SetFont(HFONT font, bool redraw = true) const;
    HFONT GetFont() const;
    // WM_SETICON; returns the previous icon.
    HICON SetIcon(HICON icon, bool big) const;
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) const;
    bool KillTimer(UINT_PTR id) const;

protected:
    virtual const MessageMap& GetMessageMap() const { return messageMap; }
    // Called by SubclassWindow once Hwnd() is set, before this object's procedure is put in.
    virtual void PreSubclassWindow() {}

    // From inside a handler: passes the message being handled to the default procedure now
    // and returns its result.
    LRESULT Default();
    virtual LRESULT DefaultProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Finds the handler of `message` in the maps and calls it; otherwise hands WM_DRAWITEM and
    // WM_CTLCOLOR* to the child they concern (Reflected()). True when something handled it.
    bool Route(const Message& message, LRESULT& result);

    // Binds this object to `hwnd` without changing its procedure (dialogs), and undoes that
    // or a subclassing.
    void Attach(HWND hwnd);
    void Detach();

    // The root of every map: no entries.
    static const MessageMap messageMap;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam);
    Window* ReflectionTarget(const Message& message) const;

    HWND hwnd_ = nullptr;
    WNDPROC originalProc_ = nullptr;
    const Message* currentMessage_ = nullptr; // the innermost message being handled
};

} // namespace tamsivo
