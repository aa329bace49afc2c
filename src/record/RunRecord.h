#pragma once

#include "flash/AnswerAt.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tamsivo {

// What one run wrote into which car and how it ended, as the run log keeps it. Texts are
// UTF-8.
struct RunRecord {
    std::string time;                          // local date and time, ISO 8601 with the UTC offset
    std::string program;                       // "Tamsivo" or "tamsivo-flash"
    std::string package;                       // the package's file name
    // The size and SHA-256 (lower-case hex) of the package file whose bytes were sent; none and
    // empty when the file was not read whole or was refused.
    std::optional<std::uint64_t> packageBytes;
    std::string sha256;
    std::string port;
    std::string outcome;       // the outcome's key: "done", "checksum_error", "cancelled", ...
    std::string reason;        // the system's reason behind a failure, where it had one
    std::uint32_t frames = 0;  // frames written, resends included
    std::uint32_t resends = 0; // frames written again on a resend answer
    std::uint32_t waits = 0;   // wait answers
    std::uint32_t sent = 0;    // bytes acknowledged as sent
    double seconds = 0;
    std::vector<AnswerAt> lastAnswers; // on a failure: the last answers, oldest first

    bool operator==(const RunRecord&) const = default;
};

// The record as one JSON object and a newline. A byte that is not UTF-8 becomes U+FFFD.
// Throws only std::bad_alloc.
std::string RunRecordToJsonLine(const RunRecord& record);

// The record of one line, or none when the line is not JSON or not a run record. Never throws
// but std::bad_alloc.
std::optional<RunRecord> RunRecordFromJsonLine(std::string_view line);

} // namespace tamsivo
