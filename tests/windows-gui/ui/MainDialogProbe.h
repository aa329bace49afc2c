#pragma once

#include "ui/MainDialog.h"

#include <functional>
#include <vector>

#include <windows.h>

namespace tamsivo::test {

// The main dialog run modally with test steps: each step runs from the dialog's own modal loop,
// posted one after the other once initialisation is over, so that whatever a step posts (keys,
// commands) is handled before the next step starts. A step that ends the dialog leaves the
// later steps unrun. After the last step the dialog ends with kStepsDone unless it was made to
// stay open; a watchdog ends a dialog still open after a generous deadline with
// kWatchdogExpired, so that a fault fails the test instead of hanging it.
class MainDialogProbe : public MainDialog {
public:
    using Step = std::function<void(MainDialogProbe&)>;

    static constexpr INT_PTR kStepsDone = 0x5D0F;
    static constexpr INT_PTR kWatchdogExpired = 0x7D08;

    explicit MainDialogProbe(std::vector<Step> steps, bool endAfterSteps = true);

    int StepsRun() const noexcept { return stepsRun_; }

    PercentProgressBar& ProgressBar() { return progressBar_; }
    SkinButton& StartButton() { return startButton_; }
    SkinButton& StopButton() { return stopButton_; }
    SkinButton& HelpButton() { return helpButton_; }
    SkinButton& ExitButton() { return exitButton_; }
    SkinLabel& MessageLabel() { return messageLabel_; }

    // A button's caption colour of the enabled states.
    static COLORREF CaptionColor(SkinButton& button);
    // The control `controlId` is shown (its own visibility bit, whatever its parent's).
    bool Shown(int controlId) const;
    bool Enabled(int controlId) const;
    std::string TextOf(int controlId) const;
    // The command a key or a button of the dialog sends.
    void Command(int controlId) const;

protected:
    bool OnInitDialog() override;
    const MessageMap& GetMessageMap() const override { return messageMap; }
    static const MessageMap messageMap;

private:
    LRESULT OnNextStep(WPARAM, LPARAM);
    void OnTimer(UINT_PTR id);

    static const MessageEntry messageEntries[];
    static constexpr UINT kNextStep = WM_APP + 101;
    static constexpr UINT_PTR kWatchdogTimer = 0x7D08;

    std::vector<Step> steps_;
    bool endAfterSteps_;
    int stepsRun_ = 0;
};

} // namespace tamsivo::test
