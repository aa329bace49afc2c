#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tamsivo::cli {

// Turns the first Ctrl+C (on POSIX also SIGTERM and SIGHUP) into the dialog's stop command for
// every run: it clears each `runAllowed`, so each run finishes its frame in flight, closes its
// port and returns. The
// handler then steps aside, so a second one ends the process at once. Only one handler exists at a
// time; the destructor restores the previous behaviour.
class CancelHandler {
public:
    static constexpr std::size_t kMaxRuns = 64;

    // At most kMaxRuns flags.
    explicit CancelHandler(std::span<std::atomic<std::uint8_t>* const> runAllowed);
    ~CancelHandler();
    CancelHandler(const CancelHandler&) = delete;
    CancelHandler& operator=(const CancelHandler&) = delete;

    // True once the user asked to stop.
    bool Requested() const;
};

} // namespace tamsivo::cli
