#pragma once

#include "CliReporter.h"
#include "CliResult.h"
#include "flash/FirmwarePackage.h"
#include "flash/FlashRun.h"
#include "flash/PortProblem.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace tamsivo::cli {

// One run of the package through one port, on a thread of its own. Each run has its own stop
// and busy flags and reporter, so that runs through several ports go on side by side and none
// waits for another; they share the one package read for all of them.
class PortRun {
public:
    // `port` in UTF-8; `row` is the run's row on the board.
    PortRun(std::string port, std::size_t row, ProgressBoard& board);
    ~PortRun();
    PortRun(const PortRun&) = delete;
    PortRun& operator=(const PortRun&) = delete;

    std::atomic<std::uint8_t>& RunAllowed() { return control_.runAllowed; }

    // `inputs.package` must be set: the package is read once for every port. `makeLine`, when
    // set, makes the run's serial line.
    void Start(const FlashInputs& inputs, std::uint32_t timeoutMs,
               FlashRun::LineFactory makeLine = {});
    void Join();

    // After Join(): how the run ended, with `packageName` (UTF-8) in its words. A run that
    // ended without a word was stopped.
    CliResult Result(const std::string& packageName) const;
    const FlashRun::Statistics& Stats() const { return stats_; }
    const std::string& Port() const { return port_; }
    // When the run began, local time (see LocalTimeNow).
    const std::string& StartedAt() const { return startedAt_; }
    // Why the run failed, where the system had a word on it (see ExplainRunEnd).
    std::optional<PortProblem> Problem() const;

private:
    std::string port_;
    RunControl control_;
    std::shared_ptr<const LoadedPackage> package_;
    CliReporter reporter_;
    FlashRun::Statistics stats_;
    std::string startedAt_;
    std::thread thread_;
};

// The result of a run that ended as `end`, for the port and the package (UTF-8); `image` tells
// where a malformed package went wrong.
CliResult OutcomeResult(const RunEnd& end, const std::string& port,
                        const std::string& packageName, const FirmwarePackage& image);

} // namespace tamsivo::cli
