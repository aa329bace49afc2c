#pragma once

#include "TraceFile.h"
#include "flash/FlashRun.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>

namespace tamsivo::cli {

// The byte trace of one run through one port, so that a failed run at a customer's can be read
// byte by byte: the run's settings, a line per chunk of bytes as the system moved it, with the
// time since the start, and the outcome.
//
//   # tamsivo-flash 1.0.0, a run begun 2026-12-07T14:03:12+03:00
//   # package bk.enc: 6144 bytes of text, SHA-256 3a7b...; 2048 bytes in 8 frames
//   # port /dev/ttyUSB0: 115200 baud, timeout 10000 ms
//   # seconds since the start; > sent, < received, ...
//   0.000112 open /dev/ttyUSB0
//   0.000391 > 01000011 22334455 ...
//   0.016004 < =248
//   0.023004 < =10
//   0.024417 < 22
//   # outcome checksum_error (exit code 9): 512 bytes sent, 4 frames written, ...
//
// Bytes are hexadecimal pairs four to a group, 2.25 characters a byte, and an echo equal to
// what was sent is written "=" and its size, so that the trace of a 2 MiB package in 256-byte
// frames stays near 5 MiB. Each line goes to the system as soon as it is complete: a run that
// is killed leaves all it did. Only a trace that outgrows kHeadBytes (a package of frames of
// a few bytes each takes some 20 bytes of trace a byte) keeps, beyond that, only its newest
// lines, up to an eighth as much again, and writes them at the end with the count of those
// left out. A trace that cannot be written stops and keeps the reason; it never changes the
// run.
class Trace {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr std::uint64_t kHeadBytes = 8 << 20;

    // Creates `path` and writes the settings of a run of `package`, read from the file
    // `packageName` (UTF-8), through `port` (UTF-8); `headBytes` as kHeadBytes above.
    Trace(const std::filesystem::path& path, const std::string& packageName,
          const LoadedPackage& package, const std::string& port, std::uint32_t timeoutMs,
          std::uint64_t headBytes = kHeadBytes);

    // One line for what happened `at`: `what` ("open /dev/ttyUSB0", ">" or "<"), the bytes,
    // and after " ! " why the operation ended short, if it did.
    void Line(Clock::time_point at, std::string_view what, const std::uint8_t* bytes = nullptr,
              std::uint32_t count = 0, std::string_view failure = {}) noexcept;
    // The last line, once the run has returned.
    void End(const FlashRun::Statistics& stats) noexcept;
    // Stops the trace for `reason`, when what it was to write could not even be composed.
    void Stop(std::string reason) noexcept;

    // Why the trace is incomplete; empty while every line was written.
    const std::string& Error() const { return error_; }

private:
    void Put(const std::string& text);
    // Puts a line while the head has room; keeps it among the newest afterwards.
    void Keep(const std::string& line);

    TraceFile file_;
    Clock::time_point start_;
    std::string error_;
    std::string line_; // kept, so that a run does not allocate a line per chunk
    const std::uint64_t headBytes_;
    std::uint64_t written_ = 0;
    std::deque<std::string> newest_; // the lines beyond the head, an eighth of it at most
    std::uint64_t newestBytes_ = 0;
    std::uint64_t leftOut_ = 0; // lines beyond the head that are no longer among the newest
};

} // namespace tamsivo::cli
