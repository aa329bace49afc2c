#include "PackageChooser.h"

#include "Console.h"
#include "PlatformText.h"

#include <algorithm>
#include <system_error>

namespace tamsivo::cli {
namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool HasPackageExtension(const std::string& name) {
    static constexpr std::string_view kExtension = ".enc";
    if (name.size() < kExtension.size()) {
        return false;
    }
    const std::string_view tail(name.data() + name.size() - kExtension.size(), kExtension.size());
    return std::equal(tail.begin(), tail.end(), kExtension.begin(),
                      [](char a, char b) { return Lower(a) == b; });
}

bool NameBefore(const std::string& a, const std::string& b) {
    const auto folded = [](const std::string& s) {
        std::string out = s;
        std::transform(out.begin(), out.end(), out.begin(), Lower);
        return out;
    };
    const std::string fa = folded(a);
    const std::string fb = folded(b);
    return fa != fb ? fa < fb : a < b;
}

} // namespace

PackageChooser::PackageChooser(std::filesystem::path folder) : folder_(std::move(folder)) {}

bool PackageChooser::Find(std::vector<std::filesystem::path>* packages, std::string* error) const {
    packages->clear();
    std::error_code code;
    if (!std::filesystem::exists(folder_, code)) {
        if (code) {
            *error = "cannot look for the folder " + Utf8Of(folder_) + ": " + code.message();
        }
        return !code;
    }
    std::filesystem::directory_iterator it(folder_, code);
    for (; !code && it != std::filesystem::directory_iterator(); it.increment(code)) {
        if (HasPackageExtension(Utf8Of(it->path().filename()))) {
            packages->push_back(it->path());
        }
    }
    if (code) {
        *error = "cannot read the folder " + Utf8Of(folder_) + ": " + code.message();
        return false;
    }
    std::sort(packages->begin(), packages->end(),
              [](const std::filesystem::path& a, const std::filesystem::path& b) {
                  return NameBefore(Utf8Of(a.filename()), Utf8Of(b.filename()));
              });
    return true;
}

bool PackageChooser::Prompt(const std::vector<std::filesystem::path>& packages, std::istream& in,
                            std::FILE* out, std::size_t* chosen) {
    Console::Write(out, "Several packages are ready:\n" + Listing(packages));
    for (;;) {
        Console::Write(out, "Package (1-" + std::to_string(packages.size()) + "): ");
        std::string answer;
        if (!std::getline(in, answer)) {
            Console::Write(out, "\n");
            return false;
        }
        std::size_t used = 0;
        unsigned long number = 0;
        try {
            number = std::stoul(answer, &used);
        } catch (const std::exception&) {
            used = 0;
        }
        while (used < answer.size() && (answer[used] == ' ' || answer[used] == '\r')) {
            ++used;
        }
        if (used != 0 && used == answer.size() && number >= 1 && number <= packages.size()) {
            *chosen = number - 1;
            return true;
        }
    }
}

std::string PackageChooser::Listing(const std::vector<std::filesystem::path>& packages) {
    std::string text;
    for (std::size_t i = 0; i < packages.size(); ++i) {
        text += "  " + std::to_string(i + 1) + ") " + Utf8Of(packages[i].filename()) + '\n';
    }
    return text;
}

} // namespace tamsivo::cli
