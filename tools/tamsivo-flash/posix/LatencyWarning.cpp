#include "LatencyWarning.h"

namespace tamsivo::cli {

// None: the serial line asks ftdi_sio for its low-latency mode, which sets the timer to 1 ms
// for the run whatever sysfs said before it.
std::string LatencyWarnings(const std::vector<std::string>&, std::uint32_t) {
    return {};
}

} // namespace tamsivo::cli
