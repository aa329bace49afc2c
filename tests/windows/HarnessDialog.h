#pragma once

#include "GuiTestIds.h"

#include "framework/Dialog.h"

#include <functional>

#include <windows.h>

namespace tamsivo::test {

// Runs a test's steps inside a live modal dialog (template IDD_HARNESS): the scenario is
// posted from OnInitDialog, so it runs from the dialog's own modal loop with the dialog shown.
// When the scenario returns the dialog ends with kScenarioDone, unless the scenario called
// KeepOpen() and leaves the ending to someone else. A watchdog ends a dialog that is still
// open after a generous deadline with kWatchdogExpired, so that a fault fails the test
// instead of hanging it.
class HarnessDialog : public Dialog {
public:
    using Scenario = std::function<void()>;

    static constexpr INT_PTR kScenarioDone = 0x5D0E;
    static constexpr INT_PTR kWatchdogExpired = 0x7D06;
    static constexpr UINT kRunScenario = WM_APP + 100;

    HarnessDialog();

    void SetScenario(Scenario scenario) { scenario_ = std::move(scenario); }
    void KeepOpen() { keepOpen_ = true; }

protected:
    bool OnInitDialog() override;
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    LRESULT OnRunScenario(WPARAM, LPARAM);
    void OnTimer(UINT_PTR id);

    static const MessageEntry messageEntries[];
    static constexpr UINT_PTR kWatchdogTimer = 0x7D06;

    Scenario scenario_;
    bool keepOpen_ = false;
};

} // namespace tamsivo::test
