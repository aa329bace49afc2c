// Taking over existing windows: which messages stop at a handler and which reach the window's
// own procedure, PreSubclassWindow, inheritance of maps, and letting go of the window.
#include "RecorderWindow.h"

#include "framework/HandlerError.h"
#include "framework/Window.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace tamsivo::test {
namespace {

constexpr UINT kHandled = WM_USER + 1;
constexpr UINT kHandledWithDefault = WM_USER + 2;
constexpr UINT kOverridden = WM_USER + 3;
constexpr UINT kUnhandled = WM_USER + 4;
constexpr UINT kThrows = WM_USER + 5;

using Received = RecorderWindow::Received;

class Probe : public Window {
public:
    int preSubclassCalls = 0;
    HWND windowInPreSubclass = nullptr;
    WNDPROC procedureInPreSubclass = nullptr;
    LRESULT defaultResult = 0;

protected:
    void PreSubclassWindow() override {
        ++preSubclassCalls;
        windowInPreSubclass = Hwnd();
        procedureInPreSubclass =
            reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(Hwnd(), GWLP_WNDPROC));
    }
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    LRESULT OnHandled(WPARAM, LPARAM) { return 11; }
    LRESULT OnHandledWithDefault(WPARAM, LPARAM) {
        defaultResult = Default();
        return defaultResult + 1;
    }
    LRESULT OnOverridden(WPARAM, LPARAM) { return 100; }
    LRESULT OnThrows(WPARAM, LPARAM) { throw std::runtime_error("probe failed at message 5"); }

    static const MessageEntry messageEntries[];
};

const MessageEntry Probe::messageEntries[] = {
    On<kHandled, &Probe::OnHandled>(),
    On<kHandledWithDefault, &Probe::OnHandledWithDefault>(),
    On<kOverridden, &Probe::OnOverridden>(),
    On<kThrows, &Probe::OnThrows>(),
};
const MessageMap Probe::messageMap{&Window::messageMap, messageEntries};

class DerivedProbe : public Probe {
protected:
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    LRESULT OnOverridden(WPARAM, LPARAM) { return 200; }

    static const MessageEntry messageEntries[];
};

const MessageEntry DerivedProbe::messageEntries[] = {
    On<kOverridden, &DerivedProbe::OnOverridden>(),
};
const MessageMap DerivedProbe::messageMap{&Probe::messageMap, messageEntries};

TEST(FrameworkSubclass, HandledMessagesStopAtTheHandlerAndTheRestReachTheOwnProcedure) {
    RecorderWindow window;
    ASSERT_NE(window.Hwnd(), nullptr);
    Probe probe;
    ASSERT_TRUE(probe.SubclassWindow(window.Hwnd()));
    EXPECT_EQ(probe.preSubclassCalls, 1);
    EXPECT_EQ(probe.windowInPreSubclass, window.Hwnd());
    EXPECT_EQ(probe.procedureInPreSubclass, RecorderWindow::Procedure())
        << "PreSubclassWindow runs before the procedure is replaced";
    EXPECT_EQ(Window::FromHandle(window.Hwnd()), &probe);

    EXPECT_EQ(probe.Send(kHandled, 1, 2), 11);
    EXPECT_FALSE(window.Saw(kHandled));

    EXPECT_EQ(probe.Send(kUnhandled, 3, 4), 3 * 2 + 4);
    EXPECT_EQ(probe.Send(kHandledWithDefault, 5, 6), 5 * 2 + 6 + 1);
    EXPECT_EQ(probe.defaultResult, 5 * 2 + 6);
    EXPECT_EQ(window.Log(),
              (std::vector<Received>{{kUnhandled, 3, 4}, {kHandledWithDefault, 5, 6}}));
}

TEST(FrameworkSubclass, DerivedMapOverridesItsOwnEntriesAndInheritsTheOthers) {
    RecorderWindow window;
    DerivedProbe probe;
    ASSERT_TRUE(probe.SubclassWindow(window.Hwnd()));
    EXPECT_EQ(probe.Send(kOverridden), 200);
    EXPECT_EQ(probe.Send(kHandled), 11);
    EXPECT_EQ(probe.Send(kUnhandled, 1, 1), 3);
    EXPECT_EQ(window.Log(), (std::vector<Received>{{kUnhandled, 1, 1}}));
}

TEST(FrameworkSubclass, BindingIsOneObjectPerWindowAndOneWindowPerObject) {
    RecorderWindow first;
    RecorderWindow second;
    Probe probe;
    Probe rival;
    ASSERT_TRUE(probe.SubclassWindow(first.Hwnd()));
    EXPECT_FALSE(rival.SubclassWindow(first.Hwnd()));
    EXPECT_FALSE(probe.SubclassWindow(second.Hwnd()));
    EXPECT_FALSE(rival.SubclassWindow(nullptr));
    EXPECT_EQ(rival.preSubclassCalls, 0);
    EXPECT_EQ(Window::FromHandle(first.Hwnd()), &probe);
    EXPECT_EQ(Window::FromHandle(second.Hwnd()), nullptr);
}

TEST(FrameworkSubclass, DestroyedWindowIsForgottenAfterItsOwnProcedureSawTheLastMessage) {
    RecorderWindow window;
    Probe probe;
    ASSERT_TRUE(probe.SubclassWindow(window.Hwnd()));
    window.Destroy();
    EXPECT_EQ(probe.Hwnd(), nullptr);
    ASSERT_FALSE(window.Log().empty());
    EXPECT_EQ(window.Log().back().id, static_cast<UINT>(WM_NCDESTROY));

    // Free again for another window.
    RecorderWindow next;
    EXPECT_TRUE(probe.SubclassWindow(next.Hwnd()));
    EXPECT_EQ(probe.Send(kHandled), 11);
}

TEST(FrameworkSubclass, ObjectDestroyedFirstGivesTheWindowItsOwnProcedureBack) {
    RecorderWindow window;
    {
        Probe probe;
        ASSERT_TRUE(probe.SubclassWindow(window.Hwnd()));
    }
    EXPECT_EQ(reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window.Hwnd(), GWLP_WNDPROC)),
              RecorderWindow::Procedure());
    EXPECT_EQ(Window::FromHandle(window.Hwnd()), nullptr);
    EXPECT_EQ(::SendMessageW(window.Hwnd(), kHandled, 1, 2), 4);
    EXPECT_EQ(window.Log(), (std::vector<Received>{{kHandled, 1, 2}}));

    Probe again;
    EXPECT_TRUE(again.SubclassWindow(window.Hwnd()));
    EXPECT_EQ(again.UnsubclassWindow(), window.Hwnd());
    EXPECT_EQ(again.Hwnd(), nullptr);
    EXPECT_EQ(reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window.Hwnd(), GWLP_WNDPROC)),
              RecorderWindow::Procedure());
}

TEST(FrameworkSubclass, ExceptionFromAHandlerIsKeptUntilAskedFor) {
    RecorderWindow window;
    Probe probe;
    ASSERT_TRUE(probe.SubclassWindow(window.Hwnd()));
    EXPECT_EQ(probe.Send(kThrows), 0);
    try {
        HandlerError::RethrowIfAny();
        ADD_FAILURE() << "the handler's exception was lost";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), "probe failed at message 5");
    }
    EXPECT_NO_THROW(HandlerError::RethrowIfAny());
    // The window keeps working.
    EXPECT_EQ(probe.Send(kHandled), 11);
}

} // namespace
} // namespace tamsivo::test
