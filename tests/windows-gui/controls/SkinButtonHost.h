#pragma once

#include "framework/Window.h"

#include <string>
#include <vector>

#include <windows.h>

namespace tamsivo::test {

// A visible top-level window of the framework that hosts the buttons under test. It has no
// drawing entry of its own, so the owner-draw requests of its buttons reach them, and it
// records the commands they send it.
class SkinButtonHost : public Window {
public:
    struct Command {
        UINT code;
        int controlId;
    };

    // At (left, top) of the screen, 400 x 300 pixels.
    SkinButtonHost(int left, int top);
    ~SkinButtonHost() override;

    // A visible child push button (the standard BUTTON control).
    HWND AddButton(const std::wstring& caption, int controlId, const RECT& rect) const;

    // How many commands `code` (BN_CLICKED, BN_DOUBLECLICKED...) control `controlId` sent.
    int Count(UINT code, int controlId) const;

protected:
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    LRESULT OnCommand(WPARAM wParam, LPARAM lParam);

    static const MessageEntry messageEntries[];

    std::vector<Command> commands_;
};

} // namespace tamsivo::test
