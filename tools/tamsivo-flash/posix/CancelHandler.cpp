#include "CancelHandler.h"

#include <csignal>
#include <unistd.h>

namespace tamsivo::cli {
namespace {

// Reached from the signal handler: lock-free atomics only.
std::atomic<std::uint8_t>* g_runAllowed = nullptr;
std::atomic<bool> g_requested{false};
static_assert(std::atomic<std::uint8_t>::is_always_lock_free);
static_assert(std::atomic<bool>::is_always_lock_free);

// Ctrl+C, a polite kill and a closed terminal or ssh session alike: each would otherwise end
// the process in the middle of a frame.
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];
struct sigaction g_previous[kSignalCount];

void OnSignal(int signal) {
    g_runAllowed->store(0);
    if (g_requested.exchange(true)) {
        // The second request, of whatever kind: the default action ends the process now.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(signal, &fallback, nullptr);
        raise(signal);
        return;
    }
    static const char kNote[] =
        "\nStopping after the frame in flight; press Ctrl+C again to quit at once.\n";
    // Nothing to do if stderr is gone; the stop itself does not depend on the note.
    [[maybe_unused]] const ssize_t written = write(STDERR_FILENO, kNote, sizeof kNote - 1);
}

} // namespace

CancelHandler::CancelHandler(std::atomic<std::uint8_t>& runAllowed) {
    g_runAllowed = &runAllowed;
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

} // namespace tamsivo::cli
