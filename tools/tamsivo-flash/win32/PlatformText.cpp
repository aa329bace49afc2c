#include "PlatformText.h"

#include "text/Cp1251.h"

// shellapi.h needs the types of windows.h.
#include <windows.h>

#include <shellapi.h>

namespace tamsivo::cli {
namespace {

std::string Utf8OfWide(const wchar_t* wide) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
    text.pop_back(); // the terminating zero
    return text;
}

} // namespace

std::vector<std::string> PlatformText::Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        arguments.push_back(Utf8OfWide(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

std::string PlatformText::EngineName(const std::string& utf8) {
    return Utf8ToCp1251(utf8);
}

std::string PlatformText::NameFromEngine(const std::string& name) {
    return Cp1251ToUtf8(name);
}

} // namespace tamsivo::cli
