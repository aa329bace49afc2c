#include "Console.h"

#include <unistd.h>

namespace tamsivo::cli {

bool Console::IsTerminal(std::FILE* stream) {
    return isatty(fileno(stream)) == 1;
}

bool Console::InputIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

void Console::Write(std::FILE* stream, std::string_view utf8) {
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}

} // namespace tamsivo::cli
