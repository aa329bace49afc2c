#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>

namespace tamsivo {

// Where the run log lives for the current user: POSIX $XDG_STATE_HOME/tamsivo/runs.jsonl when
// XDG_STATE_HOME is an absolute path, else $HOME/.local/state/tamsivo/runs.jsonl; Windows
// %LOCALAPPDATA%\Tamsivo\runs.jsonl, kept in UTF-16. Empty when no such folder is known.
std::filesystem::path DefaultRunLogPath();

// The size of an open file; none when the system cannot tell or it is no plain file.
std::optional<std::uint64_t> OpenFileSize(std::FILE* file);

} // namespace tamsivo
