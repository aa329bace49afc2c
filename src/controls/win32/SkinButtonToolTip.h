#pragma once

#include <string_view>

#include <windows.h>

namespace tamsivo {

// The optional tool tip of a skinned button: a tool tip window with the button as its only tool,
// identified by its window handle. The button relays its mouse messages itself, so the tip
// needs no subclassing of the button. The window is destroyed with this object.
class SkinButtonToolTip {
public:
    SkinButtonToolTip() = default;
    ~SkinButtonToolTip();
    SkinButtonToolTip(const SkinButtonToolTip&) = delete;
    SkinButtonToolTip& operator=(const SkinButtonToolTip&) = delete;

    bool Exists() const { return hwnd_ != nullptr; }
    HWND Hwnd() const { return hwnd_; }

    // Creates the tip window for `button`, registers the button as its tool with `text`
    // (Windows-1251) and activates it when both succeeded. False when either failed.
    bool Create(HWND button, std::string_view text);
    // Replaces the text shown for `button`.
    void UpdateText(HWND button, std::string_view text) const;
    // Hands a mouse message of `button` (client coordinates in lParam) to the tip, which
    // decides from these when to show and hide itself.
    void Relay(HWND button, UINT message, WPARAM wParam, LPARAM lParam) const;

private:
    HWND hwnd_ = nullptr;
};

} // namespace tamsivo
