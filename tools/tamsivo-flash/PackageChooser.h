#pragma once

#include <cstdio>
#include <filesystem>
#include <istream>
#include <string>
#include <vector>

namespace tamsivo::cli {

// Finds the package to flash when none is named: the .enc entries of the updates folder.
class PackageChooser {
public:
    explicit PackageChooser(std::filesystem::path folder);

    // Every entry whose name ends in ".enc" in any letter case, folders included, as the
    // Windows program's file search finds them; sorted by name, ignoring letter case. False
    // with a reason when the folder cannot be read; a missing folder holds no packages.
    bool Find(std::vector<std::filesystem::path>* packages, std::string* error) const;

    // Asks on `out` for a number 1..N until one is given; false at the end of the input.
    static bool Prompt(const std::vector<std::filesystem::path>& packages, std::istream& in,
                       std::FILE* out, std::size_t* chosen);

    // "  1) name" lines, UTF-8.
    static std::string Listing(const std::vector<std::filesystem::path>& packages);

private:
    std::filesystem::path folder_;
};

} // namespace tamsivo::cli
