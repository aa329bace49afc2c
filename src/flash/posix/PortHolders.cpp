#include "flash/posix/PortHolders.h"

#include "flash/posix/SystemTree.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>

#include <dirent.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace tamsivo {

namespace {

// A process id in decimal; 0 when the text is none (pids stay below 2^22).
long PidOf(std::string_view text) {
    if (text.empty() || text.size() > 9) {
        return 0;
    }
    long pid = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return 0;
        }
        pid = pid * 10 + (c - '0');
    }
    return pid;
}

// The pid a UUCP lock file names: ASCII, right-aligned in ten characters with a line end
// (HDB UUCP, minicom, lockdev), or a binary int (older UUCP); 0 when it is neither.
long LockFilePid(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char bytes[32] = {};
    file.read(bytes, sizeof bytes);
    const auto size = static_cast<std::size_t>(file.gcount());
    const std::string_view text(bytes, size);
    const std::size_t first = text.find_first_not_of(" \t\n");
    const std::size_t last = text.find_last_not_of(" \t\n");
    if (const long pid =
            first == std::string_view::npos ? 0 : PidOf(text.substr(first, last - first + 1));
        pid != 0) {
        return pid;
    }
    if (size == sizeof(int)) {
        int pid = 0;
        std::memcpy(&pid, bytes, sizeof pid);
        return pid;
    }
    return 0;
}

// The kernel is asked, not proc/: a /proc mounted with hidepid hides other users' processes,
// and their lock files would look stale. EPERM means the process exists but is not ours.
bool IsAlive(long pid) {
    return pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

} // namespace

PortHolders::PortHolders(std::string root)
    : root_(std::move(root)), proc_(PathUnder(root_, "proc")), self_(::getpid()) {
    // "1: FLOCK  ADVISORY  WRITE 1234 00:05:118 0 EOF": the file as the major:minor of its
    // file system (hexadecimal) and its inode. A process waiting for a lock is listed with
    // "->" after the number and holds nothing.
    std::ifstream locks(proc_ + "/locks");
    for (std::string line; std::getline(locks, line);) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, file;
        Lock lock{};
        if (!(fields >> number >> kind) || kind == "->" ||
            !(fields >> mode >> access >> lock.pid >> file)) {
            continue;
        }
        if (std::sscanf(file.c_str(), "%x:%x:%llu", &lock.major, &lock.minor, &lock.inode) == 3 &&
            lock.pid > 0) {
            locks_.push_back(lock);
        }
    }
}

std::string PortHolders::Of(const struct stat& device, const std::string& lockName) {
    long pid = LockHolder(device);
    if (pid == 0) {
        pid = LockFileHolder(lockName);
    }
    if (pid == 0) {
        pid = OpenerOf(device);
    }
    return pid == 0 ? std::string() : Describe(pid);
}

long PortHolders::LockHolder(const struct stat& device) const {
    for (const Lock& lock : locks_) {
        if (lock.major == ::major(device.st_dev) && lock.minor == ::minor(device.st_dev) &&
            lock.inode == device.st_ino) {
            return lock.pid;
        }
    }
    return 0;
}

// A file whose process is gone is stale and holds nothing; nor does one naming this process,
// which takes no such file.
long PortHolders::LockFileHolder(const std::string& lockName) const {
    if (lockName.empty()) {
        return 0;
    }
    for (const char* folder : {"run/lock/LCK..", "var/lock/LCK.."}) {
        const long pid = LockFilePid(PathUnder(root_, folder + lockName));
        if (pid != self_ && IsAlive(pid)) {
            return pid;
        }
    }
    return 0;
}

long PortHolders::OpenerOf(const struct stat& device) {
    if (!S_ISCHR(device.st_mode)) {
        return 0;
    }
    if (!openers_) {
        openers_ = ScanOpenDevices();
    }
    for (const Opener& opener : *openers_) {
        if (opener.device == device.st_rdev) {
            return opener.pid;
        }
    }
    return 0;
}

// Other users' processes cannot be looked into without privileges and are passed over.
std::vector<PortHolders::Opener> PortHolders::ScanOpenDevices() const {
    std::vector<Opener> openers;
    DIR* processes = ::opendir(proc_.c_str());
    if (processes == nullptr) {
        return openers;
    }
    while (const dirent* process = ::readdir(processes)) {
        const long pid = PidOf(process->d_name);
        if (pid == 0 || pid == self_) {
            continue;
        }
        const std::string fdFolder = proc_ + "/" + process->d_name + "/fd";
        DIR* descriptors = ::opendir(fdFolder.c_str());
        if (descriptors == nullptr) {
            continue;
        }
        while (const dirent* descriptor = ::readdir(descriptors)) {
            // stat() follows the link to the file without opening it.
            struct stat file {};
            if (descriptor->d_name[0] != '.' &&
                ::stat((fdFolder + "/" + descriptor->d_name).c_str(), &file) == 0 &&
                S_ISCHR(file.st_mode)) {
                openers.push_back({file.st_rdev, pid});
            }
        }
        ::closedir(descriptors);
    }
    ::closedir(processes);
    return openers;
}

std::string PortHolders::Describe(long pid) const {
    const std::string command = FirstLine(proc_ + "/" + std::to_string(pid) + "/comm");
    return std::to_string(pid) + (command.empty() ? "" : " (" + command + ")");
}

} // namespace tamsivo
