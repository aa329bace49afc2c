#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tamsivo::cli {

// The program works in UTF-8 and keeps paths as the file system's own (UTF-16 on Windows); the
// flash engine takes port names in the platform's own text: raw bytes on POSIX, Windows-1251 on
// Windows.
class PlatformText {
public:
    // The command-line arguments as UTF-8. On Windows they are taken from the UTF-16 command
    // line, because argv holds them in the ANSI code page, which loses characters.
    static std::vector<std::string> Arguments(int argc, char** argv);

    // A port name as FlashRun takes it.
    static std::string EngineName(const std::string& utf8);
    // A name the engine found (a serial port) as UTF-8.
    static std::string NameFromEngine(const std::string& name);
};

// UTF-8 text of a path, and a path from UTF-8 text, the same on every platform.
inline std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

inline std::filesystem::path PathFromUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

} // namespace tamsivo::cli
