#include "PortRun.h"

#include "PlatformText.h"
#include "flash/Platform.h"
#include "flash/PortProblem.h"
#include "flash/StayAwake.h"
#include "record/LocalTime.h"
#include "record/RecordOfRun.h"
#include "text/Cp1251.h"

namespace tamsivo::cli {

CliResult OutcomeResult(const RunEnd& end, const std::string& port,
                        const std::string& packageName, const FirmwarePackage& image) {
    const OutcomeRow& row = RowOf(end.outcome);
    CliResult result;
    result.end = EndOf(end.outcome);
    result.caption = Cp1251ToUtf8(row.caption);
    // The table's pieces in UTF-8 around the names as given: a name outside Windows-1251 is
    // shown as it is.
    result.message = OutcomeText(row, port, packageName, end.packageError, &Cp1251ToUtf8);
    result.package = packageName;
    result.port = port;
    if (end.outcome == Outcome::PackageError) {
        result.reason = static_cast<int>(end.packageError);
        if (end.packageError == PackageError::InvalidCharacter ||
            end.packageError == PackageError::FrameOverrun) {
            result.offset = image.ErrorOffset();
        }
    }
    return result;
}

// Allowed from the start, so that a stop that comes before the thread does is not undone.
PortRun::PortRun(std::string port, std::size_t row, ProgressBoard& board)
    : port_(std::move(port)), reporter_(board, row) {
    control_.runAllowed = 1;
}

PortRun::~PortRun() {
    Join();
}

void PortRun::Start(const FlashInputs& inputs, std::uint32_t timeoutMs,
                    FlashRun::LineFactory makeLine) {
    startedAt_ = LocalTimeNow();
    package_ = inputs.package;
    thread_ = std::thread([this, inputs, timeoutMs, makeLine = std::move(makeLine)] {
        const StayAwake awake("tamsivo-flash", inputs.packageName, port_);
        FlashRun::Options options;
        options.timeoutMs = timeoutMs;
        options.makeLine = makeLine;
        FlashRun run(control_, reporter_, options);
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
    return ExplainRunEnd(PlatformText::EngineName(port_), stats_.end);
}

CliResult PortRun::Result(const std::string& packageName) const {
    const FirmwarePackage& image = package_->image;
    CliResult result = OutcomeResult(stats_.end, port_, packageName, image);
    result.bytes = image.ByteCount();
    result.frames = image.FrameCount();
    result.sent = stats_.end.sent;
    result.seconds = std::chrono::duration<double>(stats_.duration).count();
    result.portProblem = Problem();
    return result;
}

} // namespace tamsivo::cli
