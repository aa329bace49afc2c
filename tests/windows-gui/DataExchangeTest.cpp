// Data exchange: template controls bound to member objects by id, and the list box's selected
// text moved both ways, with Windows-1251 entries.
#include "HarnessDialog.h"

#include "framework/DataExchange.h"
#include "framework/ListBox.h"
#include "framework/Window.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace tamsivo::test {
namespace {

class CountingControl : public Window {
public:
    int preSubclassCalls = 0;

protected:
    void PreSubclassWindow() override { ++preSubclassCalls; }
};

class ExchangeDialog : public HarnessDialog {
public:
    CountingControl label;
    ListBox list;
    std::string selected = "не тронуто";

protected:
    void DoDataExchange(DataExchange& exchange) override {
        exchange.Control(IDC_LABEL, label);
        exchange.Control(IDC_LIST, list);
        exchange.ListBoxString(IDC_LIST, selected);
    }
};

// The index of `text` in the list, asked of the list box in UTF-16 so that the test does not
// lean on the conversions under test.
int WideIndex(HWND list, const wchar_t* text) {
    return static_cast<int>(::SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                           reinterpret_cast<LPARAM>(text)));
}

TEST(FrameworkDataExchange, BindsControlsOnceAndMovesTheListSelectionBothWays) {
    ExchangeDialog dialog;
    dialog.SetScenario([&] {
        const HWND list = dialog.GetDlgItem(IDC_LIST);
        EXPECT_EQ(dialog.label.Hwnd(), dialog.GetDlgItem(IDC_LABEL));
        EXPECT_EQ(dialog.list.Hwnd(), list);
        EXPECT_EQ(Window::FromHandle(list), &dialog.list);
        EXPECT_EQ(dialog.label.preSubclassCalls, 1);
        // The initial load found nothing to select in the empty list.
        EXPECT_EQ(dialog.list.GetCurSel(), LB_ERR);

        dialog.list.AddString("Гамма");
        dialog.list.AddString("Альфа");
        dialog.list.AddString("Бета");
        ASSERT_EQ(dialog.list.GetCount(), 3);

        dialog.UpdateData(true);
        EXPECT_EQ(dialog.selected, "") << "no entry selected";

        ::SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(WideIndex(list, L"Бета")), 0);
        dialog.UpdateData(true);
        EXPECT_EQ(dialog.selected, "Бета");

        dialog.selected = "Гамма";
        dialog.UpdateData(false);
        EXPECT_EQ(::SendMessageW(list, LB_GETCURSEL, 0, 0), WideIndex(list, L"Гамма"));
        EXPECT_EQ(dialog.list.GetText(dialog.list.GetCurSel()), "Гамма");

        dialog.selected = "Дельта";
        dialog.UpdateData(false);
        EXPECT_EQ(::SendMessageW(list, LB_GETCURSEL, 0, 0), LB_ERR);

        // Repeated exchanges keep the first binding.
        EXPECT_EQ(dialog.label.preSubclassCalls, 1);

        // OK saves the data before the dialog ends.
        ::SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(WideIndex(list, L"Альфа")), 0);
        dialog.KeepOpen();
        ::SendMessageW(dialog.GetDlgItem(IDOK), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.selected, "Альфа");
    EXPECT_EQ(dialog.label.Hwnd(), nullptr) << "the control is forgotten with its window";
}

class MissingControlDialog : public HarnessDialog {
protected:
    void DoDataExchange(DataExchange& exchange) override {
        exchange.Control(IDC_LABEL, label_);
        exchange.Control(4242, missing_);
    }

private:
    CountingControl label_;
    CountingControl missing_;
};

TEST(FrameworkDataExchange, MissingControlIdFailsTheDialogNamingTheId) {
    MissingControlDialog dialog;
    try {
        dialog.DoModal();
        ADD_FAILURE() << "DoModal returned normally";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("4242"), std::string::npos) << error.what();
    }
}

} // namespace
} // namespace tamsivo::test
