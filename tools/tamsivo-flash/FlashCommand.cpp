#include "FlashCommand.h"

#include "CancelHandler.h"
#include "Console.h"
#include "LatencyWarning.h"
#include "PackageChooser.h"
#include "PlatformText.h"
#include "PortListing.h"
#include "PortRun.h"
#include "ProgressBoard.h"
#include "ResultPrinter.h"
#include "TraceLine.h"
#include "flash/Outcome.h"
#include "flash/FlashRun.h"
#include "flash/Platform.h"
#include "flash/PortProblem.h"
#include "flash/SerialPorts.h"
#include "record/RecordOfRun.h"
#include "record/RunLog.h"
#include "text/Cp1251.h"

#include <algorithm>
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
    if (const std::string clash = WrittenOverKeptFile(); !clash.empty()) {
        return printer.Usage(clash);
    }
    package_ = std::make_shared<LoadedPackage>();
    package_->read = package_->image.ReadFile(packagePath_);
    if (!Pinned(&failure)) {
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
        packagePath_ = PathFromUtf8(options_.package);
        packageName_ = Utf8Of(packagePath_.filename());
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
    packagePath_ = packages[chosen];
    packageName_ = Utf8Of(packagePath_.filename());
    return true;
}

std::string FlashCommand::WrittenOverKeptFile() const {
    // Through any spelling or link: equivalent() compares the files themselves, and a file that
    // is not there yet is none of them.
    const auto same = [](const std::filesystem::path& a, const std::filesystem::path& b) {
        std::error_code error;
        return std::filesystem::equivalent(a, b, error);
    };
    if (!options_.logPath.empty() && same(PathFromUtf8(options_.logPath), packagePath_)) {
        return "--log " + options_.logPath + " is the package " + packageName_ +
               "; name another file";
    }
    const bool logs = !options_.noLog && !options_.simulate;
    const std::size_t traces =
        options_.tracePath.empty() ? 0 : std::max<std::size_t>(options_.ports.size(), 1);
    for (std::size_t i = 0; i < traces; ++i) {
        const std::filesystem::path trace = PathFromUtf8(TracePath(i));
        if (same(trace, packagePath_) || (logs && same(trace, LogPath(options_)))) {
            return "--trace " + TracePath(i) + " is the " +
                   (same(trace, packagePath_) ? "package " + packageName_ : "log of runs") +
                   "; name another file";
        }
    }
    return {};
}

bool FlashCommand::Pinned(CliResult* failure) const {
    const std::string& actual = package_->image.TextSha256();
    if (options_.expectedSha256.empty() || actual.empty() || actual == options_.expectedSha256) {
        return true;
    }
    *failure = Failure(kSha256Mismatch, "the package " + packageName_ + " has the SHA-256 " +
                                            actual + ", not the expected " +
                                            options_.expectedSha256 + "; nothing was sent.");
    failure->package = packageName_;
    failure->bytes = package_->image.ByteCount();
    failure->frames = package_->image.FrameCount();
    failure->sha256 = actual;
    failure->expectedSha256 = options_.expectedSha256;
    return false;
}

CliResult FlashCommand::Check() const {
    const FirmwarePackage& image = package_->image;
    const PackageRead& read = package_->read;
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
    result.sha256 = image.TextSha256();
    result.message = packageName_ + ": a valid package of " + std::to_string(result.frames) +
                     " frames, " + std::to_string(result.bytes) + " bytes, SHA-256 " +
                     result.sha256 + '.';
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
    const std::vector<SerialPortInfo> listed = ListSerialPorts();
    const std::string port = AutomaticPort(listed);
    if (!port.empty()) {
        ports_ = {PlatformText::NameFromEngine(port)};
        return true;
    }
    *failure = Failure(EndOf(Outcome::PortError), NoFreePort(listed));
    const auto first =
        std::find_if(listed.begin(), listed.end(),
                     [](const SerialPortInfo& candidate) { return !candidate.console; });
    if (first != listed.end()) {
        failure->port = PlatformText::NameFromEngine(first->name);
        failure->portProblem = ExplainPortState(*first);
    }
    return false;
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
    const std::vector<std::unique_ptr<Trace>> traces = BeginTraces();
    {
        // From here a stop ends every run before its port opens, or after its frame in flight.
        const CancelHandler cancel(stopFlags);
        if (package_->read.status == PackageRead::Status::Read) {
            Console::Write(stderr, LatencyWarnings(ports_, package_->image.FrameCount()));
        }
        for (std::size_t i = 0; i < runs.size(); ++i) {
            FlashRun::LineFactory makeLine;
            if (!traces.empty()) {
                makeLine = [trace = traces[i].get()] {
                    return std::make_unique<TraceLine>(std::make_unique<SerialLine>(), *trace);
                };
            }
            runs[i]->Start(FlashInputs{packagePath_, packageName_,
                                       PlatformText::EngineName(runs[i]->Port()), package_},
                           options_.timeoutMs, std::move(makeLine));
        }
        for (const auto& run : runs) {
            run->Join();
        }
    }
    board.Finish();
    EndTraces(traces, runs);
    if (!options_.noLog && !options_.simulate) {
        Record(runs);
    }
    std::vector<CliResult> results;
    for (const auto& run : runs) {
        results.push_back(run->Result(packageName_));
    }
    return results;
}

std::vector<std::unique_ptr<Trace>> FlashCommand::BeginTraces() const {
    std::vector<std::unique_ptr<Trace>> traces;
    if (options_.tracePath.empty()) {
        return traces;
    }
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        traces.push_back(std::make_unique<Trace>(PathFromUtf8(TracePath(i)), packageName_,
                                                 *package_, ports_[i], options_.timeoutMs));
    }
    return traces;
}

std::string FlashCommand::TracePath(std::size_t port) const {
    return options_.tracePath + (port == 0 ? std::string() : '.' + std::to_string(port + 1));
}

void FlashCommand::EndTraces(const std::vector<std::unique_ptr<Trace>>& traces,
                             const std::vector<std::unique_ptr<PortRun>>& runs) const {
    for (std::size_t i = 0; i < traces.size(); ++i) {
        traces[i]->End(runs[i]->Stats());
    }
    for (std::size_t i = 0; i < traces.size(); ++i) {
        if (!traces[i]->Error().empty()) {
            Console::Write(stderr, "tamsivo-flash: warning: the trace " + TracePath(i) +
                                       " is incomplete: " + traces[i]->Error() + '\n');
            return;
        }
    }
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
