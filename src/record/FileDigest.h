#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tamsivo {

// A valid package is a few megabytes at most; a larger file is not read through, so that a
// wrong file of any size never delays the end of a run.
inline constexpr std::uint64_t kMaxDigestedBytes = 64 * 1024 * 1024;

// A file's size and SHA-256 for the run log.
struct FileDigest {
    std::optional<std::uint64_t> bytes; // none when the file cannot be opened as a plain file
    std::string sha256; // lower-case hex; empty above kMaxDigestedBytes or on a read error

    // The digest of the package at `path`, a name as the engine keeps it (Windows-1251 on
    // Windows, see OpenForReading). Reads 64 KiB at a time.
    static FileDigest Of(const std::string& path);
};

} // namespace tamsivo
