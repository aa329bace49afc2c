#include "SimulatedAdapter.h"

namespace tamsivo::cli {

// The simulator needs a pseudo-terminal; Windows has none to offer a serial port's client.
struct SimulatedAdapter::Impl {};

SimulatedAdapter::SimulatedAdapter() = default;
SimulatedAdapter::~SimulatedAdapter() = default;

bool SimulatedAdapter::Available() {
    return false;
}

std::string SimulatedAdapter::FaultSpellings() {
    return {};
}

bool SimulatedAdapter::Validate(const SimulationSettings&, std::string* error) {
    *error = "--simulate is available on POSIX systems only";
    return false;
}

bool SimulatedAdapter::Start(const SimulationSettings& settings, std::string* error) {
    return Validate(settings, error);
}

std::string SimulatedAdapter::PortPath() const {
    return {};
}

} // namespace tamsivo::cli
