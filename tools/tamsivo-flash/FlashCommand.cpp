#include "FlashCommand.h"

#include "CancelHandler.h"
#include "CliReporter.h"
#include "Console.h"
#include "PackageChooser.h"
#include "PlatformText.h"
#include "ProgressPrinter.h"
#include "ResultPrinter.h"
#include "app/AppState.h"
#include "flash/FlashOutcome.h"
#include "flash/FlashRun.h"
#include "flash/Platform.h"
#include "flash/SerialPorts.h"
#include "text/Cp1251.h"

#include <chrono>
#include <iostream>

namespace tamsivo::cli {
namespace {

CliResult Failure(ExitCode code, std::string message) {
    CliResult result;
    result.code = code;
    result.message = std::move(message);
    return result;
}

} // namespace

FlashCommand::FlashCommand(CliOptions options) : options_(std::move(options)) {}

int FlashCommand::Execute() {
    const ResultPrinter printer(options_.json);
    if (options_.listPorts) {
        return printer.Print(ListPorts());
    }
    CliResult failure;
    if (!ResolvePackage(&failure)) {
        return printer.Print(failure);
    }
    if (options_.check) {
        return printer.Print(Check());
    }
    if (!ResolvePort(&failure)) {
        return printer.Print(failure);
    }
    return printer.Print(Flash());
}

CliResult FlashCommand::ListPorts() const {
    CliResult result;
    result.code = ExitCode::Success;
    result.result = "ports";
    std::vector<std::string> ports;
    for (const std::string& port : FreeSerialPorts()) {
        ports.push_back(PlatformText::NameFromEngine(port));
    }
    if (ports.empty()) {
        result.message = "No free serial port found.";
    }
    result.ports = std::move(ports);
    return result;
}

bool FlashCommand::ResolvePackage(CliResult* failure) {
    if (!options_.package.empty()) {
        package_ = PathFromUtf8(options_.package);
        packageName_ = Utf8Of(package_.filename());
        return true;
    }
    const PackageChooser chooser{std::filesystem::path(kUpdatesFolder)};
    std::vector<std::filesystem::path> packages;
    std::string error;
    if (!chooser.Find(&packages, &error)) {
        *failure = Failure(ExitCode::NoPackage, "no package: " + error);
        return false;
    }
    if (packages.empty()) {
        *failure = Failure(ExitCode::NoPackage,
                           "no firmware package (*.enc) in ./updates; name one on the command "
                           "line.");
        return false;
    }
    std::size_t chosen = 0;
    if (packages.size() > 1) {
        const bool interactive = Console::InputIsTerminal() && Console::IsTerminal(stderr);
        if (!interactive || !PackageChooser::Prompt(packages, std::cin, stderr, &chosen)) {
            *failure = Failure(ExitCode::ChoosePackage,
                               interactive ? "no package chosen."
                                           : "several packages in ./updates; name the one to "
                                             "flash:\n" +
                                                 PackageChooser::Listing(packages));
            std::vector<std::string> names;
            for (const auto& package : packages) {
                names.push_back(Utf8Of(package.filename()));
            }
            failure->packages = std::move(names);
            return false;
        }
    }
    package_ = packages[chosen];
    packageName_ = Utf8Of(package_.filename());
    return true;
}

CliResult FlashCommand::OutcomeResult(const FlashOutcome& outcome, ExitCode code,
                                      std::int64_t lParam) const {
    CliResult result;
    result.code = code;
    result.caption = Cp1251ToUtf8(outcome.caption);
    result.message =
        Cp1251ToUtf8(OutcomeText(outcome, Utf8ToCp1251(port_), Utf8ToCp1251(packageName_), lParam));
    result.package = packageName_;
    result.port = port_;
    if (outcome.message == WM_FLASH_PACKAGE_ERROR) {
        const auto error = static_cast<PackageError>(lParam);
        result.reason = static_cast<int>(error);
        if (error == PackageError::InvalidCharacter || error == PackageError::FrameOverrun) {
            result.offset = FlashRun::Image().ErrorOffset();
        }
    }
    return result;
}

CliResult FlashCommand::Check() const {
    FilePtr file = OpenForReading(PlatformText::EnginePath(package_));
    if (!file) {
        return OutcomeResult(*FindOutcome(WM_FLASH_FILE_ERROR), ExitCode::FileError, 0);
    }
    FirmwarePackage& image = FlashRun::Image();
    const PackageError error = image.ReadFrom(file.get());
    // A folder opens on POSIX but cannot be read; that is no empty package.
    if (std::ferror(file.get())) {
        return OutcomeResult(*FindOutcome(WM_FLASH_FILE_ERROR), ExitCode::FileError, 0);
    }
    if (error != PackageError::None) {
        return OutcomeResult(*FindOutcome(WM_FLASH_PACKAGE_ERROR), ExitCode::PackageError,
                             static_cast<int>(error));
    }
    CliResult result;
    result.code = ExitCode::Success;
    result.result = "valid";
    result.package = packageName_;
    result.bytes = image.ByteCount();
    result.frames = image.FrameCount();
    result.message = packageName_ + ": a valid package of " + std::to_string(result.frames) +
                     " frames, " + std::to_string(result.bytes) + " bytes.";
    return result;
}

bool FlashCommand::ResolvePort(CliResult* failure) {
    if (options_.simulate) {
        std::string error;
        if (!simulator_.Start(options_.simulation, &error)) {
            *failure = Failure(ExitCode::Internal, "cannot start the simulator: " + error);
            return false;
        }
        port_ = simulator_.PortPath();
        return true;
    }
    if (!options_.port.empty()) {
        port_ = options_.port;
        return true;
    }
    const std::vector<std::string> ports = FreeSerialPorts();
    if (ports.empty()) {
        *failure = Failure(ExitCode::PortError,
                           "no free serial port found; connect the adapter or name a port with "
                           "--port.");
        return false;
    }
    port_ = PlatformText::NameFromEngine(ports.front());
    return true;
}

CliResult FlashCommand::Flash() {
    ProgressStyle style = ProgressStyle::None;
    if (options_.json) {
        style = options_.jsonProgress ? ProgressStyle::Json : ProgressStyle::None;
    } else {
        style = Console::IsTerminal(stdout) ? ProgressStyle::Terminal : ProgressStyle::Lines;
        Console::Write(stdout, "Flashing " + packageName_ + " through " + port_ +
                                   (options_.simulate ? " (simulated)" : "") + '\n');
    }
    ProgressPrinter progress(style, stdout);
    CliReporter reporter(progress);
    FlashRun::Options runOptions;
    runOptions.timeoutMs = options_.timeoutMs;

    AppState& state = TheAppState();
    state.portName = PlatformText::EngineName(port_);
    state.firmwareName = PlatformText::EnginePath(package_.filename());
    const FlashInputs inputs{PlatformText::EnginePath(package_), Utf8ToCp1251(packageName_),
                             state.portName};

    const auto start = std::chrono::steady_clock::now();
    state.runAllowed = 1;
    bool cancelled = false;
    {
        const CancelHandler cancel(state.runAllowed);
        FlashRun(state, reporter, runOptions).Run(inputs);
        cancelled = cancel.Requested() || !state.runAllowed;
    }
    state.runAllowed = 0;
    progress.Finish();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    CliResult result;
    if (reporter.Ended()) {
        const FlashOutcome* outcome = FindOutcome(reporter.Ending());
        if (outcome != nullptr) {
            result = OutcomeResult(*outcome, ExitCodeForNotification(reporter.Ending()),
                                   reporter.EndingParam());
        } else {
            result = Failure(ExitCode::Internal, "the run ended with the unknown notification " +
                                                     std::to_string(reporter.Ending()) + '.');
        }
    } else if (cancelled) {
        result = OutcomeResult(CancelledOutcome(), ExitCode::Cancelled, 0);
    } else {
        result = Failure(ExitCode::Internal, "the run ended without an outcome.");
    }
    result.package = packageName_;
    result.port = port_;
    result.bytes = FlashRun::Image().ByteCount();
    result.frames = FlashRun::Image().FrameCount();
    result.sent = reporter.SentBytes();
    result.seconds = seconds;
    return result;
}

} // namespace tamsivo::cli
