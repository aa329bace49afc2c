#pragma once

#include "CliOptions.h"
#include "CliResult.h"
#include "SimulatedAdapter.h"
#include "flash/FlashOutcome.h"

#include <cstdint>

#include <filesystem>

namespace tamsivo::cli {

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
    bool ResolvePort(CliResult* failure);
    CliResult Flash();
    CliResult OutcomeResult(const FlashOutcome& outcome, ExitCode code, std::int64_t lParam) const;

    CliOptions options_;
    std::filesystem::path package_;
    std::string packageName_; // UTF-8 file name
    std::string port_;        // UTF-8
    SimulatedAdapter simulator_;
};

} // namespace tamsivo::cli
