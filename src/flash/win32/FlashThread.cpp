#include "flash/win32/FlashThread.h"

#include "app/AppState.h"
#include "flash/win32/WindowReporter.h"

#include <memory>
#include <new>
#include <utility>

namespace tamsivo {
namespace {

struct WorkerStart {
    HWND dialog;
    FlashInputs inputs;
    std::uint32_t barExtent;
};

DWORD WINAPI FlashThreadEntry(LPVOID parameter) {
    const std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(parameter));
    RunFlashToWindow(start->dialog, start->inputs, start->barExtent, FlashRun::Options{});
    return 0;
}

} // namespace

void RunFlashToWindow(HWND dialog, const FlashInputs& inputs, std::uint32_t barExtent,
                      FlashRun::Options options) {
    AppState& state = TheAppState();
    WindowReporter reporter(dialog, barExtent);
    try {
        FlashRun(state, reporter, std::move(options)).Run(inputs);
    } catch (...) {
        // The run catches its own failures; this is the last line, for one that came while it
        // reported its end. The dialog must not wait for a run that is gone.
        state.busy = 0;
        reporter.Report(WM_FLASH_INTERNAL_ERROR, 0);
    }
}

HANDLE StartFlashThread(HWND dialog, FlashInputs inputs, std::uint32_t barExtent) {
    auto start = std::unique_ptr<WorkerStart>(
        new (std::nothrow) WorkerStart{dialog, std::move(inputs), barExtent});
    if (!start) {
        return nullptr;
    }
    const HANDLE thread = ::CreateThread(nullptr, 0, FlashThreadEntry, start.get(), 0, nullptr);
    if (thread != nullptr) {
        start.release(); // the worker owns it now
    }
    return thread;
}

} // namespace tamsivo
