#pragma once

#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/types.h>

namespace tamsivo {

// Who else holds serial devices, read from the system's folders below `root` (see
// SystemTree.h) without opening any device: on Linux every open of a serial device raises DTR
// and RTS, also a second open of a port another program is flashing through, so looking must
// never touch it. A device is held
//  - when proc/locks shows a lock on its node, whoever took it (a flock of picocom or of
//    another Tamsivo run, this process's own included: a second descriptor would conflict);
//  - when a UUCP lock file, run/lock/LCK..NAME or var/lock/LCK..NAME, names a live process
//    (minicom takes such a file and no lock on the node);
//  - when another process has it among its open files in proc/PID/fd (a terminal program
//    that takes neither). This process's own descriptors are no other holder.
// proc/locks is read once and proc/*/fd scanned once, at the first device that needs it, so
// that one object serves a whole listing.
class PortHolders {
public:
    explicit PortHolders(std::string root);

    // "pid (comm)" of a holder of the device whose node is `device` ("pid" where its command
    // is hidden); empty when no holder shows. `lockName` is the device's name in UUCP lock
    // files ("ttyUSB0"), empty where it has none.
    std::string Of(const struct stat& device, const std::string& lockName);

private:
    // A lock of proc/locks: the locked file's file system (major, minor) and inode.
    struct Lock {
        unsigned major;
        unsigned minor;
        unsigned long long inode;
        long pid;
    };
    // A device among another process's open files.
    struct Opener {
        dev_t device;
        long pid;
    };

    long LockHolder(const struct stat& device) const;
    long LockFileHolder(const std::string& lockName) const;
    long OpenerOf(const struct stat& device);
    std::vector<Opener> ScanOpenDevices() const;
    std::string Describe(long pid) const;

    std::string root_;
    std::string proc_;
    long self_;
    std::vector<Lock> locks_;
    std::optional<std::vector<Opener>> openers_;
};

} // namespace tamsivo
