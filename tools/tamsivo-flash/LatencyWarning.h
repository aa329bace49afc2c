#pragma once

#include "flash/SerialPorts.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tamsivo::cli {

// A USB adapter with a latency timer (FTDI's) holds what it received until a USB packet is
// full or the timer runs out. A frame's echo tail and the on-board computer's answer ride in
// one packet, so every frame waits about one timer: at 1 ms that is the line's own pace, above
// this it slows a run noticeably.
inline constexpr std::uint32_t kHarmlessLatencyTimerMs = 2;

// The line that warns of `port`'s latency timer before a run of `frames` frames: the timer,
// what it adds to the run, and the steps in Device Manager that set it to 1 ms. Empty when the
// port's timer is unknown or harmless.
std::string LatencyWarning(const SerialPortInfo& port, std::uint32_t frames);

// The warnings to print before a run of `frames` frames through `ports` (UTF-8, as given), one
// line for each port whose adapter's timer would slow the run.
std::string LatencyWarnings(const std::vector<std::string>& ports, std::uint32_t frames);

} // namespace tamsivo::cli
