#pragma once

#include <atomic>
#include <cstdint>

namespace tamsivo {

// The two flags a run shares with whoever started it, without a lock: each has one writer.
struct RunControl {
    // Written by the starter: 1 to let the run go on, 0 to stop it. The run looks at it before
    // it opens the port and before every frame, and ends silently once it is 0.
    std::atomic<std::uint8_t> runAllowed{0};
    // Written by the run: 1 from its first step until it has closed the port.
    std::atomic<std::uint8_t> busy{0};
};

} // namespace tamsivo
