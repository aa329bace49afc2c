#pragma once

#include "app/AppState.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace tamsivo {

// Appends the full path of every entry of `folder` matching "*.enc" (the system's
// case-insensitive wildcard; hidden files and folders included) to `list`, in the order the
// system enumerates them, and returns how many. The list is never emptied here. Paths are
// absolute even for a relative `folder`, spelt in Windows-1251 to be shown; an entry's name
// that Windows-1251 cannot hold is given by its short alias, which still opens the file where
// the volume keeps one. A missing folder finds nothing (0).
std::int32_t ScanFirmwareFolder(const std::filesystem::path& folder, StringList& list);

// The part of `path` after its last backslash.
std::string FileNameOfPath(const std::string& path);

} // namespace tamsivo
