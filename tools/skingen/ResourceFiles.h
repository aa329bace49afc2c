#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tamsivo::skingen {

// The picture files the program's resource script includes, by file name.
class ResourceFiles {
public:
    struct File {
        std::string name;
        std::vector<std::uint8_t> bytes;
    };

    static constexpr const char* kSkin = "skin.bmp";
    static constexpr const char* kIcon = "tamsivo.ico";
    static constexpr const char* kCursor = "hand.cur";

    static std::vector<File> generate();
    // Writes every file into the directory; throws std::runtime_error naming the file that
    // could not be written.
    static void writeAll(const std::filesystem::path& directory);
};

} // namespace tamsivo::skingen
