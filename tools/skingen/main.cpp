#include "skingen/ResourceFiles.h"

#include <exception>
#include <iostream>

// Writes the skin bitmap, the icon and the link cursor of the Windows program into the
// directory given (normally src/res, through the regenerate-resources target).
int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: skingen OUTPUT-DIRECTORY\n"
                     "Writes skin.bmp, tamsivo.ico and hand.cur into OUTPUT-DIRECTORY.\n";
        return 2;
    }
    try {
        tamsivo::skingen::ResourceFiles::writeAll(argv[1]);
    } catch (const std::exception& error) {
        std::cerr << "skingen: " << error.what() << '\n';
        return 1;
    }
    return 0;
}
