#include "PortRun.h"

#include "PlatformText.h"
#include "flash/FlashOutcome.h"
#include "flash/FlashProtocol.h"
#include "flash/Platform.h"
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
    thread_ = std::thread([this, inputs, timeoutMs] {
        const StayAwake awake("tamsivo-flash", Cp1251ToUtf8(inputs.packageName), port_);
        FlashRun::Options options;
        options.timeoutMs = timeoutMs;
        options.image = &image_;
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

const char* PortRun::OutcomeKey() const {
    return OutcomeKeyOf(stats_.ending);
}

CliResult PortRun::Result(const std::string& packageName) const {
    CliResult result;
    if (stats_.ending == 0) {
        result =
            OutcomeResult(CancelledOutcome(), ExitCode::Cancelled, 0, port_, packageName, image_);
    } else if (const FlashOutcome* outcome = FindOutcome(stats_.ending)) {
        result = OutcomeResult(*outcome, ExitCodeForNotification(stats_.ending), stats_.endingParam,
                               port_, packageName, image_);
    } else {
        result.code = ExitCode::Internal;
        result.message =
            "the run ended with the unknown notification " + std::to_string(stats_.ending) + '.';
        result.package = packageName;
        result.port = port_;
    }
    result.bytes = image_.ByteCount();
    result.frames = image_.FrameCount();
    result.sent = stats_.sent;
    result.seconds = std::chrono::duration<double>(stats_.duration).count();
    const std::string device = DevicePathForPort(PlatformText::EngineName(port_));
    if (stats_.portError != 0) {
        result.portProblem = ExplainPortError(device, stats_.portError);
    } else if (device.empty() && stats_.ending == WM_FLASH_PORT_ERROR) {
        result.portProblem =
            PortProblem{"not a port name", "give a port as --list-ports shows it, or the whole "
                                           "path of the device"};
    }
    return result;
}

} // namespace tamsivo::cli
