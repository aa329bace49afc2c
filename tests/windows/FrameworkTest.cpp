// Our application framework in live windows: message maps, the default procedure, failures in
// handlers, subclassing and data exchange. Reflection to controls shows in their own tests.
#include "GuiTestIds.h"
#include "HarnessDialog.h"
#include "WinSupport.h"

#include "framework/DataExchange.h"
#include "framework/HandlerError.h"
#include "framework/ListBox.h"
#include "framework/Window.h"
#include "text/Cp1251Literal.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tamsivo::test {
namespace {

constexpr UINT kAsk = WM_USER + 7;
constexpr UINT kNotifyCode = 0x8200;

// A static control taken over like the program's labels: its handler sees the press first,
// then the static's own procedure (through Default) turns it into STN_CLICKED.
class Control : public Window {
public:
    std::vector<std::string>* events = nullptr;
    int preSubclassCalls = 0;

protected:
    void PreSubclassWindow() override { ++preSubclassCalls; }
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    void OnLButtonDown(UINT, POINT point) {
        events->push_back("press " + std::to_string(point.x) + "," + std::to_string(point.y));
        Default();
    }
    LRESULT OnThrow(WPARAM, LPARAM) { throw std::runtime_error(kCp1251<"Сбой обработчика">); }
    static const MessageEntry messageEntries[];
};
const MessageEntry Control::messageEntries[] = {
    On<WM_LBUTTONDOWN, &Control::OnLButtonDown>(),
    On<WM_USER + 9, &Control::OnThrow>(),
};
const MessageMap Control::messageMap{&Window::messageMap, messageEntries};

class MapDialog : public HarnessDialog<Dialog> {
public:
    Control label;
    Control button;
    ListBox list;
    std::string selected = kCp1251<"не тронуто">;
    std::vector<std::string> events;
    MapDialog() : HarnessDialog(IDD_HARNESS) { label.events = button.events = &events; }

protected:
    void DoDataExchange(DataExchange& exchange) override {
        exchange.Control(IDC_LABEL, label);
        exchange.Control(IDC_OWNERDRAW, button);
        exchange.Control(IDC_LIST, list);
        exchange.ListBoxString(IDC_LIST, selected);
    }
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    void OnRun() { events.push_back("run"); }
    void OnLabelClicked() { events.push_back("STN_CLICKED"); }
    void OnSelection() { events.push_back("LBN_SELCHANGE"); }
    LRESULT OnNotify(const NMHDR& header) {
        events.push_back("notify " + std::to_string(header.idFrom));
        return 0x5151;
    }
    LRESULT OnAsk(WPARAM wParam, LPARAM lParam) {
        events.push_back(::GetCurrentThreadId() == ::GetWindowThreadProcessId(Hwnd(), nullptr)
                             ? "ask on the dialog's thread"
                             : "ask elsewhere");
        return static_cast<LRESULT>(wParam) * 1000 + lParam;
    }
    LRESULT OnGetDefId(WPARAM, LPARAM) { return Default(); }
    static const MessageEntry messageEntries[];
};
const MessageEntry MapDialog::messageEntries[] = {
    Command<&MapDialog::OnRun>(IDC_RUN),
    Command<&MapDialog::OnLabelClicked>(IDC_LABEL, STN_CLICKED),
    Command<&MapDialog::OnSelection>(IDC_LIST, LBN_SELCHANGE),
    Notify<&MapDialog::OnNotify>(IDC_LABEL, kNotifyCode),
    On<kAsk, &MapDialog::OnAsk>(),
    On<DM_GETDEFID, &MapDialog::OnGetDefId>(),
};
const MessageMap MapDialog::messageMap{&HarnessDialog<Dialog>::messageMap, messageEntries};

// Messages reach their handler by id, code and sender, and nothing else does; data exchange binds
// each control once and moves the list's selection both ways, OK taking it from the list.
TEST(Framework, MessagesReachTheirHandlerAndDataExchangeMovesTheListSelectionBothWays) {
    MapDialog dialog;
    LRESULT asked = 0;
    dialog.AddStep([&] {
        ::SendMessageW(dialog.GetDlgItem(IDC_RUN), BM_CLICK, 0, 0);
        ::SendMessageW(dialog.GetDlgItem(IDC_OTHER), BM_CLICK, 0, 0); // no entry
        // A press left of the label: coordinates are signed.
        ::SendMessageW(dialog.label.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-3, 5));
        ::SendMessageW(dialog.label.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(-3, 5));
        const auto list = reinterpret_cast<LPARAM>(dialog.GetDlgItem(IDC_LIST));
        dialog.Send(WM_COMMAND, MAKEWPARAM(IDC_LIST, LBN_SELCHANGE), list);
        dialog.Send(WM_COMMAND, MAKEWPARAM(IDC_LIST, LBN_DBLCLK), list);
        dialog.Send(WM_COMMAND, MAKEWPARAM(IDC_PLAIN, LBN_SELCHANGE), 0);
        EXPECT_EQ(dialog.Send(WM_DRAWITEM, IDC_OWNERDRAW, 0), 0) << "no item, nothing drawn";
        NMHDR header{dialog.label.Hwnd(), IDC_LABEL, kNotifyCode};
        EXPECT_EQ(dialog.Send(WM_NOTIFY, IDC_LABEL, reinterpret_cast<LPARAM>(&header)), 0x5151)
            << "a handler's value reaches its sender";
        NMHDR other{dialog.label.Hwnd(), IDC_PLAIN, kNotifyCode};
        EXPECT_EQ(dialog.Send(WM_NOTIFY, IDC_PLAIN, reinterpret_cast<LPARAM>(&other)), 0);
        std::thread([&] { asked = ::SendMessageW(dialog.Hwnd(), kAsk, 7, 35); }).detach();
        PumpUntil([&] { return asked != 0; });
        EXPECT_EQ(dialog.Send(DM_GETDEFID), MAKELONG(IDOK, DC_HASDEFID))
            << "Default() gives the dialog manager's result";

        for (const char* entry : {kCp1251<"Гамма">, kCp1251<"Альфа">, kCp1251<"Б">}) {
            dialog.list.AddString(entry);
        }
        dialog.selected = kCp1251<"гамма">; // the list box compares without regard to case
        dialog.UpdateData(false);
        EXPECT_EQ(dialog.list.GetText(dialog.list.GetCurSel()), kCp1251<"Гамма">);
        dialog.selected = kCp1251<"Дельта">;
        dialog.UpdateData(false);
        EXPECT_EQ(dialog.list.GetCurSel(), LB_ERR);
        EXPECT_EQ(dialog.label.preSubclassCalls, 1) << "bound once";
        Control spare;
        try {
            DataExchange(dialog, false).Control(4242, spare);
            ADD_FAILURE() << "a control the dialog lacks was bound";
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find("4242"), std::string::npos);
        }
        dialog.list.SetCurSel(1);
        Click(dialog.Hwnd(), IDOK);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(dialog.selected, kCp1251<"Б">) << "OK reads the list, an entry of one letter whole";
    EXPECT_EQ(dialog.events,
              (std::vector<std::string>{"run", "press -3,5", "STN_CLICKED", "LBN_SELCHANGE",
                                        "notify 1003", "ask on the dialog's thread"}));
    EXPECT_EQ(asked, 7035);
    EXPECT_EQ(dialog.Hwnd(), nullptr) << "the dialog forgets its window when it is destroyed";
}

TEST(Framework, AFailedHandlerEndsTheDialogAndItsExceptionLeavesDoModal) {
    MapDialog dialog;
    dialog.AddStep([&] {
        dialog.KeepOpen();
        dialog.label.Send(WM_USER + 9);
    });
    EXPECT_THROW(
        try { dialog.DoModal(); } catch (const std::runtime_error& error) {
            EXPECT_STREQ(error.what(), kCp1251<"Сбой обработчика">);
            throw;
        },
        std::runtime_error);
    MapDialog next; // the failure was reported once
    EXPECT_EQ(next.DoModal(), MapDialog::kScenarioDone);
}

// A window taken over keeps its own procedure for what no entry takes, and gets it back.
TEST(Framework, SubclassingTakesAWindowOverOnceAndGivesItBack) {
    const HWND edit = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr,
                                        nullptr, nullptr);
    const auto original = ::GetWindowLongPtrW(edit, GWLP_WNDPROC);
    Control first;
    Control second;
    ASSERT_TRUE(first.SubclassWindow(edit));
    EXPECT_FALSE(first.SubclassWindow(edit));
    EXPECT_FALSE(second.SubclassWindow(edit)) << "a window has one object";
    EXPECT_TRUE(first.SetTimer(7, 60000) != 0 && first.KillTimer(7) && !first.KillTimer(7));
    first.SetText(kCp1251<"Ж">);
    EXPECT_EQ(first.Text(), kCp1251<"Ж">) << "the edit's own procedure keeps the text";
    // A frame that changes shows at once: the border moves the client area in. A rectangle
    // maps by its two corners and nothing beyond.
    EXPECT_TRUE(first.ModifyStyle(0, WS_BORDER, SWP_FRAMECHANGED));
    std::pair<RECT, POINT> mapped{{1, 1, 11, 11}, {7, 7}}; // a point just past the rectangle
    first.ScreenToClient(mapped.first);
    EXPECT_EQ(mapped.first.left, 0);
    EXPECT_EQ(mapped.second.x, 7) << "mapped past the rectangle";
    EXPECT_EQ(first.UnsubclassWindow(), edit);
    EXPECT_EQ(::GetWindowLongPtrW(edit, GWLP_WNDPROC), original);
    EXPECT_EQ(Window::FromHandle(edit), nullptr);

    // Another procedure took the window over after ours: ours cannot be taken out of the
    // chain when the object lets go, so it keeps passing messages on to the edit's own.
    ASSERT_TRUE(second.SubclassWindow(edit));
    static WNDPROC ours = nullptr;
    ours = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
        edit, GWLP_WNDPROC,
        reinterpret_cast<LONG_PTR>(+[](HWND hwnd, UINT id, WPARAM wParam, LPARAM lParam) {
            return ::CallWindowProcW(ours, hwnd, id, wParam, lParam);
        })));
    const LRESULT limit = ::SendMessageW(edit, EM_GETLIMITTEXT, 0, 0);
    second.UnsubclassWindow();
    EXPECT_EQ(::SendMessageW(edit, EM_GETLIMITTEXT, 0, 0), limit) << "the edit still answers";
    EXPECT_NE(limit, 0);
    ::DestroyWindow(edit);
    Control third;
    const HWND doomed = ::CreateWindowExW(0, L"EDIT", L"", WS_POPUP, 0, 0, 50, 20, nullptr, nullptr,
                                          nullptr, nullptr);
    ASSERT_TRUE(third.SubclassWindow(doomed));
    ::DestroyWindow(doomed);
    EXPECT_EQ(third.Hwnd(), nullptr) << "a destroyed window lets go of its object";
}

} // namespace
} // namespace tamsivo::test
