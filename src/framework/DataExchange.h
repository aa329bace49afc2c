#pragma once

#include <string>

#include <windows.h>

namespace tamsivo {

class Window;

// One transfer between a dialog's controls and its members, handed to DoDataExchange. Binding
// a control works in both directions; the value exchanges move data one way: from the controls
// when saving, into them otherwise. A control id the dialog does not have is a programming
// error and throws std::runtime_error naming it.
class DataExchange {
public:
    DataExchange(const Window& dialog, bool save);

    bool Saving() const noexcept { return save_; }

    // Binds the template's control `controlId` to `control` by subclassing it, unless
    // `control` is already bound.
    void Control(int controlId, Window& control);
    // The text of the list box's selected entry, "" when none is selected. Loading selects the
    // entry equal to `value` (ignoring case, as the list box compares), or none.
    void ListBoxString(int controlId, std::string& value);

private:
    HWND Item(int controlId) const;

    const Window& dialog_;
    bool save_;
};

} // namespace tamsivo
