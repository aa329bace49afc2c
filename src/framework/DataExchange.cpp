#include "framework/DataExchange.h"

#include "framework/ListBox.h"
#include "framework/Window.h"

#include <stdexcept>

namespace tamsivo {

DataExchange::DataExchange(const Window& dialog, bool save) : dialog_(dialog), save_(save) {}

HWND DataExchange::Item(int controlId) const {
    const HWND item = dialog_.GetDlgItem(controlId);
    if (item == nullptr) {
        throw std::runtime_error("data exchange: the dialog has no control " +
                                 std::to_string(controlId));
    }
    return item;
}

void DataExchange::Control(int controlId, Window& control) {
    if (control.Hwnd() != nullptr) {
        return;
    }
    const HWND item = Item(controlId);
    if (!control.SubclassWindow(item)) {
        throw std::runtime_error("data exchange: control " + std::to_string(controlId) +
                                 " could not be subclassed (already bound to another object?)");
    }
}

void DataExchange::ListBoxString(int controlId, std::string& value) {
    const HWND list = Item(controlId);
    if (save_) {
        const auto index = static_cast<int>(::SendMessageW(list, LB_GETCURSEL, 0, 0));
        value = index == LB_ERR ? std::string() : ListBox::ItemText(list, index);
    } else {
        ::SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(ListBox::FindExact(list, value)), 0);
    }
}

} // namespace tamsivo
