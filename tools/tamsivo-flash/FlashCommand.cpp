#include "FlashCommand.h"

#include "CancelHandler.h"
#include "Console.h"
#include "LatencyWarning.h"
#include "PackageChooser.h"
#include "PlatformText.h"
#include "PortRun.h"
#include "ProgressBoard.h"
#include "ResultPrinter.h"
#include "flash/Outcome.h"
#include "flash/FlashRun.h"
#include "flash/Platform.h"
#include "flash/SerialPorts.h"
#include "record/RecordOfRun.h"
#include "record/RunLog.h"
#include "text/Cp1251.h"

#include <atomic>
#include <iostream>
#include <memory>

namespace tamsivo::cli {
namespace {

std::filesystem::path LogPath(const CliOptions& options) {
    return options.logPath.empty() ? RunLog::DefaultPath() : PathFromUtf8(options.logPath);
}

CliResult Failure(CliEnd end, std::string message) {
    CliResult result;
    result.end = end;
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
    if (options_.history) {
        return printer.Print(History());
    }
    CliResult failure;
    if (!ResolvePackage(&failure)) {
        return printer.Print(failure);
    }
    if (options_.check) {
        return printer.Print(Check());
    }
    if (!ResolvePorts(&failure)) {
        return printer.Print(failure);
    }
    return printer.PrintAll(Flash());
}

CliResult FlashCommand::ListPorts() const {
    CliResult result;
    result.end = kPorts;
    std::vector<SerialPortInfo> ports = ListSerialPorts();
    for (SerialPortInfo& port : ports) {
        port.name = PlatformText::NameFromEngine(port.name);
    }
    if (ports.empty()) {
        result.message = "No serial port found.";
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
        *failure = Failure(kNoPackage, "no package: " + error);
        return false;
    }
    if (packages.empty()) {
        *failure = Failure(kNoPackage, std::string("no firmware package (*.enc) in ./") +
                                           kUpdatesFolder + "; name one on the command line.");
        return false;
    }
    std::size_t chosen = 0;
    if (packages.size() > 1) {
        const bool interactive = Console::InputIsTerminal() && Console::IsTerminal(stderr);
        if (!interactive || !PackageChooser::Prompt(packages, std::cin, stderr, &chosen)) {
            *failure = Failure(kChoosePackage,
                               interactive ? "no package chosen."
                                           : std::string("several packages in ./") +
                                                 kUpdatesFolder + "; name the one to flash:\n" +
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

CliResult FlashCommand::Check() const {
    FirmwarePackage& image = FlashRun::Image();
    const PackageRead read = image.ReadFile(package_);
    if (read.status == PackageRead::Status::NotOpened ||
        read.status == PackageRead::Status::Unreadable) {
        return OutcomeResult(RunEnd{Outcome::FileError}, "", packageName_, image);
    }
    if (read.status == PackageRead::Status::Refused) {
        return OutcomeResult(RunEnd{Outcome::PackageError, 0, read.error}, "", packageName_,
                             image);
    }
    CliResult result;
    result.end = kValid;
    result.package = packageName_;
    result.bytes = image.ByteCount();
    result.frames = image.FrameCount();
    result.message = packageName_ + ": a valid package of " + std::to_string(result.frames) +
                     " frames, " + std::to_string(result.bytes) + " bytes.";
    return result;
}

bool FlashCommand::ResolvePorts(CliResult* failure) {
    if (options_.simulate) {
        std::string error;
        if (!simulator_.Start(options_.simulation, &error)) {
            *failure = Failure(EndOf(Outcome::InternalError), "cannot start the simulator: " + error);
            return false;
        }
        ports_ = {simulator_.PortPath()};
        return true;
    }
    if (!options_.ports.empty()) {
        ports_ = options_.ports;
        return true;
    }
    // Adapters before on-board ports; never the console or a port another program holds.
    const std::string port = AutomaticPort(ListSerialPorts());
    if (port.empty()) {
        *failure = Failure(EndOf(Outcome::PortError),
                           "no free serial port found; connect the adapter or name a port with "
                           "--port (tamsivo-flash --list-ports shows them all).");
        return false;
    }
    ports_ = {PlatformText::NameFromEngine(port)};
    return true;
}

std::vector<CliResult> FlashCommand::Flash() {
    ProgressStyle style = ProgressStyle::None;
    if (options_.json) {
        style = options_.jsonProgress ? ProgressStyle::Json : ProgressStyle::None;
    } else {
        style = Console::IsTerminal(stdout) ? ProgressStyle::Terminal : ProgressStyle::Lines;
        std::string through;
        for (const std::string& port : ports_) {
            through += (through.empty() ? "" : ", ") + port;
        }
        Console::Write(stdout, "Flashing " + packageName_ + " through " + through +
                                   (options_.simulate ? " (simulated)" : "") + '\n');
    }
    ProgressBoard board(style, stdout, ports_);
    std::vector<std::unique_ptr<PortRun>> runs;
    std::vector<std::atomic<std::uint8_t>*> stopFlags;
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        runs.push_back(std::make_unique<PortRun>(ports_[i], i, board));
        stopFlags.push_back(&runs.back()->RunAllowed());
    }
    {
        // From here a stop ends every run before its port opens, or after its frame in flight.
        const CancelHandler cancel(stopFlags);
        // Read once, so that every port receives the same bytes and the record names them,
        // whatever happens to the file meanwhile.
        auto package = std::make_shared<LoadedPackage>();
        package->read = package->image.ReadFile(package_);
        if (package->read.status == PackageRead::Status::Read) {
            Console::Write(stderr, LatencyWarnings(ports_, package->image.FrameCount()));
        }
        for (const auto& run : runs) {
            run->Start(FlashInputs{package_, packageName_, PlatformText::EngineName(run->Port()),
                                   package},
                       options_.timeoutMs);
        }
        for (const auto& run : runs) {
            run->Join();
        }
    }
    board.Finish();
    if (!options_.noLog && !options_.simulate) {
        Record(runs);
    }
    std::vector<CliResult> results;
    for (const auto& run : runs) {
        results.push_back(run->Result(packageName_));
    }
    return results;
}

void FlashCommand::Record(const std::vector<std::unique_ptr<PortRun>>& runs) const {
    RunLog log(LogPath(options_));
    for (const auto& run : runs) {
        std::string error;
        const std::optional<PortProblem> problem = run->Problem();
        if (!log.Append(RecordOfRun("tamsivo-flash", run->StartedAt(), packageName_, run->Port(),
                                    run->Stats(), problem ? problem->reason : std::string()),
                        &error)) {
            Console::Write(stderr,
                           "tamsivo-flash: warning: the run was not recorded: " + error + '\n');
            return;
        }
    }
}

CliResult FlashCommand::History() const {
    std::string error;
    const std::vector<RunRecord> records =
        RunLog(LogPath(options_)).Last(*options_.history, &error);
    if (!error.empty()) {
        return Failure(EndOf(Outcome::FileError), "cannot read the log of runs: " + error);
    }
    CliResult result;
    result.end = kHistory;
    result.records = records;
    return result;
}

} // namespace tamsivo::cli
