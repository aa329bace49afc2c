#pragma once

#include "framework/Dialog.h"

#include <functional>
#include <vector>

#include <windows.h>

namespace tamsivo::test {

// Runs a test's steps inside a live modal dialog of class Base (a Dialog on the template
// IDD_HARNESS, or one of the program's own), from the dialog's own modal loop with the dialog
// shown: the first step is posted from OnInitDialog, each next one behind whatever the step
// before it posted. After the last step the dialog ends with kScenarioDone, unless a step called
// KeepOpen() and leaves the ending to someone else. A watchdog ends a dialog that is still open
// after a generous deadline with kWatchdogExpired, so that a fault fails the test instead of
// hanging it.
template <class Base> class HarnessDialog : public Base {
public:
    static constexpr INT_PTR kScenarioDone = 0x5D0E;
    static constexpr INT_PTR kWatchdogExpired = 0x7D06;

    using Base::Base;
    void AddStep(std::function<void()> step) { steps_.push_back(std::move(step)); }
    void KeepOpen() { keepOpen_ = true; }

protected:
    bool OnInitDialog() override {
        const bool result = Base::OnInitDialog();
        // A timer with its own procedure: its WM_TIMER never reaches the dialog's handlers.
        ::SetTimer(this->Hwnd(), kWatchdogTimer, 30000, [](HWND dialog, UINT, UINT_PTR, DWORD) {
            ::EndDialog(dialog, kWatchdogExpired);
        });
        this->Post(kNextStep);
        return result;
    }
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    static constexpr UINT kNextStep = WM_APP + 100;
    static constexpr UINT_PTR kWatchdogTimer = 0x7D06;

    LRESULT OnNextStep(WPARAM, LPARAM) {
        if (next_ < steps_.size()) {
            steps_[next_++]();
            this->Post(kNextStep);
        } else if (!keepOpen_) {
            this->EndDialog(kScenarioDone);
        }
        return 0;
    }

    static const MessageEntry messageEntries[];
    std::vector<std::function<void()>> steps_;
    std::size_t next_ = 0;
    bool keepOpen_ = false;
};

template <class Base>
const MessageEntry HarnessDialog<Base>::messageEntries[] = {
    On<kNextStep, &HarnessDialog::OnNextStep>()};
template <class Base>
const MessageMap HarnessDialog<Base>::messageMap{&Base::messageMap, messageEntries};

} // namespace tamsivo::test
