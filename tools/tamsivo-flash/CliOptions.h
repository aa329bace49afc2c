#pragma once

#include "SimulatedAdapter.h"
#include "flash/FlashProtocol.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tamsivo::cli {

// The parsed command line, UTF-8.
struct CliOptions {
    std::string package;            // empty: the single package of ./updates
    std::vector<std::string> ports; // none: the first free port; several: all at once
    bool listPorts = false;
    bool check = false;
    bool simulate = false;
    bool json = false;
    bool jsonProgress = false;
    std::uint32_t timeoutMs = kLineTimeoutMs;
    SimulationSettings simulation;
    std::string logPath; // empty: the user's own record of runs
    bool noLog = false;
    std::optional<std::size_t> history; // the newest records to show
    std::string tracePath;              // empty: no trace
    std::string expectedSha256;         // lower-case hexadecimal; empty: any package
};

} // namespace tamsivo::cli
