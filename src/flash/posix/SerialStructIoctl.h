#pragma once

#include <linux/serial.h>

namespace tamsivo {

// TEST SEAM. The TIOCGSERIAL / TIOCSSERIAL requests of the serial line go through this
// pointer, so that a test can stand a driver in: a pseudo-terminal has no serial struct, and
// the flags a driver keeps cannot be seen any other way. Product code never assigns it; it is
// ::ioctl.
using SerialStructRequest = int (*)(int fd, unsigned long request, serial_struct* info);
extern SerialStructRequest serialStructIoctl;

} // namespace tamsivo
