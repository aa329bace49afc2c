#include "Console.h"

#include <csignal>

#include <unistd.h>

namespace tamsivo::cli {
namespace {

// A reader that goes away (a closed pipe, "| head", a dropped ssh session) must not end the
// program in the middle of a frame: writes to it fail quietly instead, the run goes on, and
// the exit code still tells how it ended.
const bool kBrokenPipesIgnored = ::signal(SIGPIPE, SIG_IGN) != SIG_ERR;

} // namespace

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
