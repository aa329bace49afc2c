#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace tamsivo::test {

// What a user sees of and does to the controls of another process's window, through Win32
// messages and input only. Texts are Windows-1251 bytes; failures come back as false with a
// reason.
class ControlActions {
public:
    // How long a message to the program may take: its handlers may run title animations.
    static constexpr UINT kSendTimeoutMs = 10000;

    // The window's text through WM_GETTEXT, converted from UTF-16 to Windows-1251.
    static bool Text(HWND window, std::string* text, std::string* error);
    // The items of a list box, in its order, and the selected index (-1: none).
    static bool ListItems(HWND list, std::vector<std::string>* items, int* selected,
                          std::string* error);
    // A progress bar's position and the upper end of its range.
    static bool Progress(HWND bar, int* position, int* upper, std::string* error);
    // The window that has the keyboard focus in the thread of `window`, or null.
    static HWND Focus(HWND window);

    // Lets the thread of `window` handle everything posted to it so far: each synchronous
    // message it answers is taken between two of its queued messages, so `rounds` of them
    // outlast that many queued ones.
    static bool Drain(HWND window, int rounds, std::string* error);

    // A click as a user makes it: BM_CLICK for a button, a press and release of the left
    // button in the middle of anything else. Disabled or hidden controls are refused, as the
    // mouse could not reach them either.
    static bool Click(HWND control, std::string* error);
    // A key pressed and released on the focused control of `window`'s thread, through the
    // queue so that the dialog manager sees it as it would a typed key.
    static bool PressKey(HWND window, WORD virtualKey, std::string* error);
    // Clicks item `index` of a list box, or double-clicks it.
    static bool ClickListItem(HWND list, int index, bool doubleClick, std::string* error);

    // Presses the real left mouse button at `start` (screen pixels), moves the pointer by
    // (dx, dy) in a few steps and releases it, then waits until `window`'s thread has handled
    // it all and left any move loop.
    static bool DragMouse(HWND window, POINT start, int dx, int dy, std::string* error);
    // A point of `window`'s client area that no visible child covers, in screen pixels.
    static bool FreeSpot(HWND window, POINT* spot, std::string* error);
    // The middle of `control`, in screen pixels.
    static POINT Centre(HWND control);
};

} // namespace tamsivo::test
