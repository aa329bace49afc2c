#pragma once

#include "flash/Outcome.h"

#include <string>

namespace tamsivo::cli {

// How an invocation of tamsivo-flash ends, as a script sees it: its exit status and its JSON
// "result" word. Scripts and service stations test these, so a number never changes meaning
// and a new kind of end gets a new number. A run ends as its outcome says (kOutcomes); the
// command line has ends of its own below.
struct CliEnd {
    int code;
    const char* key;
    const char* meaning; // for --help; "{updates}" stands for the packages' folder

    bool Succeeded() const { return code == 0; }
};

constexpr CliEnd EndOf(Outcome outcome) {
    const OutcomeRow& row = RowOf(outcome);
    return {row.exitCode, row.key, row.meaning};
}

inline constexpr CliEnd kUsage{2, "usage", "usage error"};
inline constexpr CliEnd kNoPackage{3, "no_package", "no .enc package in ./{updates}"};
inline constexpr CliEnd kChoosePackage{4, "choose_package",
                                       "several packages in ./{updates}: name one"};
inline constexpr CliEnd kSha256Mismatch{18, "sha256_mismatch",
                                        "package's SHA-256 differs from --expect-sha256"};
// The command line's own ends that have a code of their own, for --help and the read-me.
inline constexpr CliEnd kOwnEnds[] = {kUsage, kNoPackage, kChoosePackage, kSha256Mismatch};
// What succeeds without a run.
inline constexpr CliEnd kValid{0, "valid", nullptr};
inline constexpr CliEnd kPorts{0, "ports", nullptr};
inline constexpr CliEnd kHistory{0, "history", nullptr};

// Every exit code with its meaning, in the words of --help.
std::string ExitCodeHelp();

} // namespace tamsivo::cli
