#pragma once

#include "app/AppState.h"

#include <cstdint>
#include <filesystem>
#include <string>

namespace tamsivo {

// Appends the full path of every entry of `folder` matching "*.enc" (the system's
// case-insensitive wildcard; hidden files and folders included) to `list`, in the order the
// system enumerates them, and returns how many. The list is never emptied here. Paths are
// absolute even for a relative `folder`, and name the entries as the file system does. A
// missing folder finds nothing (0).
std::int32_t ScanFirmwareFolder(const std::filesystem::path& folder, PathList& list);

// A package's name as the dialog shows it: Windows-1251, with '?' for what it cannot spell.
std::string ShownName(const std::filesystem::path& name);

} // namespace tamsivo
