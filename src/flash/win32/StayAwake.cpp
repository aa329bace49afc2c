#include "flash/StayAwake.h"

#include "flash/win32/ExecutionStateSetter.h"

#include <atomic>

namespace tamsivo {
namespace {

std::atomic<ExecutionStateSetter> theSetter{&::SetThreadExecutionState};

} // namespace

ExecutionStateSetter ReplaceExecutionStateSetter(ExecutionStateSetter setter) {
    return theSetter.exchange(setter);
}

// The execution state carries no reason; the names are for systems whose holds do.
StayAwake::StayAwake(const std::string&, const std::string&, const std::string&) {
    if (theSetter.load()(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0) {
        hold_ = 0;
    }
}

// ES_CONTINUOUS alone clears what the constructor set, and only that: the system may sleep
// again once no other thread or program needs it.
StayAwake::~StayAwake() {
    if (hold_ >= 0) {
        theSetter.load()(ES_CONTINUOUS);
    }
}

} // namespace tamsivo
