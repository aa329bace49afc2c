#include "skingen/ResourceFiles.h"

#include "skingen/BmpFile.h"
#include "skingen/CursorFile.h"
#include "skingen/HandCursor.h"
#include "skingen/IconFile.h"
#include "skingen/IconPainter.h"
#include "skingen/SkinPainter.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace tamsivo::skingen {

std::vector<ResourceFiles::File> ResourceFiles::generate() {
    return {
        {kSkin, BmpFile::encode(SkinPainter::paint())},
        {kIcon, IconFile::encode({IconPainter::paint(32), IconPainter::paint(16)})},
        {kCursor, CursorFile::encode(HandCursor::make())},
    };
}

void ResourceFiles::writeAll(const std::filesystem::path& directory) {
    for (const File& file : generate()) {
        const std::filesystem::path path = directory / file.name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (out) {
            out.write(reinterpret_cast<const char*>(file.bytes.data()),
                      static_cast<std::streamsize>(file.bytes.size()));
            out.close();
        }
        if (!out) {
            throw std::runtime_error("cannot write " + path.string() + ": " + std::strerror(errno));
        }
    }
}

} // namespace tamsivo::skingen
