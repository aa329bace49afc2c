#pragma once

#include "CliOptions.h"
#include "CliResult.h"
#include "SimulatedAdapter.h"

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
    CliResult Check() const;
    bool ResolvePorts(CliResult* failure);
    // One result per port, in the order of the ports.
    std::vector<CliResult> Flash();
    CliResult History() const;
    // Appends each run's record to the log; a log that cannot be written is said once and
    // changes no outcome. A simulated run wrote into no car and is not recorded.
    void Record(const std::vector<std::unique_ptr<PortRun>>& runs) const;

    CliOptions options_;
    std::filesystem::path package_;
    std::string packageName_;        // UTF-8 file name
    std::vector<std::string> ports_; // UTF-8
    SimulatedAdapter simulator_;
};

} // namespace tamsivo::cli
