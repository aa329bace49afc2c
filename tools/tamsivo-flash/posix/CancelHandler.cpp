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

constexpr int kSignals[] = {SIGINT, SIGTERM};
struct sigaction g_previous[2];

void OnSignal(int) {
    g_runAllowed->store(0);
    g_requested.store(true);
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
    // SA_RESETHAND: the second signal takes the default action and ends the process. No
    // SA_RESTART: an interrupted read returns early, and the serial layer retries it.
    action.sa_flags = SA_RESETHAND;
    for (int i = 0; i < 2; ++i) {
        sigaction(kSignals[i], &action, &g_previous[i]);
    }
}

CancelHandler::~CancelHandler() {
    for (int i = 0; i < 2; ++i) {
        sigaction(kSignals[i], &g_previous[i], nullptr);
    }
}

bool CancelHandler::Requested() const {
    return g_requested.load();
}

} // namespace tamsivo::cli
