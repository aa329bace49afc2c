#pragma once

#include "framework/Window.h"

#include <string>
#include <string_view>

namespace tamsivo {

// A list box control, entries as Windows-1251 text.
class ListBox : public Window {
public:
    // The new entry's index (its sorted place in a sorted list), or LB_ERR / LB_ERRSPACE.
    int AddString(std::string_view text) const;
    int GetCount() const;
    // The selected entry of a single-selection list, or LB_ERR.
    int GetCurSel() const;
    // Selects entry `index`; -1 selects none.
    void SetCurSel(int index) const;
    // Entry `index`'s text, "" when there is no such entry.
    std::string GetText(int index) const;
    // A number kept with entry `index`, which follows it wherever the list sorts it.
    void SetItemData(int index, LPARAM data) const;
    LPARAM GetItemData(int index) const;

    static std::string ItemText(HWND list, int index);
    // The first entry equal to `text`, ignoring case, or LB_ERR.
    static int FindExact(HWND list, std::string_view text);
};

} // namespace tamsivo
