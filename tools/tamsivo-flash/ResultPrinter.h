#pragma once

#include "CliResult.h"

#include <string>
#include <vector>

namespace tamsivo::cli {

// Writes the final result: for people, the outcome on stdout after success and on stderr
// after a failure; for --json, one object on stdout whatever happened.
class ResultPrinter {
public:
    explicit ResultPrinter(bool json) : json_(json) {}

    // Returns the process exit status.
    int Print(const CliResult& result) const;
    // A command line that cannot be carried out: `message` and where help is, for people on
    // stderr, and for --json the result object of a usage error as well.
    int Usage(const std::string& message) const;
    // The results of runs through several ports, each as Print() gives it, then a summary of
    // every port's outcome. The exit status is 0 when every port succeeded, otherwise that of
    // the first port, in the order given, that failed.
    int PrintAll(const std::vector<CliResult>& results) const;

private:
    bool json_;
    bool labelled_ = false; // each outcome line names its port
};

} // namespace tamsivo::cli
