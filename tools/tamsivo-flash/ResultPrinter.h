#pragma once

#include "CliResult.h"

namespace tamsivo::cli {

// Writes the final result: for people, the outcome on stdout after success and on stderr
// after a failure; for --json, one object on stdout whatever happened.
class ResultPrinter {
public:
    explicit ResultPrinter(bool json) : json_(json) {}

    // Returns the process exit status.
    int Print(const CliResult& result) const;

private:
    bool json_;
};

} // namespace tamsivo::cli
