#pragma once

#include "record/RunRecord.h"

#include <string>
#include <vector>

namespace tamsivo {

// The records as a plain-text table for a terminal, UTF-8, one line each after a header:
// time, outcome, package, port, bytes sent, seconds (one decimal), frames. Columns are as wide
// as their longest cell in characters; control characters in a name show as '?'.
std::string FormatHistory(const std::vector<RunRecord>& records);

} // namespace tamsivo
