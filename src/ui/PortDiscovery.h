#pragma once

#include "app/AppState.h"

#include <string>
#include <vector>

namespace tamsivo {

// Fills `portNames`, `portCount` and `portIndex` of the state from the free ports found (in
// ascending port order), keeping the remembered `portName` when it is among them (exact,
// case-sensitive match; `portName` itself is only read). Returns the name to show: the entry
// at `portIndex`, or "HET" (Latin letters) when no port was found. The list is emptied first,
// and created when the state has none, so that count, index and entries always agree.
std::string DiscoverSerialPorts(AppState& state, const std::vector<std::string>& freePorts);

// The same over the ports that can be opened right now (COM1 to COM256), on the shared state.
std::string DiscoverSerialPorts();

} // namespace tamsivo
