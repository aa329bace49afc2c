#include "PortRun.h"

#include "PlatformText.h"
#include "flash/FlashOutcome.h"
#include "flash/FlashProtocol.h"
#include "flash/Platform.h"
#include "flash/PortProblem.h"
#include "flash/StayAwake.h"
#include "record/LocalTime.h"
#include "record/RecordOfRun.h"
#include "text/Cp1251.h"

namespace tamsivo::cli {

CliResult OutcomeResult(const FlashOutcome& outcome, ExitCode code, std::int64_t lParam,
                        const std::string& port, const std::string& packageName,
                        const FirmwarePackage& image) {
    CliResult result;
    result.code = code;
    result.caption = Cp1251ToUtf8(outcome.caption);
    result.message =
        Cp1251ToUtf8(OutcomeText(outcome, Utf8ToCp1251(port), Utf8ToCp1251(packageName), lParam));
    result.package = packageName;
    result.port = port;
    if (outcome.message == WM_FLASH_PACKAGE_ERROR) {
        const auto error = static_cast<PackageError>(lParam);
        result.reason = static_cast<int>(error);
        if (error == PackageError::InvalidCharacter || error == PackageError::FrameOverrun) {
            result.offset = image.ErrorOffset();
        }
    }
    return result;
}

// Allowed from the start, so that a stop that comes before the thread does is not undone.
PortRun::PortRun(std::string port, std::size_t row, ProgressBoard& board)
    : port_(std::move(port)), reporter_(board, row) {
    state_.runAllowed = 1;
}

PortRun::~PortRun() {
    Join();
}

void PortRun::Start(const FlashInputs& inputs, std::uint32_t timeoutMs) {
    startedAt_ = LocalTimeNow();
    package_ = inputs.package;
    thread_ = std::thread([this, inputs, timeoutMs] {
        const StayAwake awake("tamsivo-flash", Cp1251ToUtf8(inputs.packageName), port_);
        FlashRun::Options options;
        options.timeoutMs = timeoutMs;
        FlashRun run(state_, reporter_, options);
        run.Run(inputs);
        stats_ = run.Stats();
    });
}

void PortRun::Join() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::optional<PortProblem> PortRun::Problem() const {
    return ExplainRunEnd(PlatformText::EngineName(port_), stats_.ending, stats_.portError,
                         stats_.lineError);
}

CliResult PortRun::Result(const std::string& packageName) const {
    const FirmwarePackage& image = package_->image;
    CliResult result;
    if (stats_.ending == 0) {
        result =
            OutcomeResult(CancelledOutcome(), ExitCode::Cancelled, 0, port_, packageName, image);
    } else if (const FlashOutcome* outcome = FindOutcome(stats_.ending)) {
        result = OutcomeResult(*outcome, ExitCodeForNotification(stats_.ending), stats_.endingParam,
                               port_, packageName, image);
    } else {
        result.code = ExitCode::Internal;
        result.message =
            "the run ended with the unknown notification " + std::to_string(stats_.ending) + '.';
        result.package = packageName;
        result.port = port_;
    }
    result.bytes = image.ByteCount();
    result.frames = image.FrameCount();
    result.sent = stats_.sent;
    result.seconds = std::chrono::duration<double>(stats_.duration).count();
    result.portProblem = Problem();
    return result;
}

} // namespace tamsivo::cli
