#include "ui/win32/FlashThread.h"

#include "flash/PortProblem.h"
#include "flash/StayAwake.h"
#include "record/LocalTime.h"
#include "record/RecordOfRun.h"
#include "record/RunLog.h"
#include "text/Cp1251.h"
#include "ui/FirmwareFolder.h"
#include "ui/win32/WindowReporter.h"

#include <memory>
#include <new>
#include <optional>
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
    const FlashInputs& inputs = start->inputs;
    // The package's own name, whatever Windows-1251 makes of it in the dialog.
    const std::u8string name = inputs.packagePath.filename().u8string();
    const std::string packageName(name.begin(), name.end());
    const StayAwake awake("Tamsivo", packageName, Cp1251ToUtf8(inputs.portName));
    std::string startedAt = LocalTimeNow();
    const FlashRun::Statistics stats =
        RunFlashToWindow(start->dialog, inputs, start->barExtent, FlashRun::Options{});
    // The outcome is on the screen already; a log that cannot be written changes nothing of it
    // and is not worth a word to the user.
    try {
        const std::optional<PortProblem> problem = ExplainRunEnd(inputs.portName, stats.end);
        RunLog(RunLog::DefaultPath())
            .Append(RecordOfRun("Tamsivo", std::move(startedAt), packageName,
                                Cp1251ToUtf8(inputs.portName), stats,
                                problem ? problem->reason : std::string()),
                    nullptr);
    } catch (...) {
    }
    return 0;
}

} // namespace

FlashInputs FlashInputsFrom(const AppState& state) {
    FlashInputs inputs;
    inputs.packagePath = state.exeDir / kUpdatesFolder / state.firmwareName;
    inputs.packageName = ShownName(state.firmwareName);
    inputs.portName = state.portName;
    return inputs;
}

FlashRun::Statistics RunFlashToWindow(HWND dialog, const FlashInputs& inputs,
                                      std::uint32_t barExtent, FlashRun::Options options) {
    AppState& state = TheAppState();
    WindowReporter reporter(dialog, barExtent);
    FlashRun::Statistics stats;
    try {
        FlashRun run(state, reporter, std::move(options));
        run.Run(inputs);
        stats = run.Stats();
    } catch (...) {
        stats.end.outcome = Outcome::InternalError;
        // The run catches its own failures; this is the last line, for one that came while it
        // reported its end. The dialog must not wait for a run that is gone.
        state.busy = 0;
        reporter.Ended(stats.end);
    }
    return stats;
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
