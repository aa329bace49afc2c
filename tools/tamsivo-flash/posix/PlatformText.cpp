#include "PlatformText.h"

namespace tamsivo::cli {

std::vector<std::string> PlatformText::Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::string PlatformText::EngineName(const std::string& utf8) {
    return utf8;
}

std::string PlatformText::NameFromEngine(const std::string& name) {
    return name;
}

} // namespace tamsivo::cli
