#pragma once

#include "ExitCode.h"
#include "flash/PortProblem.h"
#include "flash/SerialPorts.h"
#include "record/RunRecord.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tamsivo::cli {

// How one invocation ended, in UTF-8: what the user reads and what --json reports.
struct CliResult {
    CliEnd end = EndOf(Outcome::InternalError);
    std::string caption; // the dialog's title for a run's outcome; empty for the CLI's own
    std::string message;
    std::string package; // file name
    std::string port;
    std::uint32_t bytes = 0;
    std::uint32_t frames = 0;
    std::optional<std::uint32_t> sent;
    std::string sha256;         // of the package's text, where it was checked
    std::string expectedSha256; // the digest it was pinned to, when it had another
    double seconds = 0;
    std::optional<int> reason;              // PackageError code
    std::optional<PortProblem> portProblem; // why the port did not open, where the OS said
    std::optional<std::uint64_t> offset;
    std::optional<std::vector<std::string>> packages;
    std::optional<std::vector<SerialPortInfo>> ports; // --list-ports
    std::optional<std::vector<RunRecord>> records;    // --history, oldest first
};

} // namespace tamsivo::cli
