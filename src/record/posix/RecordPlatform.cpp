#include "record/RecordPlatform.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tamsivo {
namespace {

// HOME, or the password database's entry when a service runs us without it.
std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return home;
    }
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
}

} // namespace

std::filesystem::path DefaultRunLogPath() {
    // The XDG base directory rules: a relative value is to be ignored.
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::filesystem::path(state) / "tamsivo" / "runs.jsonl";
    }
    const std::string home = HomeFolder();
    if (home.empty()) {
        return {};
    }
    return std::filesystem::path(home) / ".local" / "state" / "tamsivo" / "runs.jsonl";
}

} // namespace tamsivo
