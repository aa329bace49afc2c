#include "flash/posix/SerialStructIoctl.h"

#include <sys/ioctl.h>

namespace tamsivo {

namespace {

int SystemSerialStructIoctl(int fd, unsigned long request, serial_struct* info) {
    return ::ioctl(fd, request, info);
}

} // namespace

SerialStructRequest serialStructIoctl = SystemSerialStructIoctl;

} // namespace tamsivo
