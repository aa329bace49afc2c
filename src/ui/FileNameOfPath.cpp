#include "ui/FirmwareFolder.h"

namespace tamsivo {

std::string FileNameOfPath(const std::string& path) {
    const std::size_t separator = path.rfind('\\');
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

} // namespace tamsivo
