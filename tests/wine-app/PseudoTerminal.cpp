#include "PseudoTerminal.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tamsivo::test {

PseudoTerminal::~PseudoTerminal() {
    if (master_ >= 0) {
        ::close(master_);
    }
}

bool PseudoTerminal::Open(std::string* error) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) {
        *error = std::string("posix_openpt: ") + std::strerror(errno);
        return false;
    }
    char name[128] = {};
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name, sizeof(name)) != 0) {
        *error = std::string("preparing the pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    slavePath_ = name;
    if (::chmod(name, 0666) != 0) {
        *error = slavePath_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace tamsivo::test
