#include "flash/posix/SystemTree.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/types.h>

namespace tamsivo {

namespace {

bool IsNumber(const char* text) {
    if (*text == '\0') {
        return false;
    }
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') {
            return false;
        }
    }
    return true;
}

// A device node is known by its device number wherever it is reached from (/dev/ttyUSB0, a
// by-id link, an open descriptor); anything else by the file system and inode.
bool SameFile(const struct stat& a, const struct stat& b) {
    if (S_ISCHR(a.st_mode) && S_ISCHR(b.st_mode)) {
        return a.st_rdev == b.st_rdev;
    }
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// /proc/locks names a lock's file as "MAJOR:MINOR:INODE" of the file system the node lives on,
// the numbers of the device in hexadecimal: "1: FLOCK  ADVISORY  WRITE 1234 00:05:118 0 EOF".
// A process waiting for the lock is listed with "->" after the number and holds nothing.
long FlockHolder(const std::string& locksPath, const struct stat& device) {
    std::ifstream locks(locksPath);
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, file;
        long pid = 0;
        if (!(fields >> number >> kind) || kind == "->" ||
            !(fields >> mode >> access >> pid >> file)) {
            continue;
        }
        unsigned major = 0;
        unsigned minor = 0;
        unsigned long long inode = 0;
        if (std::sscanf(file.c_str(), "%x:%x:%llu", &major, &minor, &inode) == 3 && pid > 0 &&
            major == ::major(device.st_dev) && minor == ::minor(device.st_dev) &&
            inode == device.st_ino) {
            return pid;
        }
    }
    return 0;
}

// A program that opened the port without a lock (a terminal program relying on TIOCEXCL, a
// getty) shows only among the open files of its process. Other users' processes cannot be
// looked into without privileges and are passed over.
long OpenerOf(const std::string& proc, const struct stat& device) {
    DIR* processes = ::opendir(proc.c_str());
    if (processes == nullptr) {
        return 0;
    }
    long found = 0;
    while (const dirent* process = ::readdir(processes)) {
        if (!IsNumber(process->d_name)) {
            continue;
        }
        const std::string fdFolder = proc + "/" + process->d_name + "/fd";
        DIR* descriptors = ::opendir(fdFolder.c_str());
        if (descriptors == nullptr) {
            continue;
        }
        while (const dirent* descriptor = ::readdir(descriptors)) {
            struct stat file {};
            if (IsNumber(descriptor->d_name) &&
                ::stat((fdFolder + "/" + descriptor->d_name).c_str(), &file) == 0 &&
                SameFile(file, device)) {
                found = std::stol(process->d_name);
                break;
            }
        }
        ::closedir(descriptors);
        if (found != 0) {
            break;
        }
    }
    ::closedir(processes);
    return found;
}

} // namespace

std::string PathUnder(const std::string& root, const std::string& relative) {
    if (root.empty() || root.back() == '/') {
        return (root.empty() ? "/" : root) + relative;
    }
    return root + "/" + relative;
}

std::string FirstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.pop_back();
    }
    return line;
}

std::string PortHolder(const std::string& devicePath, const std::string& root) {
    struct stat device {};
    if (::stat(devicePath.c_str(), &device) != 0) {
        return {};
    }
    const std::string proc = PathUnder(root, "proc");
    long pid = FlockHolder(proc + "/locks", device);
    if (pid == 0) {
        pid = OpenerOf(proc, device);
    }
    if (pid == 0) {
        return {};
    }
    const std::string command = FirstLine(proc + "/" + std::to_string(pid) + "/comm");
    return std::to_string(pid) + (command.empty() ? "" : " (" + command + ")");
}

} // namespace tamsivo
