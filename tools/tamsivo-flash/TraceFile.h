#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tamsivo::cli {

// The sole owner of a trace's file: created anew, or emptied, for one invocation. Writes go to
// the system at once and are not synced: a trace is for reading after the run, and a sync per
// line would slow the line down.
class TraceFile {
public:
    TraceFile() = default;
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;
    ~TraceFile() { Close(); }

    // False with the system's reason (UTF-8). A path that names no plain file (a folder, a FIFO,
    // a device) is refused: a FIFO without a reader would hold the run before it began.
    bool Create(const std::filesystem::path& path, std::string* reason);
    // Writes all of `data`; false with the system's reason.
    bool Write(std::string_view data, std::string* reason);
    void Close();

private:
    static constexpr std::intptr_t kClosed = -1; // also Windows' INVALID_HANDLE_VALUE

    std::intptr_t handle_ = kClosed; // a descriptor on POSIX, a HANDLE on Windows
};

} // namespace tamsivo::cli
