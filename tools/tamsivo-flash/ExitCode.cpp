#include "ExitCode.h"

#include "flash/FirmwarePackage.h"

#include <map>

namespace tamsivo::cli {

std::string ExitCodeHelp() {
    std::map<int, const char*> meanings;
    for (const OutcomeRow& row : kOutcomes) {
        meanings[row.exitCode] = row.meaning;
    }
    for (const CliEnd& end : kOwnEnds) {
        meanings[end.code] = end.meaning;
    }
    std::string help = "Exit codes:\n";
    for (const auto& [code, meaning] : meanings) {
        std::string line = meaning;
        const std::string placeholder = "{updates}";
        if (const std::size_t at = line.find(placeholder); at != std::string::npos) {
            line.replace(at, placeholder.size(), kUpdatesFolder);
        }
        help += (code < 10 ? "   " : "  ") + std::to_string(code) + "  " + line + '\n';
    }
    return help;
}

} // namespace tamsivo::cli
