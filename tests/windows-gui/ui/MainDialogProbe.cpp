#include "MainDialogProbe.h"

#include <utility>

namespace tamsivo::test {

const MessageEntry MainDialogProbe::messageEntries[] = {
    On<kNextStep, &MainDialogProbe::OnNextStep>(),
    On<WM_TIMER, &MainDialogProbe::OnTimer>(),
};
const MessageMap MainDialogProbe::messageMap{&MainDialog::messageMap, messageEntries};

MainDialogProbe::MainDialogProbe(std::vector<Step> steps, bool endAfterSteps)
    : steps_(std::move(steps)), endAfterSteps_(endAfterSteps) {}

bool MainDialogProbe::OnInitDialog() {
    const bool result = MainDialog::OnInitDialog();
    SetTimer(kWatchdogTimer, 30000);
    Post(kNextStep);
    return result;
}

LRESULT MainDialogProbe::OnNextStep(WPARAM, LPARAM) {
    if (stepsRun_ < static_cast<int>(steps_.size())) {
        steps_[static_cast<size_t>(stepsRun_++)](*this);
        // Behind whatever the step posted.
        Post(kNextStep);
    } else if (endAfterSteps_) {
        EndDialog(kStepsDone);
    }
    return 0;
}

void MainDialogProbe::OnTimer(UINT_PTR id) {
    if (id == kWatchdogTimer) {
        EndDialog(kWatchdogExpired);
    }
}

COLORREF MainDialogProbe::CaptionColor(SkinButton& button) {
    const COLORREF color = button.SetCaptionColor(RGB(1, 2, 3));
    button.SetCaptionColor(color);
    return color;
}

bool MainDialogProbe::Shown(int controlId) const {
    return (::GetWindowLongW(GetDlgItem(controlId), GWL_STYLE) & WS_VISIBLE) != 0;
}

bool MainDialogProbe::Enabled(int controlId) const {
    return ::IsWindowEnabled(GetDlgItem(controlId)) != FALSE;
}

std::string MainDialogProbe::TextOf(int controlId) const {
    const Window* control = FromHandle(GetDlgItem(controlId));
    return control != nullptr ? control->Text() : std::string("<not bound>");
}

void MainDialogProbe::Command(int controlId) const {
    Send(WM_COMMAND, MAKEWPARAM(controlId, BN_CLICKED),
         reinterpret_cast<LPARAM>(GetDlgItem(controlId)));
}

} // namespace tamsivo::test
