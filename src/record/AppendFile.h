#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

namespace tamsivo {

// The sole owner of a file opened for appending. The system puts each write at the file's
// end in one piece, so that writers in other processes never split each other's lines.
class AppendFile {
public:
    AppendFile() = default;
    AppendFile(AppendFile&& other) noexcept : handle_(std::exchange(other.handle_, kClosed)) {}
    AppendFile& operator=(AppendFile&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, kClosed);
        }
        return *this;
    }
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;
    ~AppendFile() { Close(); }

    // Opens `path`, created when missing; false with the system's reason (UTF-8). A path that
    // names no plain file (a folder, a FIFO, a device) is refused.
    bool Open(const std::filesystem::path& path, std::string* reason);

    // Writes all of `data` at the end with one call and returns once it is on the disk; false
    // with the system's reason.
    bool Write(std::string_view data, std::string* reason);

    void Close();

private:
    static constexpr std::intptr_t kClosed = -1; // also Windows' INVALID_HANDLE_VALUE

    std::intptr_t handle_ = kClosed; // a descriptor on POSIX, a HANDLE on Windows
};

} // namespace tamsivo
