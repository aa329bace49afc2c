#pragma once

#include <filesystem>

namespace tamsivo {

// Where the run log lives for the current user: POSIX $XDG_STATE_HOME/tamsivo/runs.jsonl when
// XDG_STATE_HOME is an absolute path, else $HOME/.local/state/tamsivo/runs.jsonl; Windows
// %LOCALAPPDATA%\Tamsivo\runs.jsonl, kept in UTF-16. Empty when no such folder is known.
std::filesystem::path DefaultRunLogPath();

} // namespace tamsivo
