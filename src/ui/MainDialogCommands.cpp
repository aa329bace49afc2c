// The main dialog's commands and its reaction to the flash run's notifications.
#include "ui/MainDialog.h"

#include "app/AppState.h"
#include "flash/FirmwarePackage.h"
#include "flash/Outcome.h"
#include "text/Cp1251Literal.h"
#include "ui/ChooseFirmware.h"
#include "ui/FirmwareFolder.h"
#include "ui/win32/FlashThread.h"

#include <algorithm>
#include <memory>

namespace tamsivo {
namespace {

constexpr const char* kRunningCaption = kCp1251<"ОБНОВЛЕНИЕ">;
// The maker's name; the help screen's message is the web-site label's own text.
constexpr const char* kContactsCaption = kCp1251<"ТОРВИК">;
constexpr const char* kStartFailedCaption = kCp1251<"ОШИБКА">;
constexpr const char* kStartFailedText =
    kCp1251<"Не удалось запустить обновление. Повторите попытку.">;
HCURSOR WaitCursor() {
    return ::LoadCursorW(nullptr, IDC_WAIT);
}

} // namespace

HANDLE MainDialog::StartFlashWorker() {
    const int barLength = progressBar_.BarLength();
    return StartFlashThread(Hwnd(), FlashInputsFrom(TheAppState()),
                            static_cast<std::uint32_t>(std::max(barLength, 0)));
}

void MainDialog::WaitForWorker() {
    const HANDLE thread = worker_.Get();
    if (thread == nullptr) {
        return;
    }
    for (;;) {
        const DWORD woke = ::MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_SENDMESSAGE, 0);
        if (woke != WAIT_OBJECT_0 + 1) {
            break; // the thread has ended (or cannot be waited for, which no retry mends)
        }
        // Peeking delivers the messages other threads sent; nothing posted is taken.
        MSG message{};
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    worker_.Reset();
}

void MainDialog::OnStart() {
    const HCURSOR previousCursor = ::SetCursor(WaitCursor());
    AppState& state = TheAppState();
    // Not while a stop still waits for the last run, whose end it is about to show.
    if (state.idle == 1 && state.busy.load() == 0 && !stopping_) {
        WaitForWorker();
        state.idle = 0;
        ShowScreen(kRunningCaption, "", true, false, kTitleStepMs);
        state.runAllowed = 1;
        // A stop clicked while the title animated waits in the queue; it is meant for this
        // run, which then never starts.
        ServeWaitingInput();
        if (state.runAllowed.load() == 0) {
            ::SetCursor(previousCursor);
            return;
        }
        worker_.Reset(StartFlashWorker());
        if (worker_) {
            stopButton_.SetFocus();
        } else {
            // No worker, so no notification will ever end the running look.
            state.runAllowed = 0;
            state.idle = 1;
            ::MessageBeep(MB_ICONHAND);
            ShowScreen(kStartFailedCaption, kStartFailedText, false, false, kTitleStepMs);
            startButton_.SetFocus();
        }
    }
    ::SetCursor(previousCursor);
}

void MainDialog::OnStop() {
    AppState& state = TheAppState();
    // Any run started here that has not ended, whether or not its worker has taken its first
    // step, or has even been started: a stop clicked while the title animates or the package is
    // still being read must not be lost, and the run looks at it before it opens the port and
    // before every frame.
    if (state.idle == 0 && state.runAllowed.load() == 1 && !stopping_) {
        state.runAllowed = 0;
        state.idle = 1;
        stopping_ = true;
        runEndShown_ = false;
        if (inRunReport_) {
            // The worker waits in the report being served, and can end only once it returns:
            // the rest of the stop comes after it.
            Post(kFinishStop);
        } else {
            FinishStop();
        }
    }
}

LRESULT MainDialog::OnFinishStop(WPARAM, LPARAM) {
    FinishStop();
    return 0;
}

void MainDialog::FinishStop() {
    const HCURSOR waitCursor = WaitCursor();
    const HCURSOR previousCursor = ::SetCursor(waitCursor);
    if (worker_) {
        WaitForRunToEnd(waitCursor);
    }
    stopping_ = false;
    // A run that ended on its own meanwhile has said how: a stop that came after the last
    // frame was accepted cancels nothing.
    if (!runEndShown_) {
        ::MessageBeep(MB_ICONASTERISK);
        const AppState& state = TheAppState();
        const OutcomeRow& cancelled = RowOf(Outcome::Cancelled);
        ShowScreen(cancelled.caption,
                   OutcomeText(cancelled, state.portName, ShownName(state.firmwareName),
                               PackageError::None),
                   false, false, kTitleStepMs);
        MoveFocus(cancelled.focus);
    }
    ::SetCursor(previousCursor);
}

void MainDialog::WaitForRunToEnd(HCURSOR waitCursor) {
    bool quitRequested = false;
    WPARAM quitCode = 0;
    const HANDLE thread = worker_.Get();
    for (;;) {
        ::SetCursor(waitCursor);
        // Wakes when the worker has ended, or for any message, a send from the worker
        // included: the worker may be blocked in a send until it is served.
        const DWORD woke = ::MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_ALLINPUT,
                                                         MWMO_INPUTAVAILABLE);
        if (woke != WAIT_OBJECT_0 + 1) {
            break; // the worker has ended (or cannot be waited for, which no retry mends)
        }
        // Peeking serves the messages other threads sent, the worker's notifications; it
        // returns true only when a posted or input message waits, so that the pump below
        // never blocks.
        MSG next{};
        // The quit code is taken from the message actually pumped: a quit request may arrive
        // between the peek and the pump.
        if (::PeekMessageW(&next, nullptr, 0, 0, PM_NOREMOVE) && PumpOneMessage(&quitCode) == 0) {
            quitRequested = true;
        }
        UpdateWindow();
    }
    worker_.Reset();
    if (quitRequested) {
        // Taken from the queue while waiting: handed on to the loop it was meant for.
        ::PostQuitMessage(static_cast<int>(quitCode));
    }
}

void MainDialog::ServeWaitingInput() {
    // Input, and commands posted as a click posts them; nothing else, such as the second half of
    // a stop posted meanwhile, which waits for the worker and so must not run inside a report.
    // Bounded, so that a control that keeps posting cannot hold the run up.
    constexpr int kMostMessages = 256;
    MSG message{};
    for (int served = 0;
         served < kMostMessages &&
         (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT) ||
          ::PeekMessageW(&message, nullptr, WM_COMMAND, WM_COMMAND, PM_REMOVE));
         ++served) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam)); // for the loop it was meant for
            return;
        }
        if (!::IsDialogMessageW(Hwnd(), &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
}

int MainDialog::PumpOneMessage(WPARAM* quitCode) {
    MSG message{};
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
        if (quitCode != nullptr) {
            *quitCode = message.wParam;
        }
        return 0; // WM_QUIT
    }
    if (got > 0 && !::IsDialogMessageW(Hwnd(), &message)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 1;
}

void MainDialog::OnHelp() {
    AppState& state = TheAppState();
    // Not while a run is in progress, nor between the start and the worker's first step: the
    // contacts view would bring the idle look back over a running update.
    if (state.busy.load() != 0 || state.idle != 1) {
        return;
    }
    if (state.helpShown == 0) {
        ::MessageBeep(MB_ICONASTERISK);
        state.savedTitle = titleLabel_.Text();
        state.savedMessage = messageLabel_.Text();
        ShowScreen(kContactsCaption, webSiteLabel_.Text(), false, true, kTitleStepMs);
        state.helpShown = 1;
    } else {
        ShowScreen(state.savedTitle, state.savedMessage, false, false, kTitleStepMs);
    }
}

void MainDialog::OnPackageLabel() {
    AppState& state = TheAppState();
    // The run reads the package name: it changes only in the idle look.
    if (state.idle != 1 || state.busy.load() != 0) {
        return;
    }
    if (!state.firmwarePaths) {
        state.firmwarePaths = std::make_unique<PathList>();
    }
    state.firmwarePaths->clear();
    state.firmwareCount = ScanFirmwareFolder(state.exeDir / kUpdatesFolder, *state.firmwarePaths);
    const std::filesystem::path chosenBefore = state.firmwareName;
    // False (an empty folder, after its message box, or a cancelled choice) keeps the package
    // chosen before.
    const bool chosen = ChooseFirmware();
    // The selection dialog disables this one, but should a run have begun all the same, the
    // package it writes stays the one shown and named in its messages.
    if (state.idle != 1 || state.busy.load() != 0) {
        state.firmwareName = chosenBefore;
        return;
    }
    if (chosen) {
        packageNameLabel_.SetText(ShownName(state.firmwareName));
        state.idle = 1;
    }
}

void MainDialog::OnPortLabel() {
    AppState& state = TheAppState();
    if (state.idle != 1 || state.busy.load() != 0) {
        return;
    }
    const StringList* names = state.portNames.get();
    if (state.portCount <= 0 || names == nullptr || names->empty()) {
        return; // the label keeps "HET" and portName stays
    }
    ++state.portIndex;
    if (state.portIndex >= state.portCount ||
        static_cast<size_t>(state.portIndex) >= names->size() || state.portIndex < 0) {
        state.portIndex = 0;
    }
    portNameLabel_.SetText((*names)[static_cast<size_t>(state.portIndex)]);
    // What the label shows is what the next run opens.
    state.portName = portNameLabel_.Text();
}

LRESULT MainDialog::OnFlashSize(WPARAM, LPARAM byteCount) {
    progressBar_.SetRange(0, static_cast<int>(byteCount));
    progressBar_.SetPos(0);
    ServeInputDuringReport();
    return 1;
}

// The worker sends only the progress that changes the bar (ProgressFilter): each is shown.
LRESULT MainDialog::OnFlashProgress(WPARAM, LPARAM sentTotal) {
    progressBar_.SetPos(static_cast<int>(sentTotal));
    ServeInputDuringReport();
    return 1;
}

// The worker waits in its report meanwhile: a stop clicked while the dialog was busy (painting,
// animating) is served before the worker goes on to its next frame, not after it.
void MainDialog::ServeInputDuringReport() {
    inRunReport_ = true;
    ServeWaitingInput();
    inRunReport_ = false;
}

LRESULT MainDialog::ShowRunEnd(const OutcomeRow& outcome, LPARAM lParam) {
    AppState& state = TheAppState();
    runEndShown_ = true;
    ::MessageBeep(MB_ICONASTERISK);
    state.runAllowed = 0;
    state.idle = 1;
    ShowScreen(outcome.caption,
               OutcomeText(outcome, state.portName, ShownName(state.firmwareName),
                           static_cast<PackageError>(lParam)),
               false, false, kTitleStepMs);
    MoveFocus(outcome.focus);
    return 1;
}

void MainDialog::MoveFocus(OutcomeFocus focus) const {
    switch (focus) {
    case OutcomeFocus::StartButton:
        startButton_.SetFocus();
        break;
    case OutcomeFocus::ExitButton:
        exitButton_.SetFocus();
        break;
    case OutcomeFocus::Unchanged:
        break;
    }
}

} // namespace tamsivo
