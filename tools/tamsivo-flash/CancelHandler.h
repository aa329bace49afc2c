#pragma once

#include <atomic>
#include <cstdint>

namespace tamsivo::cli {

// Turns the first Ctrl+C (on POSIX also SIGTERM and SIGHUP) into the dialog's stop command: it
// clears `runAllowed`, so the run finishes the frame in flight, closes the port and returns. The
// handler then steps aside, so a second one ends the process at once. Only one handler exists at a
// time; the destructor restores the previous behaviour.
class CancelHandler {
public:
    explicit CancelHandler(std::atomic<std::uint8_t>& runAllowed);
    ~CancelHandler();
    CancelHandler(const CancelHandler&) = delete;
    CancelHandler& operator=(const CancelHandler&) = delete;

    // True once the user asked to stop.
    bool Requested() const;
};

} // namespace tamsivo::cli
