#include "framework/ListBox.h"

#include "framework/WideText.h"

namespace tamsivo {

int ListBox::AddString(std::string_view text) const {
    const std::wstring wide = Widen(text);
    return static_cast<int>(Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str())));
}

int ListBox::GetCount() const {
    return static_cast<int>(Send(LB_GETCOUNT));
}

int ListBox::GetCurSel() const {
    return static_cast<int>(Send(LB_GETCURSEL));
}

void ListBox::SetCurSel(int index) const {
    Send(LB_SETCURSEL, static_cast<WPARAM>(index));
}

void ListBox::SetItemData(int index, LPARAM data) const {
    Send(LB_SETITEMDATA, static_cast<WPARAM>(index), data);
}

LPARAM ListBox::GetItemData(int index) const {
    return Send(LB_GETITEMDATA, static_cast<WPARAM>(index));
}

std::string ListBox::GetText(int index) const {
    return ItemText(Hwnd(), index);
}

std::string ListBox::ItemText(HWND list, int index) {
    const auto length =
        static_cast<int>(::SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0));
    if (length == LB_ERR || length <= 0) {
        return {};
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const auto copied = static_cast<int>(::SendMessageW(
        list, LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data())));
    text.resize(static_cast<size_t>(copied > 0 ? copied : 0));
    return Narrow(text);
}

int ListBox::FindExact(HWND list, std::string_view text) {
    const std::wstring wide = Widen(text);
    return static_cast<int>(::SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(wide.c_str())));
}

} // namespace tamsivo
