#include "LatencyWarning.h"

#include <cstdio>

namespace tamsivo::cli {

std::string LatencyWarning(const SerialPortInfo& port, std::uint32_t frames) {
    if (!port.latencyTimerMs || *port.latencyTimerMs <= kHarmlessLatencyTimerMs) {
        return {};
    }
    const std::uint32_t timer = *port.latencyTimerMs;
    const double seconds = static_cast<double>(frames) * (timer - 1) / 1000;
    char longer[32];
    std::snprintf(longer, sizeof longer, seconds < 10 ? "%.1f" : "%.0f", seconds);
    const std::string entry = port.friendlyName.empty() ? port.name : port.friendlyName;
    return "tamsivo-flash: warning: the latency timer of the adapter on " + port.name + " is " +
           std::to_string(timer) + " ms, which makes this run of " + std::to_string(frames) +
           " frames about " + longer +
           " s longer; to set it to 1 ms: Device Manager → Ports (COM & LPT) → " + entry +
           " → Properties → Port Settings → Advanced… → Latency Timer (msec): 1 → OK.\n";
}

} // namespace tamsivo::cli
