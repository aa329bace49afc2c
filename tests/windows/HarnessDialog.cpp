#include "HarnessDialog.h"

namespace tamsivo::test {

const MessageEntry HarnessDialog::messageEntries[] = {
    On<kRunScenario, &HarnessDialog::OnRunScenario>(),
    On<WM_TIMER, &HarnessDialog::OnTimer>(),
};
const MessageMap HarnessDialog::messageMap{&Dialog::messageMap, messageEntries};

HarnessDialog::HarnessDialog() : Dialog(IDD_HARNESS) {}

bool HarnessDialog::OnInitDialog() {
    const bool result = Dialog::OnInitDialog();
    SetTimer(kWatchdogTimer, 30000);
    Post(kRunScenario);
    return result;
}

LRESULT HarnessDialog::OnRunScenario(WPARAM, LPARAM) {
    if (scenario_) {
        scenario_();
    }
    if (!keepOpen_) {
        EndDialog(kScenarioDone);
    }
    return 0;
}

void HarnessDialog::OnTimer(UINT_PTR id) {
    if (id == kWatchdogTimer) {
        EndDialog(kWatchdogExpired);
    }
}

} // namespace tamsivo::test
