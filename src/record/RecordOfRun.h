#pragma once

#include "flash/FlashRun.h"
#include "record/RunRecord.h"

#include <string>

namespace tamsivo {

// The record a finished run leaves in the log. `startedAt` is LocalTimeNow() of the run's
// start, `reason` the system's word on its failure (empty when it had none); the texts are
// UTF-8. The answers are kept only when the run failed: a completed or stopped run has nothing
// to explain.
RunRecord RecordOfRun(const char* program, std::string startedAt, std::string packageName,
                      std::string port, const FlashRun::Statistics& stats, std::string reason);

} // namespace tamsivo
