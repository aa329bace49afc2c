#pragma once

#include <cstddef>
#include <cstdio>
#include <string_view>

namespace tamsivo::cli {

// The program's standard streams as the user sees them.
class Console {
public:
    // True when the stream is an interactive terminal (a Windows console).
    static bool IsTerminal(std::FILE* stream);
    static bool InputIsTerminal();
    // True when the stream is a terminal that takes the escape sequences which move the
    // cursor up and clear a line (on Windows, once it has been asked to).
    static bool MovesCursor(std::FILE* stream);
    // The terminal's width in characters; 0 when the stream is no terminal or will not say.
    static std::size_t Columns(std::FILE* stream);

    // Writes UTF-8 text and flushes. A Windows console gets UTF-16 so that the console's
    // code page does not matter; pipes and files get the UTF-8 bytes.
    static void Write(std::FILE* stream, std::string_view utf8);
};

} // namespace tamsivo::cli
