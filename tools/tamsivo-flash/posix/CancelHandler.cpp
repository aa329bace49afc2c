#include "CancelHandler.h"

#include <algorithm>

#include <csignal>
#include <ctime>
#include <unistd.h>

namespace tamsivo::cli {
namespace {

// Reached from the signal handler: lock-free atomics only.
std::atomic<std::uint8_t>* g_runAllowed[CancelHandler::kMaxRuns] = {};
std::size_t g_runs = 0;

void StopEveryRun() {
    for (std::size_t i = 0; i < g_runs; ++i) {
        g_runAllowed[i]->store(0);
    }
}
std::atomic<bool> g_requested{false};
std::atomic<std::int64_t> g_firstMs{0}; // when the first request came, CLOCK_MONOTONIC
static_assert(std::atomic<std::uint8_t>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);
static_assert(std::atomic<std::int64_t>::is_always_lock_free);

// clock_gettime is async-signal-safe; the standard clocks promise nothing of the kind.
std::int64_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Ctrl+C, a polite kill and a closed terminal or ssh session alike: each would otherwise end
// the process in the middle of a frame.
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];
struct sigaction g_previous[kSignalCount];

void OnSignal(int signal) {
    StopEveryRun();
    const std::int64_t now = NowMs();
    if (g_requested.exchange(true)) {
        if (now - g_firstMs.load() < CancelHandler::kQuitGapMs) {
            return; // the same stop, delivered twice
        }
        // A second request, of whatever kind: the default action ends the process now.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(signal, &fallback, nullptr);
        raise(signal);
        return;
    }
    g_firstMs = now;
    static const char kNote[] =
        "\nStopping after the frame in flight; press Ctrl+C again to quit at once.\n";
    // Nothing to do if stderr is gone; the stop itself does not depend on the note.
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, kNote, sizeof kNote - 1);
}

} // namespace

CancelHandler::CancelHandler(std::span<std::atomic<std::uint8_t>* const> runAllowed) {
    g_runs = std::min(runAllowed.size(), kMaxRuns);
    std::copy_n(runAllowed.begin(), g_runs, g_runAllowed);
    g_requested = false;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: an interrupted read returns early, and the serial layer retries it.
    action.sa_flags = 0;
    for (int i = 0; i < kSignalCount; ++i) {
        sigaction(kSignals[i], &action, &g_previous[i]);
    }
}

CancelHandler::~CancelHandler() {
    for (int i = 0; i < kSignalCount; ++i) {
        sigaction(kSignals[i], &g_previous[i], nullptr);
    }
}

bool CancelHandler::Requested() const {
    return g_requested.load();
}

void CancelHandler::StopQuitsBeforeTheRuns() {}

} // namespace tamsivo::cli
