#pragma once

#include <string>
#include <vector>

#include <windows.h>

namespace tamsivo::test {

// A top-level window that hosts static controls for the label tests, paints itself in one known
// colour and records, in order, the commands and notifications its children send it.
class SkinLabelHost {
public:
    static constexpr COLORREF kColor = RGB(0, 128, 0);

    struct Event {
        UINT message;  // WM_COMMAND or WM_NOTIFY
        UINT code;     // the notification code
        UINT_PTR from; // the control identifier
        HWND window;   // the control
        bool operator==(const Event&) const = default;
    };

    explicit SkinLabelHost(bool visible);
    ~SkinLabelHost();
    SkinLabelHost(const SkinLabelHost&) = delete;
    SkinLabelHost& operator=(const SkinLabelHost&) = delete;

    HWND Hwnd() const { return hwnd_; }
    // A child "STATIC" control with `style` (plus WS_CHILD | WS_VISIBLE) at (x, y).
    HWND AddStatic(const std::wstring& text, DWORD style, int x, int y, int width, int height,
                   int controlId) const;

    const std::vector<Event>& Events() const { return events_; }
    void ClearEvents() { events_.clear(); }
    // How often a child asked for its colours: the standard static control does before it
    // paints its own picture.
    int ColorRequests() const { return colorRequests_; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam);

    HWND hwnd_ = nullptr;
    HBRUSH brush_;
    std::vector<Event> events_;
    int colorRequests_ = 0;
};

} // namespace tamsivo::test
