#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tamsivo::cli {

// Turns the first Ctrl+C (on POSIX also SIGTERM and SIGHUP) into the dialog's stop command for
// every run: it clears each `runAllowed`, so each run finishes its frame in flight, closes its
// port and returns. A second request ends the process at once, but only when it comes
// kQuitGap or more after the first: timeout(1) signals the program and then its process group,
// and a closing terminal sends SIGHUP from the kernel and again from the shell, so one stop
// often arrives twice at once; a person pressing Ctrl+C again takes longer. Only one handler
// exists at a time; the destructor restores the previous behaviour.
class CancelHandler {
public:
    static constexpr std::size_t kMaxRuns = 64;
    static constexpr std::int64_t kQuitGapMs = 1000;

    // At most kMaxRuns flags.
    explicit CancelHandler(std::span<std::atomic<std::uint8_t>* const> runAllowed);
    ~CancelHandler();
    CancelHandler(const CancelHandler&) = delete;
    CancelHandler& operator=(const CancelHandler&) = delete;

    // True once the user asked to stop.
    bool Requested() const;

    // Before any run, a stop ends the program at once, nothing sent, with the cancelled exit
    // code: Windows' own handler would end it with a code a script may take for success (Wine's
    // gives 0). On POSIX the signals' default actions already give a failing status.
    static void StopQuitsBeforeTheRuns();
};

} // namespace tamsivo::cli
