#include "flash/win32/FlashThread.h"

#include "app/AppState.h"
#include "flash/win32/WindowReporter.h"

#include <utility>

namespace tamsivo {

void RunFlashToWindow(HWND dialog, FlashRun::Options options) {
    AppState& state = TheAppState();
    WindowReporter reporter(dialog);
    FlashRun run(state, reporter, std::move(options));
    run.Run(FlashInputsFrom(state));
}

DWORD WINAPI FlashThreadEntry(LPVOID dialogWindow) {
    RunFlashToWindow(static_cast<HWND>(dialogWindow), FlashRun::Options{});
    return 0;
}

bool StartFlashThread(HWND dialog) {
    const HANDLE thread = ::CreateThread(nullptr, 0, FlashThreadEntry, dialog, 0, nullptr);
    if (thread == nullptr) {
        return false;
    }
    // Nobody joins the worker: `busy` and the ending notification tell the dialog that the
    // run is over, and a kept handle would only pin the thread object.
    ::CloseHandle(thread);
    return true;
}

} // namespace tamsivo
