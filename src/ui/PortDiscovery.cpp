#include "ui/PortDiscovery.h"

#include "flash/SerialPorts.h"

#include <memory>

namespace tamsivo {

namespace {

// Latin letters on purpose: the label has always shown these three bytes, and the value is
// stored in the settings as it is shown.
constexpr const char* kNoPort = "\x48\x45\x54";

} // namespace

std::string DiscoverSerialPorts(AppState& state, const std::vector<std::string>& freePorts) {
    // The list normally arrives empty, created just before the dialog; starting from a clean
    // list keeps the count and the entries in step if discovery ever runs twice.
    if (!state.portNames) {
        state.portNames = std::make_unique<StringList>();
    }
    StringList& names = *state.portNames;
    names.clear();
    state.portCount = 0;
    for (const std::string& port : freePorts) {
        names.push_back(port);
        ++state.portCount;
    }

    state.portIndex = 0;
    for (std::int32_t i = 0; i < state.portCount; ++i) {
        // Byte for byte: a name stored by hand in another case is not the port's name.
        if (names[static_cast<std::size_t>(i)] == state.portName) {
            state.portIndex = i;
        }
    }
    return state.portCount > 0 ? names[static_cast<std::size_t>(state.portIndex)] : kNoPort;
}

std::string DiscoverSerialPorts() {
    return DiscoverSerialPorts(TheAppState(), FreeSerialPorts());
}

} // namespace tamsivo
