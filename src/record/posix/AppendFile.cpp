#include "record/AppendFile.h"

#include "flash/Platform.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tamsivo {

bool AppendFile::Open(const std::filesystem::path& path, std::string* reason) {
    Close();
    // O_APPEND: the kernel moves to the end and writes as one step, whoever else appends.
    // O_NONBLOCK: a FIFO in the file's place must not hold the program at the end of a run.
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, 0644);
    if (fd < 0) {
        *reason = SystemErrorText(errno);
        return false;
    }
    struct stat st {};
    const bool known = ::fstat(fd, &st) == 0;
    if (!known || !S_ISREG(st.st_mode)) {
        *reason = known ? "not a plain file" : SystemErrorText(errno);
        ::close(fd);
        return false;
    }
    handle_ = fd;
    return true;
}

bool AppendFile::Write(std::string_view data, std::string* reason) {
    const int fd = static_cast<int>(handle_);
    ssize_t written = 0;
    do {
        written = ::write(fd, data.data(), data.size());
    } while (written < 0 && errno == EINTR);
    if (written < 0) {
        *reason = SystemErrorText(errno);
        return false;
    }
    if (static_cast<std::size_t>(written) != data.size()) {
        // The rest did not fit: a second write could land after another writer's line.
        *reason = SystemErrorText(ENOSPC);
        return false;
    }
    // A record is the technician's proof of what was written into a car; it must outlive the
    // power being cut right after the run.
    int synced = 0;
    do {
        synced = ::fdatasync(fd);
    } while (synced != 0 && errno == EINTR);
    if (synced != 0) {
        *reason = SystemErrorText(errno);
        return false;
    }
    return true;
}

void AppendFile::Close() {
    if (handle_ != kClosed) {
        ::close(static_cast<int>(handle_));
        handle_ = kClosed;
    }
}

} // namespace tamsivo
