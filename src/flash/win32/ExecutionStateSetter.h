#pragma once

#include <windows.h>

namespace tamsivo {

// The system call through which StayAwake sets the thread's execution state,
// SetThreadExecutionState unless a test has put a recorder in its place. Returns the one that
// was in place.
using ExecutionStateSetter = EXECUTION_STATE(WINAPI*)(EXECUTION_STATE);
ExecutionStateSetter ReplaceExecutionStateSetter(ExecutionStateSetter setter);

} // namespace tamsivo
