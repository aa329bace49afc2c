#include "flash/PortProblem.h"

#include "flash/Platform.h"
#include "flash/posix/SystemTree.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tamsivo {

namespace {

std::string UserName() {
    if (const passwd* user = ::getpwuid(::geteuid()); user != nullptr) {
        return user->pw_name;
    }
    const char* name = std::getenv("USER");
    return name != nullptr && name[0] != '\0' ? name : "$USER";
}

// Whether this process has the group now; membership granted after the session began shows
// in the group database only, until the user logs in again.
bool ProcessHasGroup(gid_t gid) {
    if (::getegid() == gid) {
        return true;
    }
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(count > 0 ? static_cast<std::size_t>(count) : 0);
    const int got = ::getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

bool ListedInGroup(const group& entry, const std::string& user) {
    for (char* const* member = entry.gr_mem; member != nullptr && *member != nullptr; ++member) {
        if (user == *member) {
            return true;
        }
    }
    const passwd* account = ::getpwnam(user.c_str());
    return account != nullptr && account->pw_gid == entry.gr_gid;
}

// Serial devices are normally open to one group (dialout, uucp), and joining it is the cure.
// When the group may not read and write the device, or the group is root's, joining would not
// help or would give away far more than a port.
PortProblem PermissionProblem(const std::string& devicePath) {
    struct stat device {};
    if (::stat(devicePath.c_str(), &device) != 0) {
        return {"permission denied", "run the flasher as a user who may open the port"};
    }
    // The owner's own bits decide for the owner, whatever the group and the others may do.
    if (device.st_uid == ::geteuid() &&
        (device.st_mode & (S_IRUSR | S_IWUSR)) != (S_IRUSR | S_IWUSR)) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(device.st_mode & 07777));
        return {"permission denied: you own the device, but its mode " + std::string(mode) +
                    " lets its owner not read and write it",
                "chmod u+rw " + devicePath};
    }
    const group* entry = ::getgrgid(device.st_gid);
    const std::string groupName =
        entry != nullptr ? std::string(entry->gr_name) : std::to_string(device.st_gid);
    const std::string user = UserName();
    const bool groupMayUse = (device.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (!groupMayUse || device.st_gid == 0 || entry == nullptr) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(device.st_mode & 07777));
        return {"permission denied: the device (mode " + std::string(mode) + ", group '" +
                    groupName + "') has no group that a user could join to use it",
                "give your user access to the device with a udev rule, or run as root"};
    }
    if (ProcessHasGroup(device.st_gid)) {
        return {"permission denied, although you are in the device's group '" + groupName + "'",
                "check the device's access rules (ACL, SELinux, AppArmor)"};
    }
    if (ListedInGroup(*entry, user)) {
        return {"the device belongs to group '" + groupName +
                    "', which you joined after this session began",
                "log out and in again"};
    }
    return {"the device belongs to group '" + groupName + "', which you are not in",
            "sudo usermod -aG " + groupName + " " + user + ", then log out and in again"};
}

// `holder` as PortHolder() tells it.
PortProblem BusyProblem(const std::string& holder) {
    if (holder.empty()) {
        return {"the port is in use by another program",
                "close the program that uses the port, or choose another port"};
    }
    return {"the port is in use by process " + holder,
            "close that program, or choose another port"};
}

} // namespace

PortProblem ExplainPortError(const std::string& devicePath, int error) {
    return ExplainPortError(devicePath, error, "/");
}

PortProblem ExplainPortError(const std::string& devicePath, int error, const std::string& root) {
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return {"no such device (" + SystemErrorText(error) + ")",
                "connect the adapter, or choose another port (tamsivo-flash --list-ports)"};
    case EACCES:
    case EPERM:
        return PermissionProblem(devicePath);
    case EBUSY:
        return BusyProblem(PortHolder(devicePath, root));
    case ENOTTY:
    case EISDIR:
        return {"not a serial device", "choose a serial port (tamsivo-flash --list-ports)"};
    default:
        return {SystemErrorText(error), {}};
    }
}

PortProblem ExplainPortState(const SerialPortInfo& port) {
    return ExplainPortState(port, "/");
}

// The listing has found the holder already, also where the device's own name is all that
// ties a lock file to it.
PortProblem ExplainPortState(const SerialPortInfo& port, const std::string& root) {
    return port.state == PortState::Busy ? BusyProblem(port.holder)
                                         : PermissionProblem(PathUnder(root, "dev/" + port.name));
}

} // namespace tamsivo
