#pragma once

#include "flash/FlashRun.h"
#include "record/FileDigest.h"
#include "record/RunRecord.h"

#include <string>

namespace tamsivo {

// The record a finished run leaves in the log. `startedAt` is LocalTimeNow() of the run's
// start, `outcome` its FlashOutcome key; the texts are UTF-8. The answers are kept only when
// the run failed: a completed or stopped run has nothing to explain.
RunRecord RecordOfRun(const char* program, std::string startedAt, const FileDigest& package,
                      std::string packageName, std::string port, const char* outcome,
                      const FlashRun::Statistics& stats);

// The outcome key of a run that ended with the notification `ending` (FlashRun::Statistics).
const char* OutcomeKeyOf(unsigned ending);

} // namespace tamsivo
