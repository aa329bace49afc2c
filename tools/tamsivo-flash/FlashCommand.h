#pragma once

#include "CliOptions.h"
#include "CliResult.h"
#include "SimulatedAdapter.h"
#include "Trace.h"
#include "flash/FlashRun.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tamsivo::cli {

class PortRun;

// Carries out one invocation of tamsivo-flash once its command line has been parsed.
class FlashCommand {
public:
    explicit FlashCommand(CliOptions options);

    // Prints the result and returns the exit status.
    int Execute();

private:
    CliResult ListPorts() const;
    bool ResolvePackage(CliResult* failure);
    // Why a file the run would write is one it must keep: the package (a trace would empty
    // it, a record of the run would be appended to it) or, for a trace, the log of runs.
    // Empty when each is a file of its own.
    std::string WrittenOverKeptFile() const;
    // Refuses a package whose text has another SHA-256 than --expect-sha256 gave. A package
    // that could not be read whole has none, and is refused as such where it would be sent.
    bool Pinned(CliResult* failure) const;
    CliResult Check() const;
    bool ResolvePorts(CliResult* failure);
    // One result per port, in the order of the ports.
    std::vector<CliResult> Flash();
    // The trace of each port's run, where one was asked for: FILE for the first port, FILE.2,
    // FILE.3, ... for the others.
    std::vector<std::unique_ptr<Trace>> BeginTraces() const;
    std::string TracePath(std::size_t port) const; // UTF-8
    // Ends each trace with its run's outcome; one that could not be written is said once.
    void EndTraces(const std::vector<std::unique_ptr<Trace>>& traces,
                   const std::vector<std::unique_ptr<PortRun>>& runs) const;
    CliResult History() const;
    // Appends each run's record to the log; a log that cannot be written is said once and
    // changes no outcome. A simulated run wrote into no car and is not recorded.
    void Record(const std::vector<std::unique_ptr<PortRun>>& runs) const;

    CliOptions options_;
    std::filesystem::path packagePath_;
    std::string packageName_; // UTF-8 file name
    // Read once, so that the check, the pin and every port see the same bytes and the record
    // names them, whatever happens to the file meanwhile.
    std::shared_ptr<LoadedPackage> package_;
    std::vector<std::string> ports_; // UTF-8
    SimulatedAdapter simulator_;
};

} // namespace tamsivo::cli
