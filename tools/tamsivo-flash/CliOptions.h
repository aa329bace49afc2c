#pragma once

#include "SimulatedAdapter.h"
#include "flash/FlashProtocol.h"

#include <cstdint>
#include <string>

namespace tamsivo::cli {

// The parsed command line, UTF-8.
struct CliOptions {
    std::string package; // empty: the single package of ./updates
    std::string port;    // empty: the first free port
    bool listPorts = false;
    bool check = false;
    bool simulate = false;
    bool json = false;
    bool jsonProgress = false;
    std::uint32_t timeoutMs = kLineTimeoutMs;
    SimulationSettings simulation;
};

} // namespace tamsivo::cli
