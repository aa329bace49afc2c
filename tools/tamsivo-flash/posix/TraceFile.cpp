#include "TraceFile.h"

#include "flash/Platform.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tamsivo::cli {

bool TraceFile::Create(const std::filesystem::path& path, std::string* reason) {
    Close();
    // O_NONBLOCK: a FIFO in the file's place fails here instead of waiting for a reader. The
    // file is emptied only once it is known to be a plain one.
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0) {
        *reason = SystemErrorText(errno);
        return false;
    }
    struct stat st {};
    const bool known = ::fstat(fd, &st) == 0;
    if (!known || !S_ISREG(st.st_mode) || ::ftruncate(fd, 0) != 0) {
        *reason = known && !S_ISREG(st.st_mode) ? "not a plain file" : SystemErrorText(errno);
        ::close(fd);
        return false;
    }
    handle_ = fd;
    return true;
}

bool TraceFile::Write(std::string_view data, std::string* reason) {
    const int fd = static_cast<int>(handle_);
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            *reason = SystemErrorText(written < 0 ? errno : ENOSPC);
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

void TraceFile::Close() {
    if (handle_ != kClosed) {
        ::close(static_cast<int>(handle_));
        handle_ = kClosed;
    }
}

} // namespace tamsivo::cli
