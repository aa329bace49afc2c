#include "Console.h"

#include <io.h>
#include <windows.h>

#include <string>

namespace tamsivo::cli {
namespace {

HANDLE ConsoleOf(std::FILE* stream) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
        return nullptr;
    }
    return handle;
}

} // namespace

bool Console::IsTerminal(std::FILE* stream) {
    return ConsoleOf(stream) != nullptr;
}

bool Console::MovesCursor(std::FILE* stream) {
    const HANDLE console = ConsoleOf(stream);
    DWORD mode = 0;
    // Consoles before Windows 10 refuse the mode and would print the sequences as text.
    return console != nullptr && GetConsoleMode(console, &mode) &&
           SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

std::size_t Console::Columns(std::FILE* stream) {
    const HANDLE console = ConsoleOf(stream);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (console == nullptr || !GetConsoleScreenBufferInfo(console, &info)) {
        return 0;
    }
    return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
}

bool Console::InputIsTerminal() {
    return ConsoleOf(stdin) != nullptr;
}

void Console::Write(std::FILE* stream, std::string_view utf8) {
    const HANDLE console = ConsoleOf(stream);
    if (console == nullptr || utf8.empty()) {
        std::fwrite(utf8.data(), 1, utf8.size(), stream);
        std::fflush(stream);
        return;
    }
    // Whatever the C runtime still buffers must reach the console first.
    std::fflush(stream);
    const int size = static_cast<int>(utf8.size());
    const int wideSize = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideSize), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), wideSize);
    DWORD written = 0;
    WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
}

} // namespace tamsivo::cli
