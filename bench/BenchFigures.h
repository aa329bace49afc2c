#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace tamsivo::bench {

inline constexpr std::uint32_t kBaud = 115200;

// The line's ideal for the frames of a package, as the simulator paces it: every byte goes out
// and comes back as its echo, which the run waits for, and every frame has its one-byte answer,
// each in its full ten bit times (8N1); the simulator adds its processing delay before each
// answer. Compared with the simulator's busy time (BkSimulator::BusyTime: from the first byte
// it received to the last frame it accepted), which is exactly this when the host adds nothing.
inline double LineIdealSeconds(std::uint64_t bytes, std::uint64_t frames,
                               std::uint32_t answerDelayMs = 0) {
    return static_cast<double>(bytes + frames) * 10.0 / kBaud +
           static_cast<double>(frames) * answerDelayMs / 1000.0;
}

inline double Seconds(std::chrono::steady_clock::duration duration) {
    return std::chrono::duration<double>(duration).count();
}

// The machine's load when a bench starts: shared cores stretch every figure that follows.
inline void PrintLoad(const char* bench) {
    double load[3] = {0, 0, 0};
    const int got = ::getloadavg(load, 3);
    std::printf("%s: load average %.2f %.2f %.2f on %ld cores\n", bench, got > 0 ? load[0] : -1,
                got > 1 ? load[1] : -1, got > 2 ? load[2] : -1, ::sysconf(_SC_NPROCESSORS_ONLN));
    std::fflush(stdout);
}

} // namespace tamsivo::bench
