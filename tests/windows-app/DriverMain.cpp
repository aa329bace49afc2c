// tamsivo_app_driver.exe [--program IMAGE.exe] [--out FOLDER] COMMAND ARGS... ...
//
// Drives the real program, which the harness has started, through Win32 alone: finds its
// windows, reads and clicks their controls, presses keys, drags, looks at its setting and
// takes pictures. The commands are listed in DriverScript.h. Exit code 0: every command
// succeeded; 1: one failed (its reason is the last report line); 2: the command line is wrong.

#include "DriverScript.h"

#include "text/Cp1251.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    // Report lines go out byte for byte: no CR inserted before LF.
    _setmode(_fileno(stdout), _O_BINARY);
    std::wstring program = L"Tamsivo.exe";
    std::wstring outputDir;
    std::vector<std::string> tokens;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if ((arg == L"--program" || arg == L"--out") && i + 1 < argc) {
            (arg == L"--program" ? program : outputDir) = argv[++i];
            continue;
        }
        tokens.push_back(tamsivo::Utf16ToCp1251(
            std::u16string_view(reinterpret_cast<const char16_t*>(arg.data()), arg.size())));
    }
    if (tokens.empty()) {
        std::fputs("usage: tamsivo_app_driver [--program IMAGE] [--out FOLDER] COMMAND...\n",
                   stderr);
        return 2;
    }
    tamsivo::test::DriverScript script(program, outputDir, stdout);
    return script.Run(tokens);
}
