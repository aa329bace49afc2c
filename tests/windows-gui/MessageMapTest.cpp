// Message maps in a live modal dialog: commands and notifications by control id and code,
// user messages from another thread, the dialog manager as default procedure, reflection of
// owner-draw and control-colour messages, and handler failures.
#include "HarnessDialog.h"

#include "framework/ClientDC.h"
#include "framework/DataExchange.h"
#include "framework/GdiObject.h"
#include "framework/Window.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tamsivo::test {
namespace {

constexpr UINT kAskMessage = WM_USER + 7;
constexpr UINT kLabelNotifyCode = 0x8200;

// A static control taken over like the program's labels: its own handler sees the press
// first, then the static's procedure (reached through Default) turns it into STN_CLICKED.
class ClickLabel : public Window {
public:
    std::vector<std::string>* events = nullptr;
    HBRUSH reflectedBrush = nullptr;

protected:
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    void OnLButtonDown(UINT, POINT point) {
        events->push_back("label: press at " + std::to_string(point.x) + "," +
                          std::to_string(point.y));
        Default();
    }
    LRESULT OnReflectedCtlColor(WPARAM, LPARAM) {
        return reinterpret_cast<LRESULT>(reflectedBrush);
    }

    static const MessageEntry messageEntries[];
};

const MessageEntry ClickLabel::messageEntries[] = {
    On<WM_LBUTTONDOWN, &ClickLabel::OnLButtonDown>(),
    On<Reflected(WM_CTLCOLORSTATIC), &ClickLabel::OnReflectedCtlColor>(),
};
const MessageMap ClickLabel::messageMap{&Window::messageMap, messageEntries};

// An owner-drawn button that draws itself from the reflected WM_DRAWITEM.
class OwnerDrawnButton : public Window {
public:
    int draws = 0;
    DRAWITEMSTRUCT last{};

protected:
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    void DrawItem(const DRAWITEMSTRUCT& item) {
        ++draws;
        last = item;
        ::FillRect(item.hDC, &item.rcItem, static_cast<HBRUSH>(::GetStockObject(GRAY_BRUSH)));
    }

    static const MessageEntry messageEntries[];
};

const MessageEntry OwnerDrawnButton::messageEntries[] = {
    On<Reflected(WM_DRAWITEM), &OwnerDrawnButton::DrawItem>(),
};
const MessageMap OwnerDrawnButton::messageMap{&Window::messageMap, messageEntries};

class CommandDialog : public HarnessDialog {
public:
    ClickLabel label;
    OwnerDrawnButton ownerDrawn;
    std::vector<std::string> events;
    int runClicks = 0;
    DWORD askThread = 0;
    std::pair<WPARAM, LPARAM> askArguments{};

    CommandDialog() { label.events = &events; }

protected:
    void DoDataExchange(DataExchange& exchange) override {
        exchange.Control(IDC_LABEL, label);
        exchange.Control(IDC_OWNERDRAW, ownerDrawn);
    }
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    void OnRun() { ++runClicks; }
    void OnLabelClicked() { events.push_back("dialog: STN_CLICKED"); }
    void OnListSelChange() { events.push_back("dialog: LBN_SELCHANGE"); }
    void OnListDoubleClick() { events.push_back("dialog: LBN_DBLCLK"); }
    LRESULT OnLabelNotify(const NMHDR& header) {
        events.push_back("dialog: notify " + std::to_string(header.code));
        return 0x5151;
    }
    LRESULT OnAsk(WPARAM wParam, LPARAM lParam) {
        askThread = ::GetCurrentThreadId();
        askArguments = {wParam, lParam};
        return static_cast<LRESULT>(wParam) * 1000 + lParam;
    }

    static const MessageEntry messageEntries[];
};

const MessageEntry CommandDialog::messageEntries[] = {
    Command<&CommandDialog::OnRun>(IDC_RUN),
    Command<&CommandDialog::OnLabelClicked>(IDC_LABEL, STN_CLICKED),
    Command<&CommandDialog::OnListSelChange>(IDC_LIST, LBN_SELCHANGE),
    Command<&CommandDialog::OnListDoubleClick>(IDC_LIST, LBN_DBLCLK),
    Notify<&CommandDialog::OnLabelNotify>(IDC_LABEL, kLabelNotifyCode),
    On<kAskMessage, &CommandDialog::OnAsk>(),
};
const MessageMap CommandDialog::messageMap{&HarnessDialog::messageMap, messageEntries};

LRESULT SendTo(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return ::SendMessageW(hwnd, message, wParam, lParam);
}

TEST(FrameworkMessageMap, CommandsReachTheHandlerOfTheirControlIdOnly) {
    CommandDialog dialog;
    dialog.SetScenario([&] {
        const int before = dialog.runClicks;
        SendTo(dialog.GetDlgItem(IDC_RUN), BM_CLICK);
        EXPECT_EQ(dialog.runClicks, before + 1);
        SendTo(dialog.GetDlgItem(IDC_OTHER), BM_CLICK); // no entry for this id
        EXPECT_EQ(dialog.runClicks, before + 1);
        SendTo(dialog.GetDlgItem(IDC_RUN), BM_CLICK);
        EXPECT_EQ(dialog.runClicks, before + 2);
    });
    EXPECT_EQ(dialog.DoModal(), HarnessDialog::kScenarioDone);
    EXPECT_EQ(dialog.Hwnd(), nullptr) << "the dialog forgets its window when it is destroyed";
    // The same object runs again, binding its controls anew.
    EXPECT_EQ(dialog.DoModal(), HarnessDialog::kScenarioDone);
    EXPECT_EQ(dialog.runClicks, 4);
}

TEST(FrameworkMessageMap, StaticClickReachesTheControlFirstThenTheDialogAsStnClicked) {
    CommandDialog dialog;
    dialog.SetScenario([&] {
        // A press left of the label: the coordinates are signed.
        SendTo(dialog.label.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-3, 5));
        SendTo(dialog.label.Hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(-3, 5));
        // The plain static lacks SS_NOTIFY, so its press is no command.
        SendTo(dialog.GetDlgItem(IDC_PLAIN), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        SendTo(dialog.GetDlgItem(IDC_PLAIN), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    });
    EXPECT_EQ(dialog.DoModal(), HarnessDialog::kScenarioDone);
    EXPECT_EQ(dialog.events,
              (std::vector<std::string>{"label: press at -3,5", "dialog: STN_CLICKED"}));
}

TEST(FrameworkMessageMap, NotificationsAreMatchedByCodeAndSender) {
    CommandDialog dialog;
    LRESULT notifyResult = 0;
    LRESULT otherNotifyResult = -1;
    dialog.SetScenario([&] {
        const HWND list = dialog.GetDlgItem(IDC_LIST);
        // What a list box sends its parent when the user selects, double-clicks, focuses it.
        SendTo(dialog.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_LIST, LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(list));
        SendTo(dialog.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_LIST, LBN_SETFOCUS),
               reinterpret_cast<LPARAM>(list));
        SendTo(dialog.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_LIST, LBN_DBLCLK),
               reinterpret_cast<LPARAM>(list));
        // The right code from the wrong control.
        SendTo(dialog.Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_PLAIN, LBN_SELCHANGE),
               reinterpret_cast<LPARAM>(dialog.GetDlgItem(IDC_PLAIN)));

        NMHDR header{dialog.label.Hwnd(), IDC_LABEL, kLabelNotifyCode};
        notifyResult =
            SendTo(dialog.Hwnd(), WM_NOTIFY, IDC_LABEL, reinterpret_cast<LPARAM>(&header));
        NMHDR other{dialog.label.Hwnd(), IDC_LABEL, kLabelNotifyCode + 1};
        otherNotifyResult =
            SendTo(dialog.Hwnd(), WM_NOTIFY, IDC_LABEL, reinterpret_cast<LPARAM>(&other));
    });
    EXPECT_EQ(dialog.DoModal(), HarnessDialog::kScenarioDone);
    EXPECT_EQ(dialog.events,
              (std::vector<std::string>{"dialog: LBN_SELCHANGE", "dialog: LBN_DBLCLK",
                                        "dialog: notify " + std::to_string(kLabelNotifyCode)}));
    // The handler's value reaches the sender through the dialog manager.
    EXPECT_EQ(notifyResult, 0x5151);
    EXPECT_EQ(otherNotifyResult, 0);
}

TEST(FrameworkMessageMap, UserMessageFromAnotherThreadReturnsTheHandlersResult) {
    CommandDialog dialog;
    LRESULT answer = 0;
    std::thread worker;
    dialog.SetScenario([&] {
        dialog.KeepOpen();
        const HWND hwnd = dialog.Hwnd();
        worker = std::thread([hwnd, &answer] {
            answer = ::SendMessageW(hwnd, kAskMessage, 7, 35);
            // Ends the dialog through its IDCANCEL command (no entry: OnCancel).
            ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        });
    });
    const INT_PTR result = dialog.DoModal();
    if (worker.joinable()) {
        worker.join();
    }
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(answer, 7035);
    EXPECT_EQ(dialog.askArguments, (std::pair<WPARAM, LPARAM>{7, 35}));
    EXPECT_EQ(dialog.askThread, ::GetCurrentThreadId())
        << "the handler must run on the dialog's thread";
}

// Handles messages only to pass them on: Default() must give the dialog manager's own result.
class DefaultingDialog : public HarnessDialog {
public:
    int defIdCalls = 0;
    LRESULT defIdSeen = 0;
    int paints = 0;
    Brush ownBrush{::CreateSolidBrush(RGB(10, 10, 10))};
    HBRUSH defaultBrushSeen = nullptr;
    UINT lastCtlType = 0xFFFF;

protected:
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    LRESULT OnGetDefId(WPARAM, LPARAM) {
        ++defIdCalls;
        defIdSeen = Default();
        return defIdSeen;
    }
    void OnPaint() {
        ++paints;
        Default();
    }
    HBRUSH OnCtlColor(DCView, HWND, UINT ctlType) {
        lastCtlType = ctlType;
        defaultBrushSeen = reinterpret_cast<HBRUSH>(Default());
        return ctlType == CTLCOLOR_DLG ? ownBrush.Get() : defaultBrushSeen;
    }

    static const MessageEntry messageEntries[];
};

const MessageEntry DefaultingDialog::messageEntries[] = {
    On<DM_GETDEFID, &DefaultingDialog::OnGetDefId>(),
    On<WM_PAINT, &DefaultingDialog::OnPaint>(),
    CtlColor<&DefaultingDialog::OnCtlColor>(),
};
const MessageMap DefaultingDialog::messageMap{&HarnessDialog::messageMap, messageEntries};

TEST(FrameworkMessageMap, UnhandledMessagesAndDefaultReachTheDialogManager) {
    constexpr LRESULT kOkIsDefault = MAKELONG(IDOK, DC_HASDEFID);

    CommandDialog plain;
    LRESULT unhandledDefId = 0;
    plain.SetScenario([&] { unhandledDefId = plain.Send(DM_GETDEFID); });
    EXPECT_EQ(plain.DoModal(), HarnessDialog::kScenarioDone);
    EXPECT_EQ(unhandledDefId, kOkIsDefault);

    DefaultingDialog dialog;
    LRESULT handledDefId = 0;
    BOOL stillInvalid = TRUE;
    LRESULT dialogBrush = 0;
    LRESULT staticBrush = 0;
    dialog.SetScenario([&] {
        handledDefId = dialog.Send(DM_GETDEFID);

        // A WM_PAINT left to the default must validate the window, or it would come back.
        const int paintsBefore = dialog.paints;
        dialog.Invalidate(true);
        dialog.UpdateWindow();
        EXPECT_EQ(dialog.paints, paintsBefore + 1);
        stillInvalid = ::GetUpdateRect(dialog.Hwnd(), nullptr, FALSE);

        ClientDC dc(dialog.Hwnd());
        dialogBrush = dialog.Send(WM_CTLCOLORDLG, reinterpret_cast<WPARAM>(dc.View().Handle()),
                                  reinterpret_cast<LPARAM>(dialog.Hwnd()));
        EXPECT_EQ(dialog.lastCtlType, static_cast<UINT>(CTLCOLOR_DLG));
        staticBrush = dialog.Send(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.View().Handle()),
                                  reinterpret_cast<LPARAM>(dialog.GetDlgItem(IDC_PLAIN)));
        EXPECT_EQ(dialog.lastCtlType, static_cast<UINT>(CTLCOLOR_STATIC));
    });
    EXPECT_EQ(dialog.DoModal(), HarnessDialog::kScenarioDone);
    EXPECT_EQ(dialog.defIdCalls, 1);
    EXPECT_EQ(dialog.defIdSeen, kOkIsDefault);
    EXPECT_EQ(handledDefId, kOkIsDefault);
    EXPECT_FALSE(stillInvalid);
    EXPECT_EQ(dialogBrush, reinterpret_cast<LRESULT>(dialog.ownBrush.Get()));
    EXPECT_NE(dialog.defaultBrushSeen, nullptr);
    EXPECT_EQ(staticBrush, reinterpret_cast<LRESULT>(dialog.defaultBrushSeen));
    EXPECT_NE(staticBrush, reinterpret_cast<LRESULT>(dialog.ownBrush.Get()));
}

TEST(FrameworkMessageMap, OwnerDrawAndControlColourReachTheControlTheyConcern) {
    CommandDialog dialog;
    LRESULT synthetic = 0;
    int drawsAfterSynthetic = 0;
    LRESULT labelBrush = 0;
    LRESULT plainBrush = 0;
    HWND buttonWindow = nullptr;
    const auto gray = static_cast<HBRUSH>(::GetStockObject(LTGRAY_BRUSH));
    dialog.label.reflectedBrush = gray;
    dialog.SetScenario([&] {
        const HWND button = dialog.GetDlgItem(IDC_OWNERDRAW);
        buttonWindow = button;
        ClientDC dc(button);
        DRAWITEMSTRUCT item{ODT_BUTTON,         IDC_OWNERDRAW,    0, ODA_DRAWENTIRE, 0, button,
                            dc.View().Handle(), RECT{0, 0, 4, 4}, 0};
        synthetic = dialog.Send(WM_DRAWITEM, IDC_OWNERDRAW, reinterpret_cast<LPARAM>(&item));
        drawsAfterSynthetic = dialog.ownerDrawn.draws;

        // The real thing: the button paints, the system asks its parent, the parent reflects.
        ::RedrawWindow(button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);

        labelBrush = dialog.Send(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.View().Handle()),
                                 reinterpret_cast<LPARAM>(dialog.label.Hwnd()));
        plainBrush = dialog.Send(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.View().Handle()),
                                 reinterpret_cast<LPARAM>(dialog.GetDlgItem(IDC_PLAIN)));
    });
    EXPECT_EQ(dialog.DoModal(), HarnessDialog::kScenarioDone);
    EXPECT_EQ(synthetic, TRUE);
    EXPECT_EQ(drawsAfterSynthetic, 1);
    EXPECT_GT(dialog.ownerDrawn.draws, drawsAfterSynthetic);
    EXPECT_EQ(dialog.ownerDrawn.last.CtlType, static_cast<UINT>(ODT_BUTTON));
    EXPECT_EQ(dialog.ownerDrawn.last.CtlID, static_cast<UINT>(IDC_OWNERDRAW));
    EXPECT_EQ(dialog.ownerDrawn.last.hwndItem, buttonWindow);
    EXPECT_NE(dialog.ownerDrawn.last.hDC, nullptr);
    EXPECT_EQ(labelBrush, reinterpret_cast<LRESULT>(gray));
    EXPECT_NE(plainBrush, reinterpret_cast<LRESULT>(gray));
}

// A parent that draws its owner-drawn children itself keeps the message.
class ParentDrawingDialog : public CommandDialog {
public:
    std::vector<UINT> drawnIds;

protected:
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    void OnDrawItem(UINT controlId, const DRAWITEMSTRUCT& item) {
        drawnIds.push_back(controlId);
        ::FillRect(item.hDC, &item.rcItem, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    }

    static const MessageEntry messageEntries[];
};

const MessageEntry ParentDrawingDialog::messageEntries[] = {
    On<WM_DRAWITEM, &ParentDrawingDialog::OnDrawItem>(),
};
const MessageMap ParentDrawingDialog::messageMap{&CommandDialog::messageMap, messageEntries};

TEST(FrameworkMessageMap, ParentWithItsOwnDrawItemEntryKeepsTheMessage) {
    ParentDrawingDialog dialog;
    dialog.SetScenario([&] {
        const HWND button = dialog.GetDlgItem(IDC_OWNERDRAW);
        ClientDC dc(button);
        DRAWITEMSTRUCT item{ODT_BUTTON,         IDC_OWNERDRAW,    0, ODA_DRAWENTIRE, 0, button,
                            dc.View().Handle(), RECT{0, 0, 4, 4}, 0};
        EXPECT_EQ(dialog.Send(WM_DRAWITEM, IDC_OWNERDRAW, reinterpret_cast<LPARAM>(&item)), TRUE);
        // The entries inherited from CommandDialog still work.
        SendTo(dialog.GetDlgItem(IDC_RUN), BM_CLICK);
    });
    EXPECT_EQ(dialog.DoModal(), HarnessDialog::kScenarioDone);
    ASSERT_FALSE(dialog.drawnIds.empty());
    EXPECT_EQ(dialog.drawnIds.front(), static_cast<UINT>(IDC_OWNERDRAW));
    EXPECT_EQ(dialog.ownerDrawn.draws, 0);
    EXPECT_EQ(dialog.runClicks, 1);
}

class ThrowingDialog : public HarnessDialog {
protected:
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    void OnRun() { throw std::runtime_error("Сбой обработчика"); }

    static const MessageEntry messageEntries[];
};

const MessageEntry ThrowingDialog::messageEntries[] = {
    Command<&ThrowingDialog::OnRun>(IDC_RUN),
};
const MessageMap ThrowingDialog::messageMap{&HarnessDialog::messageMap, messageEntries};

TEST(FrameworkMessageMap, ExceptionFromAHandlerEndsTheDialogAndLeavesDoModal) {
    ThrowingDialog dialog;
    bool stillRunning = false;
    dialog.SetScenario([&] {
        dialog.KeepOpen();
        SendTo(dialog.GetDlgItem(IDC_RUN), BM_CLICK);
        stillRunning = true; // the click's sender goes on; the dialog ends afterwards
    });
    try {
        dialog.DoModal();
        ADD_FAILURE() << "DoModal returned normally";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "Сбой обработчика");
    }
    EXPECT_TRUE(stillRunning);

    // The failure was reported once: the next dialog runs normally.
    CommandDialog next;
    EXPECT_EQ(next.DoModal(), HarnessDialog::kScenarioDone);
}

} // namespace
} // namespace tamsivo::test
